#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"
#include "support/ScriptedSyncMerger.h"
#include "support/TestSupport.h"
#include "sync/CloudTestLoop.h"
#include "sync/SyncTexts.h"
#include "sync/ZRPersistentStoreSyncDelegate.h"

namespace ravelong::testing {

// What the sync driver and the setup around it work with: a virtual loop, a synced folder, the
// two defaults files, the notification centre and a merger whose merges end when a test says
// so. The activity notifications posted are recorded, with the error each end carried.
class SyncDriverFixture : public ::testing::Test {
protected:
    SyncDriverFixture() {
        for (auto name : {sync_texts::kZRSyncActivityDidBegin, sync_texts::kZRSyncActivityDidEnd})
            notifications.addObserver(std::string(name), nullptr, [this](const Notification& n) {
                posted.push_back(n.name);
                if (n.name != sync_texts::kZRSyncActivityDidEnd)
                    return;
                const Error* e = n.value<Error>(std::string(sync_texts::kErrorKey));
                endErrors.push_back(e ? std::optional<Error>(*e) : std::nullopt);
            });
    }

    ZRPersistentStoreSyncDelegate::Services services() {
        return {t.loop, t.clock, notifications, standard, group, {}, {}};
    }
    // The connection state the driver published (-1: none).
    std::int64_t state() const {
        return standard.integerForKey(sync_texts::kZRConnectionState, -1);
    }

    CloudTestLoop t;
    TemporaryDirectory folder;
    TemporaryDirectory settings;
    NotificationCenter notifications;
    UserDefaults standard{settings / "standard.json"};
    UserDefaults group{settings / "group.json"};
    ScriptedSyncMerger merger;
    std::vector<std::string> posted;
    std::vector<std::optional<Error>> endErrors;
};

}  // namespace ravelong::testing

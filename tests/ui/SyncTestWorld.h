#pragma once

#include <functional>
#include <memory>

#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "support/ScriptedSyncMerger.h"
#include "support/SettableClock.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"
#include "sync/SyncSetup.h"
#include "sync/SyncTexts.h"
#include "ui/UiTestSupport.h"

namespace ravelong::testing {

// What the synchronisation widgets are tested with: virtual time, settings in a temporary
// folder, a folder to sync with and a merge engine that finishes when told.
struct SyncTestWorld {
    SettableClock clock{800'000'000.0};
    VirtualMainLoop loop{clock};
    TemporaryDirectory settings;
    TemporaryDirectory folder;
    NotificationCenter notifications;
    UserDefaults standard{settings / "standard.json"};
    UserDefaults group{settings / "group.json"};
    ScriptedSyncMerger merger;

    // A setup on this world whose merges are the scripted merger's (not started).
    std::unique_ptr<SyncSetup> newSetup() {
        ZRPersistentStoreSyncDelegate::Services driver{loop, clock, notifications, standard, group,
                                                       {},   {}};
        return std::make_unique<SyncSetup>(SyncSetup::Services{
            driver, [this](SECloudFileSystem&) { return merger.makeHandle(); }, {}});
    }
    // Runs the virtual loop and Qt's until `done` holds (replies arrive in real time).
    bool pumpUntil(const std::function<bool()>& done) {
        return ui_testing::runUntil(
            [&] {
                loop.runPending();
                return done();
            },
            10000);
    }
};

}  // namespace ravelong::testing

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"
#include "support/ScriptedSyncMerger.h"
#include "support/TestSupport.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncSetup.h"
#include "sync/SyncTexts.h"

namespace ravelong::testing {

// A cloud service's back-end as one service of a SyncSetup, beside the synced folder. `Base` is
// the back-end's own fixture: it holds the test loop `t`, the folder `settings`, the defaults
// `standard` and make(), which makes the back-end. The merges are scripted, and the kind of
// cloud file system each merger was made for is kept.
template <class Base, class Backend>
class BackendSetupFixture : public Base {
protected:
    TemporaryDirectory folder;
    UserDefaults group{this->settings / "group.json"};
    NotificationCenter notifications;
    ScriptedSyncMerger merger;
    std::vector<std::string> mergersMadeFor;  // "zip" or "plain"
    Backend* service = nullptr;               // the back-end of the last setup made

    std::unique_ptr<SyncSetup> makeSetup() {
        ZRPersistentStoreSyncDelegate::Services driver{
            this->t.loop, this->t.clock, notifications, this->standard, group, {}, {}};
        auto setup = std::make_unique<SyncSetup>(SyncSetup::Services{
            driver,
            [this](SECloudFileSystem& cloud) -> std::unique_ptr<SyncMerger> {
                mergersMadeFor.push_back(dynamic_cast<SEZipCloudFileSystem*>(&cloud) ? "zip"
                                                                                     : "plain");
                return merger.makeHandle();
            },
            {}});
        std::unique_ptr<Backend> backend = this->make();
        service = backend.get();
        setup->addBackend(std::move(backend));
        return setup;
    }
    // A setup started and syncing with the synced folder (state 500).
    std::unique_ptr<SyncSetup> makeSetupOnFolder() {
        auto setup = makeSetup();
        setup->start();
        std::optional<Status> chosen;
        setup->chooseFolder(folder.path(), [&](Status s) { chosen = s; });
        EXPECT_TRUE(this->t.pumpUntil([&] { return chosen.has_value(); }));
        EXPECT_TRUE(merger.finish());
        EXPECT_EQ(state(), 500);
        return setup;
    }
    std::int64_t state() const {
        return this->standard.integerForKey(sync_texts::kZRConnectionState, -1);
    }
    Status choose(SyncSetup& setup, SyncService which) {
        std::optional<Status> result;
        setup.chooseService(which, [&](Status s) { result = s; });
        EXPECT_TRUE(this->t.pumpUntil([&] { return result.has_value(); }));
        return result.value_or(Status());
    }
    // Leaves the service (the state falls to 0).
    void disconnect(SyncSetup& setup) {
        std::optional<bool> left;
        setup.disconnect([&] { left = true; });
        ASSERT_TRUE(this->t.pumpUntil([&] { return left.has_value(); }));
        EXPECT_EQ(state(), 0);
    }
    // The next run of the program finds the chosen service again, ready to sync.
    void restart(std::unique_ptr<SyncSetup>& setup, SyncService chosen) {
        setup.reset();
        merger.pending.clear();
        setup = makeSetup();
        setup->start();
        EXPECT_EQ(setup->service(), chosen);
        EXPECT_TRUE(setup->readyToSync());
    }
};

}  // namespace ravelong::testing

#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"
#include "support/FixedDeviceIdentity.h"
#include "support/TestSupport.h"
#include "sync/engine/DelayedFolderCloud.h"
#include "sync/engine/GatedMainLoop.h"
#include "sync/engine/StoreSnapshot.h"
#include "sync/engine/StoreSyncEngine.h"
#include "sync/engine/SyncTestWorld.h"

namespace ravelong::sync_testing {

// One computer: its own store file, main context, view of the cloud and engine, all in a folder
// of its own. Its device identity is installed while it works.
class SyncTestComputer {
public:
    SyncTestComputer(SyncTestWorld& world, std::string name);
    ~SyncTestComputer();

    // Opens the store and starts the engine (again, after a crash); expects the engine's state
    // to open unless told otherwise.
    void start(bool stateMustOpen = true);
    // Stops everything at once, unsaved changes and the running merge included.
    void crash();
    bool running() const { return engine_ != nullptr; }
    // Crashes after `callbacks` more callbacks of this computer have run.
    void crashAfter(int callbacks) { loop_->closeAfter(callbacks); }
    // True once a crash set with crashAfter has struck (call crash() to tidy up).
    bool struck() const { return loop_ && !loop_->isOpen(); }

    // Runs one merge to its end; nullopt when it did not end (the computer crashed meanwhile).
    std::optional<Status> merge();
    // Starts a merge and leaves it running.
    void startMerge(std::function<void(Status)> done);

    ManagedObjectContext& context() { return *context_; }
    StoreSyncEngine& engine() { return *engine_; }
    // The shared folder as this computer sees it (not with the world's makeCloud).
    DelayedFolderCloud& cloud() { return *folderCloud_; }
    // The cloud the engine works on, whichever it is.
    SECloudFileSystem& cloudFileSystem() { return *cloud_; }
    const std::string& name() const { return name_; }
    std::filesystem::path storePath() const { return folder_ / "store.sqlite"; }
    std::filesystem::path stateFolder() const { return folder_ / "sync-state"; }

    // Edits, saved at once.
    ZRCDTask* addTask(const std::string& name, ZRCDTask* parent = nullptr);
    ZRCDTiming* addTiming(ZRCDTask* task, Instant start, std::optional<Instant> end);
    Status save();
    // The save path the engine uses; tests may make it fail.
    std::function<Status()> saveHook;

    // Runs `work` with this computer's device identity installed.
    template <class F>
    auto as(F&& work) {
        ScopedDeviceIdentity scoped{identity_};
        return work();
    }

private:
    SyncTestWorld& world_;
    std::string name_;
    std::filesystem::path folder_;
    FixedDeviceIdentity identity_;
    std::unique_ptr<GatedMainLoop> loop_;
    std::unique_ptr<SECloudFileSystem> cloud_;
    DelayedFolderCloud* folderCloud_ = nullptr;
    std::shared_ptr<PersistentStore> store_;
    std::unique_ptr<ManagedObjectContext> context_;
    std::unique_ptr<StoreSyncEngine> engine_;
};

// Expects every computer's store to hold what the first one's holds (tasks, timings, chain and
// day aggregates), with day aggregates that equal a fresh rebuild; the first one's snapshot.
StoreSnapshot expectSameStores(const std::vector<SyncTestComputer*>& computers);

using testing::fileNamesIn;

}  // namespace ravelong::sync_testing

#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/calendar/ScopedUserCalendar.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "foundation/Clock.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"
#include "support/FixedDeviceIdentity.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"
#include "sync/LocalFolderCloudFileSystem.h"
#include "sync/engine/StoreSyncEngine.h"

namespace ravelong::sync_testing {

// A main loop that forwards to the shared virtual loop until it is closed; then the work queued
// through it is dropped. A computer that crashes closes its loop, so none of the callbacks of its
// interrupted merge ever runs.
class GatedMainLoop final : public MainLoop {
public:
    explicit GatedMainLoop(MainLoop& inner) : inner_(inner) {}
    void runOnMainThread(std::function<void()> work) override;
    TimerId runAfter(double seconds, std::function<void()> work) override;
    TimerId runRepeating(double intervalSeconds, double toleranceSeconds,
                         std::function<void()> work) override;
    void cancel(TimerId id) override { inner_.cancel(id); }
    bool isMainThread() const override { return inner_.isMainThread(); }
    void close() { gate_->open = false; }
    // Lets `callbacks` more callbacks through, then closes (a crash at that point).
    void closeAfter(int callbacks) { gate_->budget = callbacks; }
    bool isOpen() const { return gate_->open; }

private:
    struct Gate {
        bool open = true;
        int budget = -1;  // callbacks still let through; -1 for no limit
        bool pass();
    };
    std::function<void()> gated(std::function<void()> work);

    MainLoop& inner_;
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

// The shared folder as one computer sees it: a file another computer wrote shows up only after a
// random delay of its own (so files arrive late and out of order), and while the computer is cut
// off every operation fails as a lost connection would.
class DelayedFolderCloud final : public SECloudFileSystem {
public:
    DelayedFolderCloud(MainLoop& loop, const Clock& clock, std::filesystem::path root,
                       std::mt19937* random, const double* maximumDelay);

    bool online = true;

    bool isConnected() const override { return online && folder_.isConnected(); }
    void connect(Completion completion) override;
    void fetchUserIdentityWithCompletion(IdentityCompletion completion) override;
    void fileExistsAtPath(const std::string& path, ExistsCompletion completion) override;
    void createDirectoryAtPath(const std::string& path, Completion completion) override;
    void contentsOfDirectoryAtPath(const std::string& path, ListingCompletion completion) override;
    void removeItemAtPath(const std::string& path, Completion completion) override;
    void uploadLocalFile(const std::filesystem::path& localFile, const std::string& path,
                         Completion completion) override;
    void downloadFromPath(const std::string& path, const std::filesystem::path& localFile,
                          Completion completion) override;

private:
    bool offline(const Completion& completion);

    LocalFolderCloudFileSystem folder_;
    const Clock& clock_;
    std::mt19937* random_;
    const double* maximumDelay_;
    std::map<std::string, Instant> visibleFrom_;
};

// A fresh folder in memory (/dev/shm) when the machine has one, else in the temp folder, removed
// with everything in it: the stores and the engine's state sync their files to disk, which in
// memory costs nothing.
class MemoryDirectory {
public:
    MemoryDirectory();
    ~MemoryDirectory();
    MemoryDirectory(const MemoryDirectory&) = delete;
    MemoryDirectory& operator=(const MemoryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// What every computer of a test shares: the virtual clock and loop, the calendar, and the cloud
// folder.
struct SyncTestWorld {
    SyncTestWorld();

    SettableClock clock{757'000'000.0};  // 2024-12-28, a Saturday
    VirtualMainLoop loop{clock};
    ScopedClock scopedClock{clock};
    ScopedMainLoop scopedLoop{loop};
    ScopedUserCalendar calendar{"Europe/Berlin", "en_US"};
    MemoryDirectory directory;
    std::filesystem::path cloudFolder;
    std::mt19937 random{1};
    double maximumArrivalDelay = 0;  // seconds a file may take to reach another computer
};

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
    DelayedFolderCloud& cloud() { return *cloud_; }
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
    std::unique_ptr<DelayedFolderCloud> cloud_;
    std::shared_ptr<PersistentStore> store_;
    std::unique_ptr<ManagedObjectContext> context_;
    std::unique_ptr<StoreSyncEngine> engine_;
};

// A store's content in comparable form.
struct StoreSnapshot {
    // uuid -> name, parent uuid, next task uuid, archived
    std::map<std::string, std::tuple<std::string, std::string, std::string, bool>> tasks;
    // uuid -> start, end, task uuid, note
    std::map<std::string, std::tuple<double, double, std::string, std::string>> timings;
    // (task uuid, absDay) -> duration, as stored
    std::map<std::pair<std::string, int>, double> aggregates;
    // the same, computed afresh from the timings
    std::map<std::pair<std::string, int>, double> rebuiltAggregates;
    std::vector<std::string> chain;  // task uuids from the head along nextTask

    static StoreSnapshot of(const ManagedObjectContext& context);
};

}  // namespace ravelong::sync_testing

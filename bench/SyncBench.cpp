// Figures of the synchronisation engine on the heavy user's store, over a synced folder:
// the first synchronisation of that store into an empty folder, a second, empty computer
// joining it, a day's work of another computer (100 saves) merged into the heavy store, and the
// size on the cloud of the event of one new timing.
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"
#include "support/VirtualMainLoop.h"
#include "sync/LocalFolderCloudFileSystem.h"
#include "sync/engine/StoreSyncEngine.h"

namespace ravelong::bench {

namespace {

namespace fs = std::filesystem;

int fail(const std::string& what, const Error& error) {
    std::cerr << what << ": " << error.description << '\n';
    return 1;
}

// One computer: its store file, main context, folder back-end and engine.
struct Computer {
    std::shared_ptr<PersistentStore> store;
    std::unique_ptr<ManagedObjectContext> context;
    std::unique_ptr<LocalFolderCloudFileSystem> cloud;
    std::unique_ptr<StoreSyncEngine> engine;

    Status open(VirtualMainLoop& loop, const Clock& clock, const fs::path& folder,
                const fs::path& cloudFolder, const std::string& device) {
        auto opened = PersistentStore::open(folder / "store.sqlite", ravelongModel());
        if (!opened.ok())
            return opened.error();
        store = opened.value();
        auto made = ManagedObjectContext::openMainContext(store);
        if (!made.ok())
            return made.error();
        context = std::move(made.value());
        cloud = std::make_unique<LocalFolderCloudFileSystem>(loop, cloudFolder);
        engine = std::make_unique<StoreSyncEngine>(
            StoreSyncEngine::Services{loop, clock, *context, [this] { return context->save(); },
                                      *cloud, folder / "sync-state", device});
        return engine->stateStatus();
    }

    Status merge(VirtualMainLoop& loop) {
        std::optional<Status> result;
        engine->mergeWithOptions(0, [&](Status status) { result = status; });
        loop.runPending();
        return result ? *result : Status(Error{"bench", 1, "The merge did not end.", ""});
    }
};

fs::path newestEventFile(const fs::path& cloudFolder) {
    fs::path newest;
    for (const auto& entry : fs::directory_iterator(cloudFolder / "events")) {
        if (newest.empty() || entry.path().filename() > newest.filename())
            newest = entry.path();
    }
    return newest;
}

int runSyncSuite() {
    const HeavyUserProfile profile = heavyUserProfileFromEnvironment();
    SettableClock clock(profile.now + 60.0);
    ScopedClock scopedClock(clock);
    VirtualMainLoop loop(clock);
    ScopedMainLoop scopedLoop(loop);
    ScopedUserCalendar calendar("Europe/Berlin", "en_GB");
    auto heavy = heavyUserStoreFileMadeInChildProcess(profile);
    if (!heavy)
        return fail("heavy store", heavy.error());

    const fs::path root = benchDataDirectory() / "sync-bench";
    std::error_code error;
    fs::remove_all(root, error);
    const fs::path cloudFolder = root / "cloud";
    fs::create_directories(cloudFolder);
    fs::create_directories(root / "a");
    fs::create_directories(root / "b");
    fs::copy_file(*heavy, root / "a" / "store.sqlite");

    Computer a, b;
    Status status;
    // A computer starting its engine and merging for the first time.
    auto firstMerge = [&](Computer& computer, const char* name) {
        return timingOf([&] {
            status =
                computer.open(loop, clock, root / name, cloudFolder, std::string("device-") + name);
            if (status.ok())
                status = computer.merge(loop);
        });
    };
    BenchTiming first = firstMerge(a, "a");
    if (!status.ok())
        return fail("first sync", status.error());
    printFigure("first_sync_200k_s", first.wallSeconds, "s");
    printFigure("first_sync_200k_cpu_s", first.processorSeconds, "s");

    BenchTiming join = firstMerge(b, "b");
    if (!status.ok())
        return fail("joining", status.error());
    printFigure("join_second_device_200k_s", join.wallSeconds, "s");
    printFigure("join_second_device_200k_cpu_s", join.processorSeconds, "s");
    std::cout << "second computer holds " << b.context->count<ZRCDTiming>() << " timings of "
              << a.context->count<ZRCDTiming>() << "\n";

    // A day's work on b: 100 timings, each saved on its own, then sent.
    ZRCDTask* leaf = nullptr;
    for (ZRCDTask* task : b.context->fetchAll<ZRCDTask>()) {
        if (task->childTasks().empty()) {
            leaf = task;
            break;
        }
    }
    if (!leaf)
        return fail("a day's work", Error{"bench", 1, "no task to time", ""});
    Instant start = clock.now() - 100 * 300.0;
    for (int i = 0; i < 100; ++i, start += 300.0) {
        ZRCDTiming::createCoreDataTimingWithStartDate(start, start + 240.0, leaf, std::nullopt, 0,
                                                      std::nullopt, *b.context);
        if (Status saved = b.context->save(); !saved.ok())
            return fail("a day's work", saved.error());
    }
    if (Status sent = b.merge(loop); !sent.ok())
        return fail("sending a day's work", sent.error());
    std::uintmax_t oneTiming = fs::file_size(newestEventFile(cloudFolder));
    BenchTiming merge = timingOf([&] { status = a.merge(loop); });
    if (!status.ok())
        return fail("merging a day's work", status.error());
    printFigure("merge_100_events_ms", merge.wallSeconds * 1000.0, "ms");
    printFigure("merge_100_events_cpu_ms", merge.processorSeconds * 1000.0, "ms");
    printFigure("event_bytes_per_timing", static_cast<double>(oneTiming), "bytes");

    fs::remove_all(root, error);
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("sync", runSyncSuite);

}  // namespace ravelong::bench

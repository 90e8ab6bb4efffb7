// Figures of the object store on a heavy user's file: opening and loading it, saving one
// change durably, and the memory the loaded graph takes.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <iostream>

#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTiming.h"

namespace ravelong::bench {

namespace {

int runStoreSuite() {
    const HeavyUserProfile profile;
    auto file = heavyUserStoreFileMadeInChildProcess(profile);
    if (!file) {
        std::cerr << file.error().description << '\n';
        return 1;
    }

    std::unique_ptr<ManagedObjectContext> context;
    std::vector<double> loadSeconds;
    for (int run = 0; run < 3; ++run) {
        context.reset();
        loadSeconds.push_back(secondsFor([&] {
            auto store = PersistentStore::open(*file, ravelongModel());
            if (!store)
                return;
            auto opened = ManagedObjectContext::openMainContext(store.value());
            if (opened)
                context = std::move(opened.value());
        }));
        if (!context) {
            std::cerr << "cannot open " << file->string() << '\n';
            return 1;
        }
        if (run == 0)
            printFigure("rss_after_load_mb", residentMegabytes(), "MB");
    }
    printFigure("open_load_s", median(loadSeconds), "s");

    std::vector<ZRCDTiming*> timings = context->fetchAll<ZRCDTiming>();
    const std::string runTag =
        std::to_string(::getpid()) + "-" + std::to_string(std::time(nullptr));
    std::vector<double> saveMilliseconds;
    for (int i = 0; i < 50; ++i) {
        ZRCDTiming* timing = timings[(static_cast<std::size_t>(i) * 7919) % timings.size()];
        // A note no earlier run wrote, so that every save really writes.
        timing->setNote("Benchmark note " + std::to_string(i) + " of run " + runTag);
        Status saved = Status::success();
        saveMilliseconds.push_back(1000.0 * secondsFor([&] { saved = context->save(); }));
        if (!saved) {
            std::cerr << saved.error().description << ": " << saved.error().failureReason << '\n';
            return 1;
        }
    }
    printFigure("save_one_change_ms", median(saveMilliseconds), "ms");
    std::printf("store: %zu timings in %s\n", timings.size(), file->c_str());
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("store", runStoreSuite);

}  // namespace ravelong::bench

// Figures of the store repairs on a heavy user's file: the repair pass of a launch, sorting every
// task by the display chain, and repairing a chain that fell apart into four.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "core/chain/ChainRepair.h"
#include "core/chain/TaskChain.h"
#include "core/model/RavelongModel.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDTask.h"
#include "core/repairs/ColorMigration.h"
#include "core/repairs/DuplicateTaskRepairs.h"
#include "core/repairs/MenuBarVisibilityRepairs.h"
#include "core/repairs/OriginRepairs.h"
#include "core/repairs/PreferencesRepairs.h"
#include "core/repairs/TimingSetRepairs.h"
#include "core/tree/TreeRepairs.h"
#include "support/SettableClock.h"

namespace ravelong::bench {

namespace {

struct Repair {
    const char* name;
    std::function<bool(ManagedObjectContext&)> run;
};

// The repairs of the launch pass, in the order the launch runs them.
std::vector<Repair> launchRepairs() {
    return {
        {"fixTimingSetsAndTimings", store_repairs::fixTimingSetsAndTimings_inContext},
        {"fixParentTaskTimingsAndArchive",
         task_tree_repairs::fixParentTaskTimingsAndArchive_inContext},
        {"consolidateOrigins", store_repairs::consolidateOrigins_inContext},
        {"fixDuplicateTaskIDs",
         [](ManagedObjectContext& c) { return store_repairs::fixDuplicateTaskIDs(false, c); }},
        {"fixTaskChain", task_chain::fixTaskChain_inContext},
        {"fixMenuBarVisibilities", store_repairs::fixMenuBarVisibilities_inContext},
        {"migrateColors", store_repairs::migrateColors_inContext},
        {"fixPreferences", store_repairs::fixPreferences_inContext},
    };
}

std::vector<ZRCDTask*> allTasks(const ManagedObjectContext& context) {
    return context.fetchAll<ZRCDTask>();
}

int runRepairsSuite() {
    const HeavyUserProfile profile;
    // The data ends at the profile's "now", with a timer running then; the repairs run a minute
    // later, as a launch on that day would.
    SettableClock clock(profile.now + 60.0);
    ScopedClock scopedClock(clock);
    auto file = heavyUserStoreFileMadeInChildProcess(profile);
    if (!file) {
        std::cerr << file.error().description << '\n';
        return 1;
    }
    auto store = PersistentStore::open(*file, ravelongModel());
    if (!store) {
        std::cerr << store.error().description << '\n';
        return 1;
    }
    auto opened = ManagedObjectContext::openMainContext(store.value());
    if (!opened) {
        std::cerr << opened.error().description << '\n';
        return 1;
    }
    ManagedObjectContext& main = *opened.value();

    // The launch runs the pass on a child of the main context with undo registration off.
    std::vector<double> passSeconds;
    for (int run = 0; run < 3; ++run) {
        std::unique_ptr<ManagedObjectContext> child = main.newChildContext();
        ScopedUndoRegistrationOff undoOff(*child);
        std::vector<std::pair<const char*, double>> parts;
        bool anyChanged = false;
        passSeconds.push_back(secondsFor([&] {
            for (const Repair& repair : launchRepairs()) {
                bool changed = false;
                parts.emplace_back(repair.name, secondsFor([&] { changed = repair.run(*child); }));
                if (changed && run == 0)
                    std::printf("  %s changed something\n", repair.name);
                anyChanged |= changed;
            }
        }));
        if (run == 0) {
            for (const auto& [name, seconds] : parts)
                std::printf("  %-32s %8.1f ms\n", name, seconds * 1000.0);
            std::printf("  changes: %s\n", anyChanged ? "yes" : "none");
        }
    }
    printFigure("launch_repair_pass_s", median(passSeconds), "s");

    std::vector<ZRCDTask*> tasks = allTasks(main);
    std::mt19937 shuffle(7);
    std::shuffle(tasks.begin(), tasks.end(), shuffle);
    std::vector<double> sortMilliseconds;
    std::size_t sorted = 0;
    for (int run = 0; run < 50; ++run) {
        sortMilliseconds.push_back(
            1000.0 * secondsFor([&] {
                sorted = task_chain::sortArrayOfTasksByViewPosition(tasks, main).size();
            }));
    }
    if (sorted != tasks.size()) {
        std::cerr << "the sort returned " << sorted << " of " << tasks.size() << " tasks\n";
        return 1;
    }
    printFigure("sort_2000_tasks_ms", median(sortMilliseconds), "ms");

    // Four chains: the links at a quarter, a half and three quarters of the chain are cut.
    std::vector<double> fixMilliseconds;
    for (int run = 0; run < 10; ++run) {
        const std::vector<ZRCDTask*> chain =
            task_chain::sortArrayOfTasksByViewPosition(allTasks(main), main);
        for (std::size_t quarter = 1; quarter < 4; ++quarter)
            chain[chain.size() * quarter / 4]->setPrevTask(nullptr);
        bool changed = false;
        fixMilliseconds.push_back(
            1000.0 * secondsFor([&] { changed = task_chain::fixTaskChain_inContext(main); }));
        if (!changed) {
            std::cerr << "the chain repair found nothing to do on four chains\n";
            return 1;
        }
    }
    printFigure("fix_chain_4_chains_ms", median(fixMilliseconds), "ms");
    std::printf("repairs: %zu tasks in %s\n", tasks.size(), file->c_str());
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("repairs", runRepairsSuite);

}  // namespace ravelong::bench

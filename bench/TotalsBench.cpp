// Figures of task totals and rounding on a heavy user's store: the totals the menu-bar list shows
// for every task, the all-task total of the year with rounding, and a new rounding rule on a
// parent whose subtasks hold thousands of timings.
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "bench/ScratchStore.h"
#include "core/calendar/PeriodDays.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/model/RavelongModel.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/TaskRounding.h"
#include "core/totals/TaskTotals.h"
#include "core/totals/TimingSetDayIndex.h"
#include "core/totals/TimingSetTotals.h"
#include "foundation/NotificationCenter.h"
#include "store/ZRUndoManager.h"
#include "support/SettableClock.h"

namespace ravelong::bench {

namespace {

// Processor time of one call: the build machine is often busy with other work, which wall-clock
// figures include.
double cpuSecondsFor(const std::function<void()>& work) {
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    work();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
}

// The menu-bar list: for every task the total of the chosen period (this week) with running
// timers, and the total ever, in the one call the list makes for its rows.
double menuBarTotals(const std::vector<ZRCDTask*>& tasks) {
    double sum = 0.0;
    for (const task_totals::MenuBarTotals& row : task_totals::getMenuBarTotals(tasks, 1, false))
        sum += row.periodTotal + row.totalEver;
    return sum;
}

// The same values asked task by task.
double menuBarTotalsOneByOne(const std::vector<ZRCDTask*>& tasks) {
    double sum = 0.0;
    for (const ZRCDTask* task : tasks) {
        sum += task_totals::getTimeForMenuBarCustomDuration(*task, 1, false);
        sum += task_totals::getAllTimeExcludingRunningTimings(*task, false);
    }
    return sum;
}

// A new client with 20 projects of 250 timings each, one a working day over the two years before
// now, saved.
ZRCDTask* makeParentWithSubtasks(ManagedObjectContext& context, Instant now) {
    ScopedUndoRegistrationOff undoOff(context);
    ZRCDTask* parent = ZRCDTask::createCoreDataTaskWithName("Benchmark client", false, context);
    for (int child = 0; child < 20; ++child) {
        ZRCDTask* subtask = ZRCDTask::createCoreDataTaskImportWithName(
            "Project " + std::to_string(child + 1), std::nullopt, parent, 0, context);
        for (int i = 0; i < 250; ++i) {
            const Instant start = now - (2 * 365 - i * 2.9) * 86400.0 + 9 * 3600.0 + child * 1200.0;
            ZRCDTiming::createCoreDataTimingWithStartDate(start, start + 600.0 + 37.0 * child,
                                                          subtask, std::nullopt, 0, std::nullopt,
                                                          context);
        }
    }
    context.processPendingChanges();
    (void)context.save();
    return parent;
}

int runTotalsSuite() {
    const HeavyUserProfile profile;
    auto scratch = ScratchHeavyUserStore::open(profile, "totals-bench");
    if (!scratch) {
        std::cerr << scratch.error().description << ": " << scratch.error().failureReason << '\n';
        return 1;
    }
    ManagedObjectContext& context = (*scratch)->context();

    // "This week" and "this year" of the heavy user's data.
    SettableClock clock(profile.now);
    ScopedClock scopedClock(clock);
    ScopedUserCalendar calendar("Europe/Berlin", "en_GB");
    NotificationCenter center;
    NotificationCenter::setDefaultCenter(&center);

    // What the application holds: the rounding flag and the day index of its main context.
    RoundingEnabledFlag roundingEnabled;
    ScopedRoundingEnabledFlag scopedFlag(roundingEnabled);
    roundingEnabled.refreshRoundingEnabled_inContext(context);
    TimingSetDayIndex index(context);

    const std::vector<ZRCDTask*> tasks = ZRCDTask::getAllTasks_inContext(context);
    const int cutoff = ZRCDPreferences::currentNewDay_inContext(context);
    std::printf("totals: %zu tasks, %zu timing sets, rounding %s, cut-off %d\n", tasks.size(),
                context.count<ZRCDTimingSet>(), roundingEnabled.roundingEnabled() ? "on" : "off",
                cutoff);
    if (!roundingEnabled.roundingEnabled()) {
        std::cerr << "the heavy user has no rounding rule\n";
        return 1;
    }

    // At launch the application fills the rounded caches the heavy user's rules need (the
    // generated store has none).
    std::size_t filled = 0;
    const double fillSeconds = secondsFor([&] {
        ScopedUndoRegistrationOff undoOff(context);
        filled = timing_set_totals::recalculateStaleRoundedDurations_inContext(context);
    });
    (void)context.save();
    std::size_t rounding = 0;
    for (const ZRCDTask* task : tasks)
        rounding += task->rounding() > 100 ? 1 : 0;
    std::printf(
        "totals: %zu tasks with a rule of their own; %zu rounded caches filled in %.0f ms\n",
        rounding, filled, 1000.0 * fillSeconds);

    // 1. The menu-bar list. The application has looked up the running timers at launch; the
    // first reading builds the day index.
    const double runningLookUp =
        secondsFor([&] { (void)ZRCDTiming::numberOfRunningTimings_inContext(context); });
    double checksum = 0.0;
    const double firstRun = secondsFor([&] { checksum = menuBarTotals(tasks); });
    std::vector<double> menuBar;
    for (int run = 0; run < 21; ++run)
        menuBar.push_back(1000.0 * secondsFor([&] { checksum = menuBarTotals(tasks); }));
    std::printf(
        "totals: first look-up of the running timers %.2f ms; menu-bar list first "
        "reading %.2f ms (builds the day index), sum %.0f s\n",
        1000.0 * runningLookUp, 1000.0 * firstRun, checksum);
    printFigure("menubar_totals_2000_tasks_ms", median(menuBar), "ms");
    std::vector<double> menuBarCpu;
    for (int run = 0; run < 21; ++run)
        menuBarCpu.push_back(1000.0 * cpuSecondsFor([&] { checksum = menuBarTotals(tasks); }));
    std::vector<double> oneByOne;
    double oneByOneSum = 0.0;
    for (int run = 0; run < 5; ++run) {
        oneByOne.push_back(1000.0 *
                           cpuSecondsFor([&] { oneByOneSum = menuBarTotalsOneByOne(tasks); }));
    }
    std::printf("totals: menu-bar list %.2f ms of processor time; task by task %.2f ms (sum %s)\n",
                median(menuBarCpu), median(oneByOne),
                std::abs(oneByOneSum - checksum) < 1e-3 * checksum ? "equal" : "DIFFERS");

    // 2. All tasks, this year, rounding on.
    const ZRDateRange year =
        date_additions::standardPeriodDays(date_additions::StandardPeriod::thisYear, cutoff);
    double yearTotal = 0.0;
    std::vector<double> yearMilliseconds;
    for (int run = 0; run < 51; ++run) {
        yearMilliseconds.push_back(1000.0 * secondsFor([&] {
                                       yearTotal =
                                           timing_set_totals::getTotalTimeInSecondsBetweenZRDate(
                                               year.first, year.last, false, false, context);
                                   }));
    }
    std::vector<double> yearCpu;
    for (int run = 0; run < 51; ++run) {
        yearCpu.push_back(1000.0 * cpuSecondsFor([&] {
                              yearTotal = timing_set_totals::getTotalTimeInSecondsBetweenZRDate(
                                  year.first, year.last, false, false, context);
                          }));
    }
    std::printf("totals: this year %.0f s, %.3f ms of processor time\n", yearTotal,
                median(yearCpu));
    printFigure("all_tasks_year_total_ms", median(yearMilliseconds), "ms");

    // 3. A rounding rule on a parent of 20 subtasks with 5,000 timings: the user's whole action
    // (undo step, caches of every set below, save), then the work without the save.
    ZRCDTask* parent = makeParentWithSubtasks(context, profile.now);
    std::size_t sets = 0;
    for (const ZRCDTask* child : parent->childTasks())
        sets += child->timingSets().size();
    std::vector<double> actionMilliseconds;
    for (int run = 0; run < 21; ++run) {
        const int type = 1 + run % 3;
        bool changed = false;
        actionMilliseconds.push_back(
            1000.0 * secondsFor([&] { changed = task_totals::setRoundingType(*parent, type); }));
        if (!changed) {
            std::cerr << "the rounding type did not change\n";
            return 1;
        }
    }
    printFigure("set_rounding_parent_ms", median(actionMilliseconds), "ms");
    std::vector<double> workMilliseconds;
    std::vector<double> saveMilliseconds;
    for (int run = 0; run < 21; ++run) {
        const auto code = static_cast<std::int16_t>(100 * (1 + run % 3) + 15);
        workMilliseconds.push_back(1000.0 *
                                   secondsFor([&] { task_totals::setRounding(*parent, code); }));
        saveMilliseconds.push_back(1000.0 * secondsFor([&] { (void)context.save(); }));
    }
    std::printf(
        "totals: %zu sets below the parent; the rule is %.2f ms of work and %.2f ms of "
        "save (medians)\n",
        sets, median(workMilliseconds), median(saveMilliseconds));

    NotificationCenter::setDefaultCenter(nullptr);
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("totals", runTotalsSuite);

}  // namespace ravelong::bench

#include "core/totals/TaskTotals.h"

#include <limits>
#include <unordered_map>
#include <vector>

#include "core/calendar/PeriodDays.h"
#include "core/model/ModelDefaultsKeys.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/TaskRounding.h"
#include "core/totals/TimingSetTotals.h"
#include "core/totals/TotalsInternals.h"
#include "foundation/UserDefaults.h"

namespace ravelong::task_totals {

namespace {

using date_additions::StandardPeriod;

constexpr ZRDate kFirstDay = std::numeric_limits<ZRDate>::min();
constexpr ZRDate kLastDay = std::numeric_limits<ZRDate>::max();

// How a total reads the aggregates of each task it counts, and the running timers it adds for
// days on which they have no aggregate yet.
struct Walk {
    Walk(const ZRCDTask& task, bool roundingEnabled, bool excludingRunningTimings)
        : roundingEnabled(roundingEnabled), excludingRunningTimings(excludingRunningTimings) {
        if (!excludingRunningTimings && task.managedObjectContext())
            running = totals_detail::runningTimings(*task.managedObjectContext());
    }

    bool roundingEnabled;
    bool excludingRunningTimings;
    std::vector<ZRCDTiming*> running;
};

double sumOfOwnSets(const ZRCDTask& task, ZRDate first, ZRDate last, const Walk& walk) {
    // One rule for all the task's sets.
    const std::int16_t code = walk.roundingEnabled ? getProperRounding(task) : std::int16_t{0};
    double total = 0.0;
    const auto add = [&](const ZRCDTimingSet& set) {
        total +=
            totals_detail::setValue(set, code, walk.roundingEnabled, walk.excludingRunningTimings);
    };
    if (first == kFirstDay && last == kLastDay) {
        totals_detail::forEachSetPrefetched(task.timingSets().begin(), task.timingSets().end(),
                                            add);
    } else {
        totals_detail::forEachTimingSetBetween(task, first, last, add);
    }
    for (const ZRCDTiming* timing : walk.running) {
        if (timing->task() == &task)
            total += totals_detail::runningPartOutsideItsSets(*timing, first, last);
    }
    return total;
}

// The walk of the tree: a task without subtasks counts its own sets; a task with subtasks counts
// each child's own sets, or, for a child with subtasks, each grandchild's own sets (the tree has
// three tiers). `skip(task)` leaves a child or grandchild out; `own(task)` is a task's own sum.
template <class Skip, class Own>
double countedTotal(const ZRCDTask& task, Skip&& skip, Own&& own) {
    if (task.childTasks().empty())
        return own(task);
    double total = 0.0;
    for (const ZRCDTask* child : task.childTasks()) {
        if (skip(*child))
            continue;
        if (child->childTasks().empty()) {
            total += own(*child);
            continue;
        }
        for (const ZRCDTask* grandchild : child->childTasks()) {
            if (!skip(*grandchild))
                total += own(*grandchild);
        }
    }
    return total;
}

// The core walk: archived tasks, children and grandchildren left out when asked.
template <class Own>
double treeTotal(const ZRCDTask& task, bool excludingArchivedTasks, Own&& own) {
    if (excludingArchivedTasks && task.isArchived())
        return 0.0;
    return countedTotal(
        task, [&](const ZRCDTask& t) { return excludingArchivedTasks && t.isArchived(); }, own);
}

// The task itself when it has no subtasks, else its unarchived descendants without subtasks; a
// child with subtasks is passed through whatever its own archived state.
template <class Own>
double unarchivedLeavesTotal(const ZRCDTask& task, Own&& own) {
    return countedTotal(
        task, [](const ZRCDTask& t) { return t.isArchived() && t.childTasks().empty(); }, own);
}

double treeTotal(const ZRCDTask& task, ZRDate first, ZRDate last, bool excludingArchivedTasks,
                 const Walk& walk) {
    return treeTotal(task, excludingArchivedTasks, [&](const ZRCDTask& counted) {
        return sumOfOwnSets(counted, first, last, walk);
    });
}

Walk roundedWalk(const ZRCDTask& task, bool excludingRunningTimings) {
    return Walk(task, RoundingEnabledFlag::current().roundingEnabled(), excludingRunningTimings);
}

StandardPeriod menuBarPeriod(std::int64_t periodCode) {
    switch (periodCode) {
        case 1:
            return StandardPeriod::thisWeek;
        case 2:
            return StandardPeriod::thisMonth;
        case 3:
            return StandardPeriod::thisYear;
        default:
            return StandardPeriod::today;
    }
}

ZRDateRange periodDays(const ZRCDTask& task, StandardPeriod period) {
    return date_additions::standardPeriodDays(
        period, totals_detail::newDayHour(task.managedObjectContext()));
}

double timeInPeriod(const ZRCDTask& task, StandardPeriod period, bool excludingArchivedTasks,
                    bool excludingRunningTimings) {
    const ZRDateRange days = periodDays(task, period);
    return getTimeBetweenStartZRDate(task, days.first, days.last, excludingArchivedTasks,
                                     excludingRunningTimings);
}

}  // namespace

double getTimeBetweenStartZRDate(const ZRCDTask& task, ZRDate first, ZRDate last,
                                 bool excludingArchivedTasks, bool excludingRunningTimings) {
    if (first > last)
        return 0.0;
    return treeTotal(task, first, last, excludingArchivedTasks,
                     roundedWalk(task, excludingRunningTimings));
}

double getTimeTodayExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings) {
    return timeInPeriod(task, StandardPeriod::today, false, excludingRunningTimings);
}

double getTimeThisWeekExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings) {
    return timeInPeriod(task, StandardPeriod::thisWeek, false, excludingRunningTimings);
}

double getTimeThisMonthExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings) {
    return timeInPeriod(task, StandardPeriod::thisMonth, false, excludingRunningTimings);
}

double getTimeThisYearExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings) {
    return timeInPeriod(task, StandardPeriod::thisYear, false, excludingRunningTimings);
}

double getTimeForMenuBarCustomDuration(const ZRCDTask& task, std::int64_t periodCode,
                                       bool excludingArchivedTasks) {
    return timeInPeriod(task, menuBarPeriod(periodCode), excludingArchivedTasks, false);
}

double getAllTimeExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings) {
    return treeTotal(task, kFirstDay, kLastDay, false, roundedWalk(task, excludingRunningTimings));
}

double getAllTimeExcludingArchivedDescendants(const ZRCDTask& task) {
    const Walk unrounded(task, false, false);
    return unarchivedLeavesTotal(task, [&](const ZRCDTask& counted) {
        return sumOfOwnSets(counted, kFirstDay, kLastDay, unrounded);
    });
}

std::vector<MenuBarTotals> getMenuBarTotals(const std::vector<ZRCDTask*>& tasks,
                                            std::int64_t periodCode, bool excludingArchivedTasks) {
    std::vector<MenuBarTotals> totals(tasks.size());
    if (tasks.empty())
        return totals;
    // Every task's own sums once, however many rows count them.
    const ZRCDTask& anyTask = *tasks.front();
    const ZRDateRange days = periodDays(anyTask, menuBarPeriod(periodCode));
    const Walk rounded = roundedWalk(anyTask, false);
    const Walk unrounded(anyTask, false, false);
    std::unordered_map<const ZRCDTask*, double> periodSums, everSums;
    const auto memo = [](std::unordered_map<const ZRCDTask*, double>& sums, auto&& compute) {
        return [&sums, compute](const ZRCDTask& task) {
            auto [found, inserted] = sums.try_emplace(&task, 0.0);
            if (inserted)
                found->second = compute(task);
            return found->second;
        };
    };
    const auto periodOwn = memo(periodSums, [&](const ZRCDTask& task) {
        return sumOfOwnSets(task, days.first, days.last, rounded);
    });
    const auto everOwn = memo(everSums, [&](const ZRCDTask& task) {
        return sumOfOwnSets(task, kFirstDay, kLastDay,
                            excludingArchivedTasks ? unrounded : rounded);
    });
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const ZRCDTask& task = *tasks[i];
        totals[i].periodTotal = treeTotal(task, excludingArchivedTasks, periodOwn);
        totals[i].totalEver = excludingArchivedTasks ? unarchivedLeavesTotal(task, everOwn)
                                                     : treeTotal(task, false, everOwn);
    }
    return totals;
}

double getTimeConsideringArchivedStateBetweenStartZRDate(const ZRCDTask& task, ZRDate first,
                                                         ZRDate last, const ManagedObjectContext&) {
    if (first > last)
        return 0.0;
    const std::int64_t showTasks = UserDefaults::standard().integerForKey(kZRShowTasks, 2);
    const Walk unrounded(task, false, false);
    return countedTotal(
        task, [&](const ZRCDTask& t) { return !ZRCDTask::passesArchiveFilter(t, showTasks); },
        [&](const ZRCDTask& counted) { return sumOfOwnSets(counted, first, last, unrounded); });
}

}  // namespace ravelong::task_totals

#include "core/totals/TaskTotals.h"

#include <limits>
#include <vector>

#include "core/calendar/PeriodDays.h"
#include "core/model/ModelDefaultsKeys.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/RoundingEnabledFlag.h"
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
            running = ZRCDTiming::getRunningTimings_inContext(*task.managedObjectContext());
    }

    double value(const ZRCDTimingSet& set) const {
        return timing_set_totals::totalsValue(set, roundingEnabled, excludingRunningTimings);
    }

    bool roundingEnabled;
    bool excludingRunningTimings;
    std::vector<ZRCDTiming*> running;
};

double sumOfOwnSets(const ZRCDTask& task, ZRDate first, ZRDate last, const Walk& walk) {
    double total = 0.0;
    if (first == kFirstDay && last == kLastDay) {
        for (const ZRCDTimingSet* set : task.timingSets())
            total += walk.value(*set);
    } else {
        totals_detail::forEachTimingSetBetween(
            task, first, last, [&](const ZRCDTimingSet& set) { total += walk.value(set); });
    }
    for (const ZRCDTiming* timing : walk.running) {
        if (timing->task() == &task)
            total += totals_detail::runningPartOutsideItsSets(*timing, first, last);
    }
    return total;
}

// The walk of the tree: a task without subtasks counts its own sets; a task with subtasks counts
// each child's own sets, or, for a child with subtasks, each grandchild's own sets.
double treeTotal(const ZRCDTask& task, ZRDate first, ZRDate last, bool excludingArchivedTasks,
                 const Walk& walk) {
    if (excludingArchivedTasks && task.isArchived())
        return 0.0;
    if (task.childTasks().empty())
        return sumOfOwnSets(task, first, last, walk);
    double total = 0.0;
    for (const ZRCDTask* child : task.childTasks()) {
        if (excludingArchivedTasks && child->isArchived())
            continue;
        if (child->childTasks().empty()) {
            total += sumOfOwnSets(*child, first, last, walk);
            continue;
        }
        for (const ZRCDTask* grandchild : child->childTasks()) {
            if (!(excludingArchivedTasks && grandchild->isArchived()))
                total += sumOfOwnSets(*grandchild, first, last, walk);
        }
    }
    return total;
}

Walk roundedWalk(const ZRCDTask& task, bool excludingRunningTimings) {
    return Walk(task, RoundingEnabledFlag::current().roundingEnabled(), excludingRunningTimings);
}

double timeInPeriod(const ZRCDTask& task, StandardPeriod period, bool excludingArchivedTasks,
                    bool excludingRunningTimings) {
    const ZRDateRange days = date_additions::standardPeriodDays(
        period, totals_detail::newDayHour(task.managedObjectContext()));
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
    StandardPeriod period = StandardPeriod::today;
    switch (periodCode) {
        case 1:
            period = StandardPeriod::thisWeek;
            break;
        case 2:
            period = StandardPeriod::thisMonth;
            break;
        case 3:
            period = StandardPeriod::thisYear;
            break;
        default:
            break;
    }
    return timeInPeriod(task, period, excludingArchivedTasks, false);
}

double getAllTimeExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings) {
    return treeTotal(task, kFirstDay, kLastDay, false, roundedWalk(task, excludingRunningTimings));
}

double getAllTimeExcludingArchivedDescendants(const ZRCDTask& task) {
    const Walk unrounded(task, false, false);
    if (task.childTasks().empty())
        return sumOfOwnSets(task, kFirstDay, kLastDay, unrounded);
    double total = 0.0;
    for (const ZRCDTask* child : task.childTasks()) {
        if (child->childTasks().empty()) {
            if (!child->isArchived())
                total += sumOfOwnSets(*child, kFirstDay, kLastDay, unrounded);
            continue;
        }
        for (const ZRCDTask* grandchild : child->childTasks()) {
            if (!grandchild->isArchived())
                total += sumOfOwnSets(*grandchild, kFirstDay, kLastDay, unrounded);
        }
    }
    return total;
}

double getTimeConsideringArchivedStateBetweenStartZRDate(const ZRCDTask& task, ZRDate first,
                                                         ZRDate last, const ManagedObjectContext&) {
    if (first > last)
        return 0.0;
    const std::int64_t showTasks = UserDefaults::standard().integerForKey(kZRShowTasks, 2);
    const Walk unrounded(task, false, false);
    if (task.childTasks().empty())
        return sumOfOwnSets(task, first, last, unrounded);
    double total = 0.0;
    for (const ZRCDTask* child : task.childTasks()) {
        if (!ZRCDTask::passesArchiveFilter(*child, showTasks))
            continue;
        if (child->childTasks().empty()) {
            total += sumOfOwnSets(*child, first, last, unrounded);
            continue;
        }
        for (const ZRCDTask* grandchild : child->childTasks()) {
            if (ZRCDTask::passesArchiveFilter(*grandchild, showTasks))
                total += sumOfOwnSets(*grandchild, first, last, unrounded);
        }
    }
    return total;
}

}  // namespace ravelong::task_totals

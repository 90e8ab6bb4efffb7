#pragma once

#include <cstdint>
#include <vector>

#include "core/calendar/CalendarTypes.h"

// A task's (ZRCDTask) tracked time over days, periods and all time. Seconds; days are day
// numbers, ranges inclusive. Main thread (the context's thread).
//
// Totals are read from the task's day aggregates (ZRCDTimingSet), never from the timings, except
// for the part of running timings up to now. A timer that runs past the end of a day has no
// aggregate for the days after it until it is assigned again (when it stops); totals that
// include running timers count its part of those days from the timer itself, so a timer started
// yesterday evening shows in today's total too. A task with subtasks counts through them only: its
// children without subtasks and its grandchildren (its own aggregates are not counted). With
// rounding enabled (RoundingEnabledFlag) every aggregate counts rounded by its own task's
// effective rule (timing_set_totals).
//
// "This week" and the other periods are the user's calendar's, with the day cut-off hour of the
// context's preferences record (date_additions::standardPeriodDays).
namespace ravelong {
class ManagedObjectContext;
class ZRCDTask;
}  // namespace ravelong

namespace ravelong::task_totals {

// The core total over days first...last. With `excludingArchivedTasks` an archived task counts 0
// and archived children and grandchildren are left out; `excludingRunningTimings` leaves out the
// running timers' time.
double getTimeBetweenStartZRDate(const ZRCDTask& task, ZRDate first, ZRDate last,
                                 bool excludingArchivedTasks, bool excludingRunningTimings);

// The core total over today, this week, this month, this year; archived subtasks included.
double getTimeTodayExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings);
double getTimeThisWeekExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings);
double getTimeThisMonthExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings);
double getTimeThisYearExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings);

// The total the menu-bar list shows: period 1 this week, 2 this month, 3 this year, any other
// value today; running timers included.
double getTimeForMenuBarCustomDuration(const ZRCDTask& task, std::int64_t periodCode,
                                       bool excludingArchivedTasks);

// The two totals of each row of the menu-bar list, for many tasks at once: the period total
// (getTimeForMenuBarCustomDuration) and the total ever (getAllTimeExcludingArchivedDescendants
// when archived times are left out, else getAllTimeExcludingRunningTimings with running timers).
// The same values as the single calls, but every task's sets are read once however many rows
// count them. All tasks must be of one context. The result is in the order of `tasks`.
struct MenuBarTotals {
    double periodTotal = 0.0;
    double totalEver = 0.0;
};
std::vector<MenuBarTotals> getMenuBarTotals(const std::vector<ZRCDTask*>& tasks,
                                            std::int64_t periodCode, bool excludingArchivedTasks);

// The core total over all days, archived subtasks included.
double getAllTimeExcludingRunningTimings(const ZRCDTask& task, bool excludingRunningTimings);

// Unrounded time over all days: the task's own aggregates when it has no subtasks, else those of
// its unarchived descendants without subtasks (a child with subtasks is passed through whether
// archived or not; the task's own archived state is not looked at).
double getAllTimeExcludingArchivedDescendants(const ZRCDTask& task);

// Unrounded time over days first...last, counting through the subtasks that the statistics
// list's archive filter (user default "ZRShowTasks") shows.
double getTimeConsideringArchivedStateBetweenStartZRDate(const ZRCDTask& task, ZRDate first,
                                                         ZRDate last,
                                                         const ManagedObjectContext& context);

}  // namespace ravelong::task_totals

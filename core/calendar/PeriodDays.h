#pragma once

#include "core/calendar/CalendarTypes.h"

// Days, weeks, months and years as day numbers, in the user's calendar as of the call. "Current"
// means now by Clock::current(), so tests move time with a SettableClock. Hour cut-offs outside
// 0...23 are taken as the nearest of the two. Safe to call from any thread.
namespace ravelong::date_additions {

// Today under the cut-off: at 02:30 with cut-off 4 it is still yesterday.
ZRDate zrDateTodayWithHourCutoff(int hourCutoff);

// First day of the week, month or year that holds today under the cut-off (so on Monday 01:00
// with cut-off 4, today is still Sunday and the current week is the one before). Weeks start on
// the calendar's first weekday.
ZRDate zrDateFirstDayOfCurrentWeekWithHourCutoff(int hourCutoff);
ZRDate zrDateFirstDayOfCurrentMonthWithHourCutoff(int hourCutoff);
ZRDate zrDateFirstDayOfCurrentYearWithHourCutoff(int hourCutoff);
ZRDate zrDateLastDayOfCurrentYearWithHourCutoff(int hourCutoff);
int numberOfDaysInCurrentMonthWithHourCutoff(int hourCutoff);

// The same for the period that holds a given day; no cut-off is involved.
ZRDate zrDateFirstDayOfWeekWithZRDate(ZRDate date);
ZRDate zrDateFirstDayOfMonthWithZRDate(ZRDate date);
ZRDate zrDateFirstDayOfYearWithZRDate(ZRDate date);
ZRDate zrDateLastDayOfYearWithZRDate(ZRDate date);
int numberOfDaysInMonthWithZRDate(ZRDate date);

// The periods totals are shown for. The one-argument form takes the cut-off from
// new_day_hour::current().
enum class StandardPeriod { today, thisWeek, thisMonth, thisYear };
ZRDateRange standardPeriodDays(StandardPeriod period, int hourCutoff);
ZRDateRange standardPeriodDays(StandardPeriod period);

}  // namespace ravelong::date_additions

#include "core/calendar/PeriodDays.h"

#include "core/calendar/CivilDays.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/ZRCalendar.h"
#include "foundation/Clock.h"

namespace ravelong::date_additions {

namespace {

// Today under the cut-off, as a local day count in the user's calendar. Weeks, months and years
// are taken from this day itself: moving now back by cut-off x 3600 real seconds instead would
// disagree with today for an hour after a change of the clocks (New York, cut-off 4, Sunday
// 10 March 2024 04:30 EDT is 02:30 EST once moved back four real hours: Saturday, the week
// before, although today is already Sunday).
int64_t cutoffToday(const ZRCalendar& calendar, int hourCutoff) {
    const int cutoff = clampedHourCutoff(hourCutoff);
    const auto now = calendar.localTime(Clock::current().now());
    return cutoff != 0 && now.hour() < cutoff ? now.days - 1 : now.days;
}

ZRDate firstDayOfWeek(int64_t day, int firstWeekday) {
    return static_cast<ZRDate>(
        day - civil::daysSinceWeekStart(civil::weekdayFromDays(day), firstWeekday));
}

ZRDate firstDayOfMonth(int64_t day) {
    const YearMonthDay date = civil::civilFromDays(day);
    return static_cast<ZRDate>(civil::daysFromCivil(date.year, date.month, 1));
}

ZRDate firstDayOfYear(int64_t day) {
    return static_cast<ZRDate>(civil::daysFromCivil(civil::civilFromDays(day).year, 1, 1));
}

ZRDate lastDayOfYear(int64_t day) {
    return static_cast<ZRDate>(civil::daysFromCivil(civil::civilFromDays(day).year + 1, 1, 1) - 1);
}

int daysInMonthOf(int64_t day) {
    const YearMonthDay date = civil::civilFromDays(day);
    return civil::daysInMonth(date.year, date.month);
}

}  // namespace

ZRDate zrDateTodayWithHourCutoff(int hourCutoff) {
    return static_cast<ZRDate>(cutoffToday(ZRCalendar::zrCalendar(), hourCutoff));
}

ZRDate zrDateFirstDayOfCurrentWeekWithHourCutoff(int hourCutoff) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return firstDayOfWeek(cutoffToday(calendar, hourCutoff), calendar.firstWeekday());
}

ZRDate zrDateFirstDayOfCurrentMonthWithHourCutoff(int hourCutoff) {
    return firstDayOfMonth(cutoffToday(ZRCalendar::zrCalendar(), hourCutoff));
}

ZRDate zrDateFirstDayOfCurrentYearWithHourCutoff(int hourCutoff) {
    return firstDayOfYear(cutoffToday(ZRCalendar::zrCalendar(), hourCutoff));
}

ZRDate zrDateLastDayOfCurrentYearWithHourCutoff(int hourCutoff) {
    return lastDayOfYear(cutoffToday(ZRCalendar::zrCalendar(), hourCutoff));
}

int numberOfDaysInCurrentMonthWithHourCutoff(int hourCutoff) {
    return daysInMonthOf(cutoffToday(ZRCalendar::zrCalendar(), hourCutoff));
}

// A day number names a calendar day directly (its local noon falls on it), so the periods that
// hold it need no zone; only the first weekday comes from the user's calendar.
ZRDate zrDateFirstDayOfWeekWithZRDate(ZRDate date) {
    return firstDayOfWeek(date, ZRCalendar::zrCalendar().firstWeekday());
}

ZRDate zrDateFirstDayOfMonthWithZRDate(ZRDate date) {
    return firstDayOfMonth(date);
}

ZRDate zrDateFirstDayOfYearWithZRDate(ZRDate date) {
    return firstDayOfYear(date);
}

ZRDate zrDateLastDayOfYearWithZRDate(ZRDate date) {
    return lastDayOfYear(date);
}

int numberOfDaysInMonthWithZRDate(ZRDate date) {
    return daysInMonthOf(date);
}

ZRDateRange standardPeriodDays(StandardPeriod period, int hourCutoff) {
    switch (period) {
        case StandardPeriod::today: {
            const ZRDate today = zrDateTodayWithHourCutoff(hourCutoff);
            return {today, today};
        }
        case StandardPeriod::thisWeek: {
            const ZRCalendar calendar = ZRCalendar::zrCalendar();
            const ZRDate first =
                firstDayOfWeek(cutoffToday(calendar, hourCutoff), calendar.firstWeekday());
            return {first, first + 6};
        }
        case StandardPeriod::thisMonth: {
            // One reading of the clock for both ends, so a month change between two calls
            // cannot pair one month's first day with another's length.
            const int64_t day = cutoffToday(ZRCalendar::zrCalendar(), hourCutoff);
            const ZRDate first = firstDayOfMonth(day);
            return {first, first + daysInMonthOf(day) - 1};
        }
        case StandardPeriod::thisYear: {
            const int64_t day = cutoffToday(ZRCalendar::zrCalendar(), hourCutoff);
            return {firstDayOfYear(day), lastDayOfYear(day)};
        }
    }
    return {};
}

ZRDateRange standardPeriodDays(StandardPeriod period) {
    return standardPeriodDays(period, new_day_hour::current());
}

}  // namespace ravelong::date_additions

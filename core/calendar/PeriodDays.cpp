#include "core/calendar/PeriodDays.h"

#include "core/calendar/CivilDays.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/ZRCalendar.h"
#include "foundation/Clock.h"

namespace ravelong::date_additions {

namespace {

// Now, moved back by the cut-off, as a local day count in the user's calendar.
int64_t shiftedToday(const ZRCalendar& calendar, int hourCutoff) {
    const int cutoff = clampedHourCutoff(hourCutoff);
    const Instant now = Clock::current().now();
    return calendar.localTime(now - cutoff * static_cast<double>(kSecondsPerHour)).days;
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
    const int cutoff = clampedHourCutoff(hourCutoff);
    const auto now = ZRCalendar::zrCalendar().localTime(Clock::current().now());
    return static_cast<ZRDate>(cutoff != 0 && now.hour() < cutoff ? now.days - 1 : now.days);
}

ZRDate zrDateFirstDayOfCurrentWeekWithHourCutoff(int hourCutoff) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return firstDayOfWeek(shiftedToday(calendar, hourCutoff), calendar.firstWeekday());
}

ZRDate zrDateFirstDayOfCurrentMonthWithHourCutoff(int hourCutoff) {
    return firstDayOfMonth(shiftedToday(ZRCalendar::zrCalendar(), hourCutoff));
}

ZRDate zrDateFirstDayOfCurrentYearWithHourCutoff(int hourCutoff) {
    return firstDayOfYear(shiftedToday(ZRCalendar::zrCalendar(), hourCutoff));
}

ZRDate zrDateLastDayOfCurrentYearWithHourCutoff(int hourCutoff) {
    return lastDayOfYear(shiftedToday(ZRCalendar::zrCalendar(), hourCutoff));
}

int numberOfDaysInCurrentMonthWithHourCutoff(int hourCutoff) {
    return daysInMonthOf(shiftedToday(ZRCalendar::zrCalendar(), hourCutoff));
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
            const ZRDate first = zrDateFirstDayOfCurrentWeekWithHourCutoff(hourCutoff);
            return {first, first + 6};
        }
        case StandardPeriod::thisMonth: {
            // One reading of the clock for both ends, so a month change between two calls
            // cannot pair one month's first day with another's length.
            const int64_t day = shiftedToday(ZRCalendar::zrCalendar(), hourCutoff);
            const ZRDate first = firstDayOfMonth(day);
            return {first, first + daysInMonthOf(day) - 1};
        }
        case StandardPeriod::thisYear: {
            const int64_t day = shiftedToday(ZRCalendar::zrCalendar(), hourCutoff);
            return {firstDayOfYear(day), lastDayOfYear(day)};
        }
    }
    return {};
}

ZRDateRange standardPeriodDays(StandardPeriod period) {
    return standardPeriodDays(period, new_day_hour::current());
}

}  // namespace ravelong::date_additions

#include "core/calendar/DateComponents.h"

#include <unicode/calendar.h>

#include "core/calendar/CivilDays.h"
#include "core/calendar/InstantSeconds.h"

namespace ravelong::date_additions {

YearMonthDay cc_componentsForMonthDayAndYear(Instant date) {
    return civil::civilFromDays(ZRCalendar::zrCalendar().localTime(date).days);
}

YearMonthDay componentsForMonthDayAndYearInTimeZone(Instant date, const ZoneRules& zone) {
    const int64_t whole = instant_seconds::split(date).whole;
    return civil::civilFromDays(civil::floorDiv(whole + zone.offsetAt(whole), kSecondsPerDay));
}

// Week numbering depends on locale rules that are easy to get subtly wrong (the first week of
// 2021 started on 4 January in Germany and on 27 December 2020 in the US), so ICU counts them.
WeekComponents componentsForWeek(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const auto icuCalendar = calendar.makeIcuCalendar();
    UErrorCode status = U_ZERO_ERROR;
    const auto seconds = instant_seconds::split(date);
    icuCalendar->setTime(static_cast<double>(seconds.whole) * 1000.0, status);
    WeekComponents week;
    week.weekOfYear = icuCalendar->get(UCAL_WEEK_OF_YEAR, status);
    week.yearForWeekOfYear = icuCalendar->get(UCAL_YEAR_WOY, status);
    week.weekday = icuCalendar->get(UCAL_DAY_OF_WEEK, status);
    if (U_FAILURE(status)) {
        // Only an instant beyond ICU's range gets here; report its weekday at least.
        week = WeekComponents{};
        week.weekday = civil::weekdayFromDays(calendar.localTime(date).days);
    }
    return week;
}

int cc_weekday(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const int weekday = civil::weekdayFromDays(calendar.localTime(date).days);
    return civil::daysSinceWeekStart(weekday, calendar.firstWeekday()) + 1;
}

int cc_weekdayIndependent(Instant date) {
    return civil::weekdayFromDays(ZRCalendar::zrCalendar().localTime(date).days);
}

int cc_numberOfDaysInMonth(Instant date) {
    const YearMonthDay day = cc_componentsForMonthDayAndYear(date);
    return civil::daysInMonth(day.year, day.month);
}

int getHourComponentInTimeZone(Instant date, const ZoneRules& zone) {
    const int64_t whole = instant_seconds::split(date).whole;
    return static_cast<int>(civil::floorMod(whole + zone.offsetAt(whole), kSecondsPerDay) /
                            kSecondsPerHour);
}

int getHourComponentUsingCalendar(Instant date, const ZRCalendar& calendar) {
    return calendar.localTime(date).hour();
}

}  // namespace ravelong::date_additions

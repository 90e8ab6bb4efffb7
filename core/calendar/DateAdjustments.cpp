#include "core/calendar/DateAdjustments.h"

#include <cmath>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/CivilDays.h"
#include "core/calendar/InstantSeconds.h"

namespace ravelong::date_additions {

namespace {

// The receiver's day with a new time of day, keeping its offset where that wall time repeats.
Instant onSameDay(const ZRCalendar& calendar, Instant date, int64_t secondsIntoDay) {
    const auto local = calendar.localTime(date);
    return calendar.instantFromLocal(local.days, secondsIntoDay, local.offset);
}

Instant midnightOfMonth(Instant date, int monthsAhead) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const YearMonthDay day = civil::civilFromDays(calendar.localTime(date).days);
    return calendar.instantFromLocal(civil::daysFromCivil(day.year, day.month + monthsAhead, 1), 0);
}

Instant midnightOfYear(Instant date, int yearsAhead) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const YearMonthDay day = civil::civilFromDays(calendar.localTime(date).days);
    return calendar.instantFromLocal(civil::daysFromCivil(day.year + yearsAhead, 1, 1), 0);
}

}  // namespace

Instant setMinutesSecondsToZero(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return onSameDay(calendar, date, calendar.localTime(date).hour() * kSecondsPerHour);
}

Instant setSecondsToZero(Instant date) {
    return std::floor(date / 60.0) * 60.0;
}

Instant setMillisecondsToZero(Instant date) {
    return std::floor(date);
}

Instant setToMiddleOfDay(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return calendar.instantFromLocal(calendar.localTime(date).days, 0) + 43200.0;
}

Instant setToHourOfCurrentDayIgnoringZRNewDay(Instant date, int hour) {
    return onSameDay(ZRCalendar::zrCalendar(), date, static_cast<int64_t>(hour) * kSecondsPerHour);
}

Instant setToHourOfCurrentDayIgnoringZRNewDay_usingTimeZoneOffset(Instant date, int hour,
                                                                  int32_t timeZoneOffset) {
    const auto seconds = instant_seconds::split(date);
    const int64_t day = civil::floorDiv(seconds.whole + timeZoneOffset, kSecondsPerDay);
    return instant_seconds::toInstant(
        day * kSecondsPerDay + static_cast<int64_t>(hour) * kSecondsPerHour - timeZoneOffset);
}

Instant dateByMovingToNextFullHour(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return onSameDay(calendar, date, (calendar.localTime(date).hour() + 1) * kSecondsPerHour);
}

Instant addNumberOfDays(Instant date, int numberOfDays) {
    return addNumberOfDaysDate(date, numberOfDays, ZRCalendar::zrCalendar());
}

Instant addNumberOfDaysDate(Instant date, int numberOfDays, const ZRCalendar& calendar) {
    const auto local = calendar.localTime(date);
    return calendar.instantFromLocal(local.days + numberOfDays, local.secondOfDay, local.offset) +
           local.fraction;
}

Instant addNumberOfHours(Instant date, int numberOfHours) {
    return date + static_cast<double>(numberOfHours) * kSecondsPerHour;
}

Instant cc_dateByMovingToBeginningOfYear(Instant date) {
    return midnightOfYear(date, 0);
}

Instant cc_dateByMovingToBeginningOfTheFollowingYear(Instant date) {
    return midnightOfYear(date, 1);
}

Instant cc_dateByMovingToBeginningOfThePreviousYear(Instant date) {
    return midnightOfYear(date, -1);
}

Instant cc_dateByMovingToFirstDayOfTheMonth(Instant date) {
    return midnightOfMonth(date, 0);
}

Instant cc_dateByMovingToFirstDayOfThePreviousMonth(Instant date) {
    return midnightOfMonth(date, -1);
}

Instant cc_dateByMovingToFirstDayOfTheFollowingMonth(Instant date) {
    return midnightOfMonth(date, 1);
}

Instant dateByMovingToFirstDayOfTheNthMonthAfter(Instant date, int numberOfMonths) {
    return midnightOfMonth(date, numberOfMonths);
}

Instant cc_dateByMovingToFirstDayOfTheWeek(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const int64_t day = calendar.localTime(date).days;
    const int back =
        civil::daysSinceWeekStart(civil::weekdayFromDays(day), calendar.firstWeekday());
    return calendar.instantFromLocal(day - back, 0);
}

}  // namespace ravelong::date_additions

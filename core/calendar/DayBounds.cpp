#include "core/calendar/DayBounds.h"

#include <algorithm>

#include "core/calendar/CivilDays.h"
#include "core/calendar/InstantSeconds.h"
#include "core/calendar/TimeZones.h"

namespace ravelong::date_additions {

namespace {

// A day number is the local calendar day itself, so its boundary is the cut-off on that day's
// wall clock. It is not found through the day's local noon: a day the zone skips whole has no
// noon (Pacific/Apia went from 29 December 2011 23:59:59 at -10 straight to 31 December 00:00 at
// +14), and its noon would land on the next day. With cut-off 2 the 30th then begins where the
// wall clock first reads past 30 December 02:00, at the jump, and lasts the two hours to
// 31 December 02:00; the 29th ends at the jump after 22 hours.
Instant boundaryOfDay(int64_t day, std::string_view timeZoneName, int32_t newDayOffset) {
    const ZoneRef zone = zones::named(timeZoneName);
    // The cut-off is added as wall-clock seconds, as a calendar adds to the seconds field.
    return instant_seconds::toInstant(
        zone->unixSecondsFromLocal(day * kSecondsPerDay + newDayOffset));
}

Instant cutoffHourOf(const ZRCalendar& calendar, int64_t day, int hourCutoff) {
    return calendar.instantFromLocal(day, hourCutoff * kSecondsPerHour);
}

// The day under the cut-off that holds the instant, as a local day count of its first day.
int64_t cutoffDayOf(const ZRCalendar& calendar, Instant date, int hourCutoff) {
    const auto local = calendar.localTime(date);
    return local.hour() < hourCutoff ? local.days - 1 : local.days;
}

Instant midnightWithOffset(Instant date, int32_t timeZoneOffset, int dayOffset) {
    const auto seconds = instant_seconds::split(date);
    const int64_t day = civil::floorDiv(seconds.whole + timeZoneOffset, kSecondsPerDay);
    return instant_seconds::toInstant((day + dayOffset) * kSecondsPerDay - timeZoneOffset);
}

}  // namespace

int clampedHourCutoff(int hourCutoff) {
    return std::clamp(hourCutoff, 0, 23);
}

Instant beginningOfDayForZRDate(ZRDate date, std::string_view timeZoneName, int32_t newDayOffset) {
    return boundaryOfDay(date, timeZoneName, newDayOffset);
}

Instant endOfDayForZRDate(ZRDate date, std::string_view timeZoneName, int32_t newDayOffset) {
    return boundaryOfDay(static_cast<int64_t>(date) + 1, timeZoneName, newDayOffset);
}

Instant beginningOfDayWithHourCutoff(Instant date, int hourCutoff) {
    return beginningOfDayWithHourCutoff_andCalendar(date, hourCutoff, ZRCalendar::zrCalendar());
}

Instant endOfDayWithHourCutoff(Instant date, int hourCutoff) {
    return endOfDayWithHourCutoff_andCalendar(date, hourCutoff, ZRCalendar::zrCalendar());
}

Instant beginningOfDayWithHourCutoff_andTimeZoneName(Instant date, int hourCutoff,
                                                     std::string_view timeZoneName) {
    return beginningOfDayWithHourCutoff_andCalendar(date, hourCutoff,
                                                    ZRCalendar::defaultGregorian(timeZoneName));
}

Instant endOfDayWithHourCutoff_andTimeZoneName(Instant date, int hourCutoff,
                                               std::string_view timeZoneName) {
    return endOfDayWithHourCutoff_andCalendar(date, hourCutoff,
                                              ZRCalendar::defaultGregorian(timeZoneName));
}

Instant beginningOfDayWithHourCutoff_andCalendar(Instant date, int hourCutoff,
                                                 const ZRCalendar& calendar) {
    const int cutoff = clampedHourCutoff(hourCutoff);
    return cutoffHourOf(calendar, cutoffDayOf(calendar, date, cutoff), cutoff);
}

Instant endOfDayWithHourCutoff_andCalendar(Instant date, int hourCutoff,
                                           const ZRCalendar& calendar) {
    const int cutoff = clampedHourCutoff(hourCutoff);
    return cutoffHourOf(calendar, cutoffDayOf(calendar, date, cutoff) + 1, cutoff);
}

Instant beginningOfWeekWithHourCutoff(Instant date, int hourCutoff) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const int cutoff = clampedHourCutoff(hourCutoff);
    const int64_t day = cutoffDayOf(calendar, date, cutoff);
    const int back =
        civil::daysSinceWeekStart(civil::weekdayFromDays(day), calendar.firstWeekday());
    return cutoffHourOf(calendar, day - back, cutoff);
}

Instant beginningOfMonthWithHourCutoff(Instant date, int hourCutoff) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const int cutoff = clampedHourCutoff(hourCutoff);
    const YearMonthDay day = civil::civilFromDays(cutoffDayOf(calendar, date, cutoff));
    return cutoffHourOf(calendar, civil::daysFromCivil(day.year, day.month, 1), cutoff);
}

Instant beginningOfYearWithHourCutoff(Instant date, int hourCutoff) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const int cutoff = clampedHourCutoff(hourCutoff);
    const YearMonthDay day = civil::civilFromDays(cutoffDayOf(calendar, date, cutoff));
    return cutoffHourOf(calendar, civil::daysFromCivil(day.year, 1, 1), cutoff);
}

Instant beginningOfDayIgnoringZRNewDay(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return calendar.instantFromLocal(calendar.localTime(date).days, 0);
}

Instant endOfDayIgnoringZRNewDay(Instant date) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return calendar.instantFromLocal(calendar.localTime(date).days + 1, 0);
}

Instant beginningOfDayIgnoringZRNewDayUsingTimezoneOffset(Instant date, int32_t timeZoneOffset) {
    return midnightWithOffset(date, timeZoneOffset, 0);
}

Instant endOfDayIgnoringZRNewDayUsingTimezoneOffset(Instant date, int32_t timeZoneOffset) {
    return midnightWithOffset(date, timeZoneOffset, 1);
}

}  // namespace ravelong::date_additions

#include "core/calendar/DayBounds.h"

#include <algorithm>

#include "core/calendar/CivilDays.h"
#include "core/calendar/InstantSeconds.h"
#include "core/calendar/TimeZones.h"

namespace ravelong::date_additions {

namespace {

// The local calendar day on which day number `date` falls in `zone`, found from noon UTC of the
// day in two steps. Example, day 19813 (31 March 2024) in Berlin: noon UTC is 1711886400; the
// offset there (+7200) gives the guess 10:00 UTC, the offset at the guess (+7200, summer time has
// begun) gives local noon at 10:00 UTC, which Berlin reads as 31 March. Reading the date at local
// noon rather than at a fixed UTC time keeps zones far from GMT on the right day.
int64_t localDayOfDayNumber(const ZoneRules& zone, int64_t noonUtc) {
    const int64_t guess = noonUtc - zone.offsetAt(noonUtc);
    const int64_t localNoon = noonUtc - zone.offsetAt(guess);
    return civil::floorDiv(localNoon + zone.offsetAt(localNoon), kSecondsPerDay);
}

Instant boundaryOfDay(int64_t noonUtc, std::string_view timeZoneName, int32_t newDayOffset) {
    const ZoneRef zone = zones::named(timeZoneName);
    const int64_t day = localDayOfDayNumber(*zone, noonUtc);
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

// The instant moved back by the cut-off, as a local day count; weeks, months and years are
// found from there.
int64_t shiftedDayOf(const ZRCalendar& calendar, Instant date, int hourCutoff) {
    return calendar.localTime(date - hourCutoff * static_cast<double>(kSecondsPerHour)).days;
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
    return boundaryOfDay(static_cast<int64_t>(date) * kSecondsPerDay + 43200, timeZoneName,
                         newDayOffset);
}

Instant endOfDayForZRDate(ZRDate date, std::string_view timeZoneName, int32_t newDayOffset) {
    return boundaryOfDay(static_cast<int64_t>(date) * kSecondsPerDay + 129600, timeZoneName,
                         newDayOffset);
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
    const int64_t day = shiftedDayOf(calendar, date, cutoff);
    const int back =
        civil::daysSinceWeekStart(civil::weekdayFromDays(day), calendar.firstWeekday());
    return cutoffHourOf(calendar, day - back, cutoff);
}

Instant beginningOfMonthWithHourCutoff(Instant date, int hourCutoff) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const int cutoff = clampedHourCutoff(hourCutoff);
    const YearMonthDay shifted = civil::civilFromDays(shiftedDayOf(calendar, date, cutoff));
    return cutoffHourOf(calendar, civil::daysFromCivil(shifted.year, shifted.month, 1), cutoff);
}

Instant beginningOfYearWithHourCutoff(Instant date, int hourCutoff) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const int cutoff = clampedHourCutoff(hourCutoff);
    const YearMonthDay shifted = civil::civilFromDays(shiftedDayOf(calendar, date, cutoff));
    return cutoffHourOf(calendar, civil::daysFromCivil(shifted.year, 1, 1), cutoff);
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

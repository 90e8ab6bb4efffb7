#include "core/calendar/DayNumbers.h"

#include <cmath>

#include "core/calendar/CivilDays.h"
#include "core/calendar/InstantSeconds.h"
#include "core/calendar/TimeZones.h"

namespace ravelong::date_additions {

namespace {

constexpr int64_t kMinRepresentableYear = 1;
constexpr int64_t kMaxRepresentableYear = 214747;

ZRDate dayOfLocalSeconds(int64_t localSeconds) {
    return static_cast<ZRDate>(civil::floorDiv(localSeconds, kSecondsPerDay));
}

// Shared by the zone-name and fixed-offset forms once the offset at the instant is known.
ZRDate dayWithCutoff(Instant date, int32_t offset, int32_t cutoff, bool preferPrevious) {
    const auto seconds = instant_seconds::split(date);
    const int64_t local = seconds.whole + offset;
    if (cutoff == 0) {
        if (!preferPrevious) {
            return dayOfLocalSeconds(local);
        }
        // An end exactly at midnight belongs to the day before. Taking a tenth of a second off
        // in floating point does that: (1710460800.0 - 0.1) / 86400 = 19796.99999...
        const double unix = static_cast<double>(seconds.whole) + seconds.fraction;
        return static_cast<ZRDate>(std::floor((offset + unix - 0.1) / kSecondsPerDay));
    }
    ZRDate day = dayOfLocalSeconds(local);
    const int64_t secondOfDay = local - static_cast<int64_t>(day) * kSecondsPerDay;
    if (preferPrevious ? secondOfDay <= cutoff : secondOfDay < cutoff) {
        --day;
    }
    return day;
}

// An end instant exactly at the beginning of its day closes the day before. Reading the wall
// clock misses that when the beginning falls in a gap the clocks skip: in New York with cut-off 2
// the day of 10 March 2024 begins at 03:00 EDT (02:00 does not exist), where the wall clock reads
// past the cut-off. Such a beginning is always the instant of a change of offset, so only those
// instants are compared with the day's computed beginning. A day skipped whole (Pacific/Apia,
// 30 December 2011) begins and ends at the same instant, hence the second look.
ZRDate endDayAtSkippedBoundary(const ZoneRules& zone, ZRDate day, int64_t unixSeconds,
                               int32_t cutoff) {
    for (int step = 0; step < 2; ++step) {
        const int64_t beginning =
            zone.unixSecondsFromLocal(static_cast<int64_t>(day) * kSecondsPerDay + cutoff);
        if (beginning != unixSeconds) {
            break;
        }
        --day;
    }
    return day;
}

int64_t daysOfYearMonthDay(ZRYearMonthDay yearMonthDay) {
    const int64_t year = yearMonthDay / 10000;
    const int64_t month = yearMonthDay % 10000 / 100;
    const int64_t day = yearMonthDay % 100;
    return civil::daysFromCivil(year, month, day);
}

ZRYearMonthDay yearMonthDayOfDays(int64_t days) {
    const YearMonthDay date = civil::civilFromDays(days);
    if (date.year < kMinRepresentableYear || date.year > kMaxRepresentableYear) {
        return 0;
    }
    return static_cast<ZRYearMonthDay>(date.year * 10000 + date.month * 100 + date.day);
}

}  // namespace

ZRDate zrDate(std::optional<Instant> date) {
    if (!date || !instant_seconds::isUsable(*date)) {
        return 0;
    }
    return static_cast<ZRDate>(ZRCalendar::zrCalendar().localTime(*date).days);
}

ZRDate zrDateInTimeZone(std::optional<Instant> date, const ZoneRules& timeZone) {
    if (!date || !instant_seconds::isUsable(*date)) {
        return 0;
    }
    const auto seconds = instant_seconds::split(*date);
    return dayOfLocalSeconds(seconds.whole + timeZone.offsetAt(seconds.whole));
}

ZRDate zrDateWithTimeZoneName(std::optional<Instant> date, std::string_view timeZoneName,
                              int32_t newDayOffsetInSeconds, bool preferPrevious) {
    if (!date || !instant_seconds::isUsable(*date)) {
        return 0;
    }
    const ZoneRef zone = zones::named(timeZoneName);
    const auto seconds = instant_seconds::split(*date);
    const auto [offset, changesHere] = zone->offsetChangeAt(seconds.whole);
    const ZRDate day = dayWithCutoff(*date, offset, newDayOffsetInSeconds, preferPrevious);
    // Only an end at a change of the clocks can be the beginning of a day inside a gap; with
    // cut-off 0 an end up to a tenth of a second after it counts as at it.
    const bool atChange = changesHere && (newDayOffsetInSeconds != 0 || seconds.fraction < 0.1);
    return preferPrevious && atChange
               ? endDayAtSkippedBoundary(*zone, day, seconds.whole, newDayOffsetInSeconds)
               : day;
}

ZRDate zrDateWithTimeZoneOffset(std::optional<Instant> date, int32_t timeZoneOffset,
                                int32_t newDayOffsetInSeconds, bool preferPrevious) {
    if (!date || !instant_seconds::isUsable(*date)) {
        return 0;
    }
    return dayWithCutoff(*date, timeZoneOffset, newDayOffsetInSeconds, preferPrevious);
}

ZRYearMonthDay zrYearMonthDayFromZRDate(ZRDate date) {
    return yearMonthDayOfDays(date);
}

ZRDate zrDateFromZRYearMonthDay(ZRYearMonthDay yearMonthDay) {
    if (yearMonthDay <= 0) {
        return 0;
    }
    return static_cast<ZRDate>(daysOfYearMonthDay(yearMonthDay));
}

Instant noonOfDayFromZRDate(ZRDate date) {
    return ZRCalendar::zrCalendar().instantFromLocal(date, 12 * kSecondsPerHour);
}

Instant noonOfDayFromZRYearMonthDay(ZRYearMonthDay yearMonthDay) {
    return noonOfDayFromZRDate(zrDateFromZRYearMonthDay(yearMonthDay));
}

Instant noonFromZRYearMonthDay_usingTimezoneOffset(ZRYearMonthDay yearMonthDay,
                                                   int32_t timeZoneOffset) {
    const int64_t days = zrDateFromZRYearMonthDay(yearMonthDay);
    return instant_seconds::toInstant(days * kSecondsPerDay + 12 * kSecondsPerHour -
                                      timeZoneOffset);
}

Instant noonFromZRYearMonthDay_usingTimezoneName(ZRYearMonthDay yearMonthDay,
                                                 std::string_view timeZoneName) {
    return ZRCalendar::defaultGregorian(timeZoneName)
        .instantFromLocal(zrDateFromZRYearMonthDay(yearMonthDay), 12 * kSecondsPerHour);
}

ZRYearMonthDay addNumberOfDays_toZRYearMonthDay(int numberOfDays, ZRYearMonthDay yearMonthDay) {
    // Moving noon by whole calendar days never meets a skipped or repeated wall time, so this is
    // plain day arithmetic.
    return yearMonthDayOfDays(daysOfYearMonthDay(yearMonthDay) + numberOfDays);
}

Instant dateWithYearMonthDayOfNSDate(Instant receiver, Instant other) {
    return dateWithYearMonthDayOfNSDate(receiver, other, ZRCalendar::zrCalendar());
}

Instant dateWithYearMonthDayOfNSDate(Instant receiver, Instant other, const ZRCalendar& calendar) {
    const auto time = calendar.localTime(receiver);
    return calendar.instantFromLocal(calendar.localTime(other).days, time.secondOfDay);
}

Instant dateWithYearMonthDayOfZRYearMonthDay(Instant receiver, ZRYearMonthDay yearMonthDay,
                                             const ZRCalendar& calendar) {
    return dateWithYearMonthDayOfZRYearMonthDay(receiver, yearMonthDay, 0, calendar);
}

Instant dateWithYearMonthDayOfZRYearMonthDay(Instant receiver, ZRYearMonthDay yearMonthDay,
                                             int numberOfDays, const ZRCalendar& calendar) {
    const auto time = calendar.localTime(receiver);
    return calendar.instantFromLocal(daysOfYearMonthDay(yearMonthDay) + numberOfDays,
                                     time.secondOfDay);
}

}  // namespace ravelong::date_additions

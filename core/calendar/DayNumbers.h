#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/ZRCalendar.h"
#include "core/calendar/ZoneRules.h"
#include "foundation/Instant.h"

// Day numbers (ZRDate) and calendar days (ZRYearMonthDay) of instants, and back.
//
// An absent instant, or one that is not finite or lies millions of years away, has day number 0
// ("no date"). Functions without a calendar argument use the user's calendar (zrCalendar) as of
// the call. Everything here is safe to call from any thread.
namespace ravelong::date_additions {

// Day number of the instant in the user's time zone, no cut-off: whole days from 1970-01-01 to
// the local calendar day (negative before 1970).
ZRDate zrDate(std::optional<Instant> date);

// The same in a given zone.
ZRDate zrDateInTimeZone(std::optional<Instant> date, const ZoneRules& timeZone);

// The day a timing's instant is counted on: in the named zone (unknown names count as GMT), where
// a day starts `newDayOffsetInSeconds` after local midnight. An instant exactly at the cut-off
// starts the new day, unless `preferPrevious` is set: end instants pass true so that a timing
// ending exactly at the cut-off does not touch the next day. That holds also where the day begins
// after a gap of the clocks (New York, cut-off 2, 10 March 2024 begins at 03:00 EDT): an end
// exactly at that beginning counts on the day before.
//
//   cut-off 4 h (14400 s), local times on 3 March:
//     03:59:59 -> 2 March   04:00:00 -> 3 March (start) / 2 March (end)   04:00:01 -> 3 March
//   cut-off 0: 00:00:00 -> the new day for a start, the previous day for an end; with cut-off 0 an
//   end within the first tenth of a second after midnight still closes the previous day.
ZRDate zrDateWithTimeZoneName(std::optional<Instant> date, std::string_view timeZoneName,
                              int32_t newDayOffsetInSeconds, bool preferPrevious);

// The same for a zone fixed at `timeZoneOffset` seconds east of GMT.
ZRDate zrDateWithTimeZoneOffset(std::optional<Instant> date, int32_t timeZoneOffset,
                                int32_t newDayOffsetInSeconds, bool preferPrevious);

// Exact Gregorian conversions (no zone involved). zrYearMonthDayFromZRDate(0) is 19700101. A day
// outside the years 1 to 214747 cannot be written as year * 10000 + month * 100 + day and gives 0.
ZRYearMonthDay zrYearMonthDayFromZRDate(ZRDate date);
// Months and days out of range roll over as a lenient calendar does (20231301 is 20240101); 0 and
// negative values give day number 0.
ZRDate zrDateFromZRYearMonthDay(ZRYearMonthDay yearMonthDay);

// 12:00 local time of a day: in the user's zone, or in the given zone or fixed offset. Noon is a
// safe representative of a day: no zone skips or repeats it.
Instant noonOfDayFromZRDate(ZRDate date);
Instant noonOfDayFromZRYearMonthDay(ZRYearMonthDay yearMonthDay);
Instant noonFromZRYearMonthDay_usingTimezoneOffset(ZRYearMonthDay yearMonthDay,
                                                   int32_t timeZoneOffset);
Instant noonFromZRYearMonthDay_usingTimezoneName(ZRYearMonthDay yearMonthDay,
                                                 std::string_view timeZoneName);

// The calendar day `numberOfDays` after (before, when negative) the given one.
ZRYearMonthDay addNumberOfDays_toZRYearMonthDay(int numberOfDays, ZRYearMonthDay yearMonthDay);

// The receiver's local time of day (hour, minute, second; fractions dropped) placed on another
// calendar day: the day of `other`, or a ZRYearMonthDay moved by `numberOfDays`. In the user's
// calendar unless one is given.
Instant dateWithYearMonthDayOfNSDate(Instant receiver, Instant other);
Instant dateWithYearMonthDayOfNSDate(Instant receiver, Instant other, const ZRCalendar& calendar);
Instant dateWithYearMonthDayOfZRYearMonthDay(Instant receiver, ZRYearMonthDay yearMonthDay,
                                             const ZRCalendar& calendar);
Instant dateWithYearMonthDayOfZRYearMonthDay(Instant receiver, ZRYearMonthDay yearMonthDay,
                                             int numberOfDays, const ZRCalendar& calendar);

}  // namespace ravelong::date_additions

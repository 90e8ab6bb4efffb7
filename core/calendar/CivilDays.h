#pragma once

#include <cstdint>

#include "core/calendar/CalendarTypes.h"

// Proleptic Gregorian arithmetic on day counts from 1970-01-01, with no time zone involved. Every
// calendar operation reduces to these once the zone's offset is applied. Pure functions, safe from
// any thread.
namespace ravelong::civil {

// Division and remainder rounding toward negative infinity, so that day -1 is 1969-12-31.
constexpr int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
constexpr int64_t floorMod(int64_t a, int64_t b) {
    return a - floorDiv(a, b) * b;
}

bool isLeapYear(int64_t year);
int daysInMonth(int64_t year, int month);

// Days from 1970-01-01 to the given day. Out-of-range months and days are normalised the way a
// lenient calendar does: month 13 of 2023 is January 2024, day 0 of March is the last of February.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day);

// The calendar day `days` after 1970-01-01 (negative counts go back).
YearMonthDay civilFromDays(int64_t days);

// 1 = Sunday to 7 = Saturday; 1970-01-01 was a Thursday (5).
int weekdayFromDays(int64_t days);

// Days to go back from a day of weekday `weekday` to the start of its week when weeks start on
// `firstWeekday` (both 1 = Sunday to 7 = Saturday): 0 to 6.
int daysSinceWeekStart(int weekday, int firstWeekday);

}  // namespace ravelong::civil

#include "core/calendar/CivilDays.h"

namespace ravelong::civil {

bool isLeapYear(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int64_t year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Counts in 400-year eras of 146097 days with the year starting in March, so the leap day is the
// last day of the counting year and needs no special case. Worked example: 2024-03-15 is year 2024
// month index 0 (March), day of year 14, year of era 24, day of era 8780, era 5; 5 * 146097 + 8780
// - 719468 = 19797.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
    year += floorDiv(month - 1, 12);
    month = floorMod(month - 1, 12) + 1;
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = floorDiv(y, 400);
    const int64_t yearOfEra = y - era * 400;
    const int64_t monthIndex = month > 2 ? month - 3 : month + 9;
    const int64_t dayOfYear = (153 * monthIndex + 2) / 5;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    // Day 1 of the month is dayOfYear; further days are added as plain offsets so that day 0 or
    // day 32 fall into the neighbouring months.
    return era * 146097 + dayOfEra - 719468 + (day - 1);
}

YearMonthDay civilFromDays(int64_t days) {
    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

int weekdayFromDays(int64_t days) {
    return static_cast<int>(floorMod(days + 4, 7)) + 1;
}

int daysSinceWeekStart(int weekday, int firstWeekday) {
    return static_cast<int>(floorMod(weekday - firstWeekday, 7));
}

}  // namespace ravelong::civil

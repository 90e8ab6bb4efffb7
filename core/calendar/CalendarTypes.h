#pragma once

#include <cstdint>

namespace ravelong {

// A day number: whole days from 1970-01-01 to the day, counted in local time. Timing sets, totals
// and charts key on it. 0 also stands for "no date".
using ZRDate = int32_t;

// A calendar day as one integer, year * 10000 + month * 100 + day (20240315 is 15 March 2024).
using ZRYearMonthDay = int32_t;

inline constexpr int64_t kSecondsPerDay = 86400;
inline constexpr int64_t kSecondsPerHour = 3600;

// Weekdays are numbered 1 = Sunday to 7 = Saturday throughout, as calendars count them.
inline constexpr int kSunday = 1;
inline constexpr int kMonday = 2;
inline constexpr int kSaturday = 7;

// The year, month and day of an instant in some calendar.
struct YearMonthDay {
    int64_t year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31

    bool operator==(const YearMonthDay&) const = default;
};

// The wall-clock reading of an instant in some calendar.
struct DateComponents {
    int64_t year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 5;  // 1 = Sunday to 7 = Saturday

    bool operator==(const DateComponents&) const = default;
};

// A week as the calendar's locale counts it (first weekday and minimal days of the first week).
struct WeekComponents {
    int weekOfYear = 1;
    int64_t yearForWeekOfYear = 1970;
    int weekday = 5;  // 1 = Sunday to 7 = Saturday

    bool operator==(const WeekComponents&) const = default;
};

// An inclusive range of day numbers, such as "this week".
struct ZRDateRange {
    ZRDate first = 0;
    ZRDate last = 0;

    bool operator==(const ZRDateRange&) const = default;
};

}  // namespace ravelong

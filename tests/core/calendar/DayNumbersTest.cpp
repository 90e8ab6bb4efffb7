#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/calendar/TimeZones.h"
#include "foundation/Log.h"

namespace ravelong {
namespace {

using namespace date_additions;
using testing::dayNumber;
using testing::wallTime;

TEST(YearMonthDay, ConvertsDayNumbersExactly) {
    EXPECT_EQ(zrYearMonthDayFromZRDate(0), 19700101);
    EXPECT_EQ(zrYearMonthDayFromZRDate(19723), 20240101);
    EXPECT_EQ(zrYearMonthDayFromZRDate(-1), 19691231);
    EXPECT_EQ(zrDateFromZRYearMonthDay(20240101), 19723);
    EXPECT_EQ(zrDateFromZRYearMonthDay(20240229), dayNumber(2024, 2, 29));
    EXPECT_EQ(zrDateFromZRYearMonthDay(20000229), dayNumber(2000, 2, 29));
    EXPECT_EQ(zrYearMonthDayFromZRDate(dayNumber(2100, 3, 1) - 1), 21000228);  // not a leap year
    EXPECT_EQ(zrYearMonthDayFromZRDate(dayNumber(1900, 3, 1) - 1), 19000228);
}

TEST(YearMonthDay, RoundTripsAgainstIcuOverFourCenturies) {
    // Every 7th day from 1800 to 2200 covers every weekday, month length and leap rule.
    for (ZRDate day = dayNumber(1800, 1, 1); day < dayNumber(2200, 1, 1); day += 7) {
        const ZRYearMonthDay ymd = zrYearMonthDayFromZRDate(day);
        ASSERT_EQ(dayNumber(ymd / 10000, ymd % 10000 / 100, ymd % 100), day) << ymd;
        ASSERT_EQ(zrDateFromZRYearMonthDay(ymd), day) << ymd;
    }
}

TEST(YearMonthDay, RollsOverOutOfRangeFieldsAndRejectsWhatCannotBeWritten) {
    EXPECT_EQ(zrDateFromZRYearMonthDay(20231301), dayNumber(2024, 1, 1));
    EXPECT_EQ(zrDateFromZRYearMonthDay(20240230), dayNumber(2024, 3, 1));
    EXPECT_EQ(zrDateFromZRYearMonthDay(20240300), dayNumber(2024, 2, 29));
    EXPECT_EQ(zrDateFromZRYearMonthDay(0), 0);
    EXPECT_EQ(zrDateFromZRYearMonthDay(-20240101), 0);
    EXPECT_EQ(zrYearMonthDayFromZRDate(std::numeric_limits<ZRDate>::max()), 0);
    EXPECT_EQ(zrYearMonthDayFromZRDate(std::numeric_limits<ZRDate>::min()), 0);
    EXPECT_EQ(addNumberOfDays_toZRYearMonthDay(1, 20241231), 20250101);
    EXPECT_EQ(addNumberOfDays_toZRYearMonthDay(-1, 20240301), 20240229);
    EXPECT_EQ(addNumberOfDays_toZRYearMonthDay(366, 20240101), 20250101);
}

// Cut-off 4 h in Berlin around 3 March 2024 (d = 3 March, d-1 = 2 March):
//
//   local time   03:59:59   04:00:00   04:00:01
//   start        d-1        d          d
//   end          d-1        d-1        d
TEST(DayNumberWithCutoff, InstantAtTheCutoffStartsTheDayButEndsThePreviousOne) {
    const ZRDate d = dayNumber(2024, 3, 3);
    for (const char* zone :
         {"Europe/Berlin", "America/New_York", "Asia/Kolkata", "Australia/Lord_Howe", "GMT+0100"}) {
        SCOPED_TRACE(zone);
        const Instant before = wallTime(zone, 2024, 3, 3, 3, 59, 59);
        const Instant at = wallTime(zone, 2024, 3, 3, 4, 0, 0);
        const Instant after = wallTime(zone, 2024, 3, 3, 4, 0, 1);
        for (bool end : {false, true}) {
            EXPECT_EQ(zrDateWithTimeZoneName(before, zone, 14400, end), d - 1);
            EXPECT_EQ(zrDateWithTimeZoneName(after, zone, 14400, end), d);
        }
        EXPECT_EQ(zrDateWithTimeZoneName(at, zone, 14400, false), d);
        EXPECT_EQ(zrDateWithTimeZoneName(at, zone, 14400, true), d - 1);
        // Fractions of a second do not move an instant past the cut-off.
        EXPECT_EQ(zrDateWithTimeZoneName(at + 0.5, zone, 14400, true), d - 1);
        EXPECT_EQ(zrDateWithTimeZoneName(at - 0.5, zone, 14400, false), d - 1);
    }
}

TEST(DayNumberWithCutoff, MidnightWithoutCutoffBelongsToTheNewDayOnlyAsAStart) {
    const ZRDate d = dayNumber(2024, 7, 10);
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Asia/Kolkata"}) {
        SCOPED_TRACE(zone);
        const Instant midnight = wallTime(zone, 2024, 7, 10);
        EXPECT_EQ(zrDateWithTimeZoneName(midnight, zone, 0, false), d);
        EXPECT_EQ(zrDateWithTimeZoneName(midnight, zone, 0, true), d - 1);
        EXPECT_EQ(zrDateWithTimeZoneName(midnight - 1, zone, 0, false), d - 1);
        EXPECT_EQ(zrDateWithTimeZoneName(midnight + 1, zone, 0, true), d);
        EXPECT_EQ(zrDateInTimeZone(midnight, *zones::named(zone)), d);
        EXPECT_EQ(zrDateInTimeZone(midnight - 1, *zones::named(zone)), d - 1);
    }
}

TEST(DayNumberWithCutoff, CutoffTwentyThreeKeepsTheEveningOnThePreviousDay) {
    const ZRDate d = dayNumber(2024, 12, 24);
    const Instant evening = wallTime("America/New_York", 2024, 12, 24, 22, 59, 59);
    const Instant cutoff = wallTime("America/New_York", 2024, 12, 24, 23);
    EXPECT_EQ(zrDateWithTimeZoneName(evening, "America/New_York", 23 * 3600, false), d - 1);
    EXPECT_EQ(zrDateWithTimeZoneName(cutoff, "America/New_York", 23 * 3600, false), d);
    EXPECT_EQ(zrDateWithTimeZoneName(cutoff, "America/New_York", 23 * 3600, true), d - 1);
    EXPECT_EQ(zrDateWithTimeZoneName(cutoff + 3599, "America/New_York", 23 * 3600, true), d);
}

TEST(DayNumberWithCutoff, FollowsSummerTimeInTheTimingsZone) {
    // 23:30 local on both sides of the change: the offset at the instant decides the day.
    const Instant winter = wallTime("Europe/Berlin", 2024, 3, 30, 23, 30);
    const Instant summer = wallTime("Europe/Berlin", 2024, 3, 31, 23, 30);
    EXPECT_EQ(zrDateWithTimeZoneName(winter, "Europe/Berlin", 0, false), dayNumber(2024, 3, 30));
    EXPECT_EQ(zrDateWithTimeZoneName(summer, "Europe/Berlin", 0, false), dayNumber(2024, 3, 31));
    // Lord Howe moves by half an hour: 00:15 exists on both sides and stays on its own day.
    const Instant lordHowe = wallTime("Australia/Lord_Howe", 2024, 10, 6, 0, 15);
    EXPECT_EQ(zrDateWithTimeZoneName(lordHowe, "Australia/Lord_Howe", 0, false),
              dayNumber(2024, 10, 6));
}

// A day that begins inside a gap of the clocks begins at the end of the gap; an end exactly there
// closes the previous day like any end at a day's beginning.
//
//   New York, cut-off 2:   01:59:59 EST | 03:00:00 EDT = beginning of 10 March 2024
//   Havana, cut-off 0:     23:59:59 CST | 01:00:00 CDT = beginning of 10 March 2024
//   Apia, cut-off 2 or 0:  29 Dec 23:59:59 (-10) | 31 Dec 00:00 (+14) = beginning of 30 December
TEST(DayNumberWithCutoff, AnEndAtADayBeginningInsideAGapClosesThePreviousDay) {
    struct Case {
        const char* zone;
        int32_t cutoff;
        Instant beginning;
        ZRDate day;  // the day that begins there
        ZRDate startDay;
    };
    const Instant apiaJump = wallTime("Pacific/Apia", 2011, 12, 31);
    const ZRDate apia30 = dayNumber(2011, 12, 30);
    for (const Case& c : {
             Case{"America/New_York", 7200, wallTime("America/New_York", 2024, 3, 10, 3),
                  dayNumber(2024, 3, 10), dayNumber(2024, 3, 10)},
             Case{"America/Havana", 0, wallTime("America/Havana", 2024, 3, 10, 1),
                  dayNumber(2024, 3, 10), dayNumber(2024, 3, 10)},
             Case{"Pacific/Apia", 7200, apiaJump, apia30, apia30},
             Case{"Pacific/Apia", 0, apiaJump, apia30, apia30 + 1},  // the 30th is empty
         }) {
        SCOPED_TRACE(c.zone);
        ASSERT_EQ(beginningOfDayForZRDate(c.day, c.zone, c.cutoff), c.beginning);
        EXPECT_EQ(zrDateWithTimeZoneName(c.beginning, c.zone, c.cutoff, true), c.day - 1);
        EXPECT_EQ(zrDateWithTimeZoneName(c.beginning, c.zone, c.cutoff, false), c.startDay);
        EXPECT_EQ(zrDateWithTimeZoneName(c.beginning + 1, c.zone, c.cutoff, true), c.startDay);
        EXPECT_EQ(zrDateWithTimeZoneName(c.beginning - 1, c.zone, c.cutoff, true), c.day - 1);
    }
}

TEST(DayNumberWithCutoff, FixedOffsetMatchesTheNamedFixedZone) {
    const Instant t = wallTime("GMT-0530", 2024, 5, 1, 4, 0, 0);
    for (bool end : {false, true}) {
        for (int32_t cutoff : {0, 14400, 23 * 3600}) {
            EXPECT_EQ(zrDateWithTimeZoneOffset(t, -19800, cutoff, end),
                      zrDateWithTimeZoneName(t, "GMT-0530", cutoff, end));
        }
    }
    EXPECT_EQ(zrDateWithTimeZoneOffset(t, -19800, 14400, false), dayNumber(2024, 5, 1));
    EXPECT_EQ(zrDateWithTimeZoneOffset(t, -19800, 14400, true), dayNumber(2024, 4, 30));
}

TEST(DayNumberWithCutoff, AbsentOrUnplaceableInstantsHaveNoDay) {
    EXPECT_EQ(zrDateWithTimeZoneName(std::nullopt, "Europe/Berlin", 0, false), 0);
    EXPECT_EQ(zrDateWithTimeZoneOffset(std::nullopt, 3600, 14400, true), 0);
    EXPECT_EQ(zrDate(std::nullopt), 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {nan, inf, -inf, 1e300}) {
        EXPECT_EQ(zrDateWithTimeZoneName(bad, "Europe/Berlin", 14400, false), 0);
        EXPECT_EQ(zrDateWithTimeZoneOffset(bad, 0, 0, true), 0);
        EXPECT_EQ(zrDateInTimeZone(bad, *zones::gmt()), 0);
    }
}

TEST(DayNumberWithCutoff, CountsInstantsBefore1970OnTheirOwnDay) {
    // Noon on 31 December 1969 is day -1, not day 0 (which would be 1 January 1970).
    const Instant t = wallTime("GMT", 1969, 12, 31, 12);
    EXPECT_EQ(zrDateWithTimeZoneName(t, "GMT", 0, false), -1);
    EXPECT_EQ(zrDateWithTimeZoneName(t, "GMT", 0, true), -1);
}

TEST(DayNumberWithCutoff, UnknownZoneNamesCountInGmtAndAreReportedOnce) {
    LogCapture log;
    const Instant t = wallTime("GMT", 2024, 3, 3, 23, 30);
    EXPECT_EQ(zrDateWithTimeZoneName(t, "Mars/Olympus_Mons", 0, false), dayNumber(2024, 3, 3));
    EXPECT_EQ(zrDateWithTimeZoneName(t + 3600, "Mars/Olympus_Mons", 0, false),
              dayNumber(2024, 3, 4));
    EXPECT_EQ(zrDateWithTimeZoneName(t, "", 0, false), dayNumber(2024, 3, 3));
    std::size_t mentions = 0;
    for (const auto& record : log.records()) {
        mentions += record.message.find("Mars/Olympus_Mons") != std::string::npos;
    }
    EXPECT_EQ(mentions, 1u);
}

TEST(DayNumber, UsesTheUserZoneAndItsNoons) {
    ScopedUserCalendar calendar("America/New_York", "en_US");
    const Instant lateEvening = wallTime("America/New_York", 2024, 11, 3, 23, 30);
    EXPECT_EQ(zrDate(lateEvening), dayNumber(2024, 11, 3));
    // The day the clocks go back still has its noon at 12:00 local.
    EXPECT_EQ(noonOfDayFromZRDate(dayNumber(2024, 11, 3)),
              wallTime("America/New_York", 2024, 11, 3, 12));
    EXPECT_EQ(noonOfDayFromZRYearMonthDay(20241103), wallTime("America/New_York", 2024, 11, 3, 12));
    EXPECT_EQ(noonFromZRYearMonthDay_usingTimezoneName(20240701, "Asia/Kolkata"),
              wallTime("Asia/Kolkata", 2024, 7, 1, 12));
    EXPECT_EQ(noonFromZRYearMonthDay_usingTimezoneOffset(20240701, 3600),
              wallTime("GMT+0100", 2024, 7, 1, 12));
}

TEST(DayNumber, PlacesATimeOfDayOnAnotherDay) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    const Instant time = wallTime("Europe/Berlin", 2024, 1, 15, 9, 45, 30) + 0.25;
    const Instant day = wallTime("Europe/Berlin", 2024, 7, 2, 23, 10);
    EXPECT_EQ(dateWithYearMonthDayOfNSDate(time, day),
              wallTime("Europe/Berlin", 2024, 7, 2, 9, 45, 30));
    const ZRCalendar newYork = ZRCalendar::defaultGregorian("America/New_York");
    EXPECT_EQ(dateWithYearMonthDayOfZRYearMonthDay(time, 20240310, newYork),
              wallTime("America/New_York", 2024, 3, 10, 3, 45, 30));
    EXPECT_EQ(dateWithYearMonthDayOfZRYearMonthDay(time, 20240310, -1, newYork),
              wallTime("America/New_York", 2024, 3, 9, 3, 45, 30));
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/ScopedUserCalendar.h"

namespace ravelong {
namespace {

using namespace date_additions;
using testing::dayNumber;
using testing::wallTime;

const char* const kZones[] = {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                              "Asia/Kolkata",  "GMT+0100",         "GMT-0930"};

// Berlin, 2024, cut-off 0:
//
//   30 Mar 00:00 CET        31 Mar 00:00 CET        1 Apr 00:00 CEST
//        |------ 24 h ----------|--- 23 h (02:00 skipped) ---|
//   26 Oct 00:00 CEST       27 Oct 00:00 CEST       28 Oct 00:00 CET
//        |------ 24 h ----------|--- 25 h (02:00 twice) -----|
TEST(DayBounds, DaysAcrossSummerTimeChangesLast23And25Hours) {
    const auto hours = [](ZRDate d, const char* zone, int32_t cutoff) {
        return (endOfDayForZRDate(d, zone, cutoff) - beginningOfDayForZRDate(d, zone, cutoff)) /
               3600.0;
    };
    for (int32_t cutoff : {0, 4 * 3600, 23 * 3600}) {
        SCOPED_TRACE(cutoff);
        const int32_t shift = cutoff > 3 * 3600 ? 1 : 0;  // a change before the cut-off hour
                                                          // falls in the day before
        EXPECT_EQ(hours(dayNumber(2024, 3, 31) - shift, "Europe/Berlin", cutoff), 23.0);
        EXPECT_EQ(hours(dayNumber(2024, 3, 30) - shift, "Europe/Berlin", cutoff), 24.0);
        EXPECT_EQ(hours(dayNumber(2024, 10, 27) - shift, "Europe/Berlin", cutoff), 25.0);
        EXPECT_EQ(hours(dayNumber(2024, 3, 10) - shift, "America/New_York", cutoff), 23.0);
        EXPECT_EQ(hours(dayNumber(2024, 11, 3) - shift, "America/New_York", cutoff), 25.0);
        // Lord Howe moves its clocks by half an hour at 02:00.
        EXPECT_EQ(hours(dayNumber(2024, 10, 6) - shift, "Australia/Lord_Howe", cutoff), 23.5);
        EXPECT_EQ(hours(dayNumber(2024, 4, 7) - shift, "Australia/Lord_Howe", cutoff), 24.5);
        EXPECT_EQ(hours(dayNumber(2024, 3, 31), "Asia/Kolkata", cutoff), 24.0);
    }
    EXPECT_EQ(beginningOfDayForZRDate(dayNumber(2024, 3, 31), "Europe/Berlin", 4 * 3600),
              wallTime("Europe/Berlin", 2024, 3, 31, 4));
}

TEST(DayBounds, DaysTileTimeForYearsInEveryZoneAndCutoff) {
    for (const char* zone : kZones) {
        for (int32_t cutoff : {0, 4 * 3600, 23 * 3600}) {
            SCOPED_TRACE(std::string(zone) + " cut-off " + std::to_string(cutoff));
            for (ZRDate d = dayNumber(2021, 1, 1); d < dayNumber(2026, 1, 1); ++d) {
                const Instant beginning = beginningOfDayForZRDate(d, zone, cutoff);
                const Instant end = endOfDayForZRDate(d, zone, cutoff);
                ASSERT_EQ(end, beginningOfDayForZRDate(d + 1, zone, cutoff)) << d;
                ASSERT_GE(end - beginning, 22.5 * 3600) << d;
                ASSERT_LE(end - beginning, 25.0 * 3600) << d;
                // The bounds agree with the day numbers of the instants on either side.
                ASSERT_EQ(zrDateWithTimeZoneName(beginning, zone, cutoff, false), d) << d;
                ASSERT_EQ(zrDateWithTimeZoneName(beginning - 1, zone, cutoff, false), d - 1) << d;
                ASSERT_EQ(zrDateWithTimeZoneName(end, zone, cutoff, true), d) << d;
                ASSERT_EQ(zrDateWithTimeZoneName(end + 1, zone, cutoff, true), d + 1) << d;
            }
        }
    }
}

TEST(DayBounds, CutoffInTheHourTheClocksChangeStaysConsistentWithDayNumbers) {
    // New York's clocks go back at 02:00 to 01:00 on 3 November 2024: with cut-off 1 the day
    // starts at the first 01:00 (EDT), and both readings of 01:30 belong to the new day.
    const ZRDate d = dayNumber(2024, 11, 3);
    const Instant beginning = beginningOfDayForZRDate(d, "America/New_York", 3600);
    EXPECT_EQ(beginning, wallTime("America/New_York", 2024, 11, 3, 1));
    for (bool later : {false, true}) {
        const Instant halfPast = wallTime("America/New_York", 2024, 11, 3, 1, 30, 0, later);
        EXPECT_GE(halfPast, beginning);
        EXPECT_EQ(zrDateWithTimeZoneName(halfPast, "America/New_York", 3600, false), d);
    }
    // Berlin skips 02:00 to 03:00 on 31 March 2024: with cut-off 2 the day starts at the jump.
    EXPECT_EQ(beginningOfDayForZRDate(dayNumber(2024, 3, 31), "Europe/Berlin", 2 * 3600),
              wallTime("Europe/Berlin", 2024, 3, 31, 3));
}

// Days a zone jumped over whole. Apia, cut-off 2:
//
//   29 Dec 02:00 (-10)        29 Dec 24:00 = 31 Dec 00:00 (+14)   31 Dec 02:00 (+14)
//        |-------- 29 Dec: 22 h ---------|------- 30 Dec: 2 h -------|---- 31 Dec ...
//
// With cut-off 0 the 29th keeps its 24 hours and the 30th is empty.
TEST(DayBounds, DaysSkippedWholeEndAtTheJumpAndKeepOnlyTheHoursBeforeTheCutoff) {
    struct Case {
        const char* zone;
        int year, month, day;  // the day skipped
    };
    for (const Case& c :
         {Case{"Pacific/Apia", 2011, 12, 30}, Case{"Pacific/Kiritimati", 1994, 12, 31},
          Case{"Pacific/Kwajalein", 1993, 8, 21}}) {
        SCOPED_TRACE(c.zone);
        const ZRDate skipped = dayNumber(c.year, c.month, c.day);
        const auto length = [&](ZRDate d, int32_t cutoff) {
            return endOfDayForZRDate(d, c.zone, cutoff) -
                   beginningOfDayForZRDate(d, c.zone, cutoff);
        };
        EXPECT_EQ(length(skipped - 1, 7200), 79200.0);
        EXPECT_EQ(length(skipped, 7200), 7200.0);
        EXPECT_EQ(length(skipped + 1, 7200), 86400.0);
        EXPECT_EQ(length(skipped - 1, 0), 86400.0);
        EXPECT_EQ(length(skipped, 0), 0.0);
        // The two hours after the jump lie on the skipped day, as its bounds say.
        const Instant jump = beginningOfDayForZRDate(skipped, c.zone, 7200);
        for (bool end : {false, true}) {
            EXPECT_EQ(zrDateWithTimeZoneName(jump - 1, c.zone, 7200, end), skipped - 1);
            EXPECT_EQ(zrDateWithTimeZoneName(jump + 3600, c.zone, 7200, end), skipped);
            EXPECT_EQ(zrDateWithTimeZoneName(jump + 7199, c.zone, 7200, end), skipped);
        }
        EXPECT_EQ(zrDateWithTimeZoneName(jump + 7200, c.zone, 7200, false), skipped + 1);
    }
}

TEST(DayBoundsWithHourCutoff, FindsTheDayHoldingAnInstant) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    const Instant lateNight = wallTime("Europe/Berlin", 2024, 3, 3, 3, 59, 59);
    const Instant morning = wallTime("Europe/Berlin", 2024, 3, 3, 4);
    EXPECT_EQ(beginningOfDayWithHourCutoff(lateNight, 4), wallTime("Europe/Berlin", 2024, 3, 2, 4));
    EXPECT_EQ(endOfDayWithHourCutoff(lateNight, 4), morning);
    EXPECT_EQ(beginningOfDayWithHourCutoff(morning, 4), morning);
    EXPECT_EQ(endOfDayWithHourCutoff(morning, 4), wallTime("Europe/Berlin", 2024, 3, 4, 4));
    EXPECT_EQ(beginningOfDayWithHourCutoff(morning, 0), wallTime("Europe/Berlin", 2024, 3, 3));
    // In another zone by name or calendar, whatever the user's zone.
    const Instant t = wallTime("America/New_York", 2024, 3, 10, 3, 30);
    EXPECT_EQ(beginningOfDayWithHourCutoff_andTimeZoneName(t, 4, "America/New_York"),
              wallTime("America/New_York", 2024, 3, 9, 4));
    EXPECT_EQ(endOfDayWithHourCutoff_andTimeZoneName(t, 4, "America/New_York"),
              wallTime("America/New_York", 2024, 3, 10, 4));
    EXPECT_EQ(endOfDayWithHourCutoff_andTimeZoneName(t, 4, "America/New_York") -
                  beginningOfDayWithHourCutoff_andTimeZoneName(t, 4, "America/New_York"),
              23 * 3600.0);
    const ZRCalendar kolkata = ZRCalendar::defaultGregorian("Asia/Kolkata");
    EXPECT_EQ(beginningOfDayWithHourCutoff_andCalendar(t, 23, kolkata),
              wallTime("Asia/Kolkata", 2024, 3, 9, 23));
    // Hour cut-offs beyond a day are taken as 23 (or 0), never as a later day.
    EXPECT_EQ(beginningOfDayWithHourCutoff(morning, 30), beginningOfDayWithHourCutoff(morning, 23));
    EXPECT_EQ(beginningOfDayWithHourCutoff(morning, -5), beginningOfDayWithHourCutoff(morning, 0));
    EXPECT_LE(beginningOfDayWithHourCutoff(morning, 30), morning);
}

TEST(DayBoundsWithHourCutoff, AgreeWithTheTimingDayBounds) {
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe"}) {
        for (int hour : {0, 1, 2, 3, 4, 23}) {
            SCOPED_TRACE(std::string(zone) + " " + std::to_string(hour));
            for (ZRDate d = dayNumber(2024, 1, 1); d < dayNumber(2025, 1, 1); ++d) {
                const Instant beginning = beginningOfDayForZRDate(d, zone, hour * 3600);
                ASSERT_EQ(beginningOfDayWithHourCutoff_andTimeZoneName(beginning, hour, zone),
                          beginning);
                ASSERT_EQ(endOfDayWithHourCutoff_andTimeZoneName(beginning, hour, zone),
                          endOfDayForZRDate(d, zone, hour * 3600));
            }
        }
    }
}

TEST(PeriodBeginnings, WeekMonthAndYearStartAtTheCutoffOfTheirFirstDay) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");  // weeks from Monday
    // Monday 4 March 2024, 01:00: with cut-off 4 it still belongs to Sunday, so to the week that
    // began on Monday 26 February at 04:00; without cut-off its week starts that same Monday.
    const Instant mondayNight = wallTime("Europe/Berlin", 2024, 3, 4, 1);
    EXPECT_EQ(beginningOfWeekWithHourCutoff(mondayNight, 4),
              wallTime("Europe/Berlin", 2024, 2, 26, 4));
    EXPECT_EQ(beginningOfWeekWithHourCutoff(mondayNight, 0), wallTime("Europe/Berlin", 2024, 3, 4));
    const Instant firstOfMonthNight = wallTime("Europe/Berlin", 2024, 4, 1, 2);
    EXPECT_EQ(beginningOfMonthWithHourCutoff(firstOfMonthNight, 4),
              wallTime("Europe/Berlin", 2024, 3, 1, 4));
    EXPECT_EQ(beginningOfMonthWithHourCutoff(firstOfMonthNight, 0),
              wallTime("Europe/Berlin", 2024, 4, 1));
    EXPECT_EQ(beginningOfYearWithHourCutoff(wallTime("Europe/Berlin", 2025, 1, 1, 3), 4),
              wallTime("Europe/Berlin", 2024, 1, 1, 4));
    EXPECT_EQ(beginningOfYearWithHourCutoff(wallTime("Europe/Berlin", 2025, 1, 1, 5), 4),
              wallTime("Europe/Berlin", 2025, 1, 1, 4));

    ScopedUserCalendar american("America/New_York", "en_US");  // weeks from Sunday
    EXPECT_EQ(beginningOfWeekWithHourCutoff(wallTime("America/New_York", 2024, 3, 4, 1), 0),
              wallTime("America/New_York", 2024, 3, 3));
}

// A change of the clocks on the first day of a period, within the cut-off hours: the period is
// the one of the instant's own day, counted on the wall clock, not the one of the instant moved
// back by cut-off hours of real time.
//
//   New York, cut-off 4, Sunday 10 March 2024 (02:00 EST -> 03:00 EDT):
//     04:00 EDT   day of 10 March begins, and with it the week (en_US, from Sunday)
//     04:30 EDT   4 real hours earlier is 23:30 EST on Saturday, but today is already Sunday
TEST(PeriodBeginnings, AChangeOfTheClocksInTheCutoffHoursKeepsTodayInItsPeriod) {
    {
        ScopedUserCalendar calendar("America/New_York", "en_US");
        const Instant now = wallTime("America/New_York", 2024, 3, 10, 4, 30);
        EXPECT_EQ(beginningOfWeekWithHourCutoff(now, 4),
                  wallTime("America/New_York", 2024, 3, 10, 4));
        EXPECT_EQ(beginningOfDayWithHourCutoff(now, 4),
                  wallTime("America/New_York", 2024, 3, 10, 4));
    }
    {
        ScopedUserCalendar calendar("Europe/Berlin", "en_US");
        const Instant now = wallTime("Europe/Berlin", 2024, 3, 31, 3, 15);
        EXPECT_EQ(beginningOfWeekWithHourCutoff(now, 3), wallTime("Europe/Berlin", 2024, 3, 31, 3));
    }
    {
        // Lord Howe moves from 02:00 to 02:30 on Sunday 1 October 2023.
        ScopedUserCalendar calendar("Australia/Lord_Howe", "en_AU");
        const Instant now = wallTime("Australia/Lord_Howe", 2023, 10, 1, 3, 10);
        EXPECT_EQ(beginningOfMonthWithHourCutoff(now, 3),
                  wallTime("Australia/Lord_Howe", 2023, 10, 1, 3));
    }
}

TEST(DayBoundsIgnoringCutoff, AreLocalMidnights) {
    ScopedUserCalendar calendar("America/New_York", "en_US");
    const Instant t = wallTime("America/New_York", 2024, 11, 3, 18);
    EXPECT_EQ(beginningOfDayIgnoringZRNewDay(t), wallTime("America/New_York", 2024, 11, 3));
    EXPECT_EQ(endOfDayIgnoringZRNewDay(t), wallTime("America/New_York", 2024, 11, 4));
    const Instant u = wallTime("GMT+0530", 2024, 1, 1, 0, 10);
    EXPECT_EQ(beginningOfDayIgnoringZRNewDayUsingTimezoneOffset(u, 19800),
              wallTime("GMT+0530", 2024, 1, 1));
    EXPECT_EQ(endOfDayIgnoringZRNewDayUsingTimezoneOffset(u, 19800),
              wallTime("GMT+0530", 2024, 1, 2));
    EXPECT_EQ(beginningOfDayIgnoringZRNewDayUsingTimezoneOffset(u, 0),
              wallTime("GMT", 2023, 12, 31));
}

}  // namespace
}  // namespace ravelong

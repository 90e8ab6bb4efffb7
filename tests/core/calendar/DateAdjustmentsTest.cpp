#include <gtest/gtest.h>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/DateAdjustments.h"
#include "core/calendar/DateComponents.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/calendar/TimeZones.h"

namespace ravelong {
namespace {

using namespace date_additions;
using testing::wallTime;

TEST(DateAdjustments, ClearingFieldsKeepsTheSameDayAndHour) {
    ScopedUserCalendar calendar("Asia/Kolkata", "en_US");
    const Instant t = wallTime("Asia/Kolkata", 2024, 6, 5, 14, 37, 21) + 0.75;
    EXPECT_EQ(setMinutesSecondsToZero(t), wallTime("Asia/Kolkata", 2024, 6, 5, 14));
    // Whole minutes from the reference date: Kolkata's half-hour offset does not matter.
    EXPECT_EQ(setSecondsToZero(t), wallTime("Asia/Kolkata", 2024, 6, 5, 14, 37));
    EXPECT_EQ(setSecondsToZero(-30.0), -60.0);
    EXPECT_EQ(setMillisecondsToZero(t), wallTime("Asia/Kolkata", 2024, 6, 5, 14, 37, 21));
    EXPECT_EQ(setToHourOfCurrentDayIgnoringZRNewDay(t, 9), wallTime("Asia/Kolkata", 2024, 6, 5, 9));
    EXPECT_EQ(setToHourOfCurrentDayIgnoringZRNewDay_usingTimeZoneOffset(t, 9, 3600),
              wallTime("GMT+0100", 2024, 6, 5, 9));
    EXPECT_EQ(dateByMovingToNextFullHour(t), wallTime("Asia/Kolkata", 2024, 6, 5, 15));
    EXPECT_EQ(dateByMovingToNextFullHour(wallTime("Asia/Kolkata", 2024, 6, 5, 23, 10)),
              wallTime("Asia/Kolkata", 2024, 6, 6));
}

TEST(DateAdjustments, RepeatedHourKeepsTheReceiversOccurrence) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    // 02:40 happens twice on 27 October 2024; each rounds down within its own hour.
    for (bool later : {false, true}) {
        const Instant t = wallTime("Europe/Berlin", 2024, 10, 27, 2, 40, 0, later);
        const Instant hour = setMinutesSecondsToZero(t);
        EXPECT_EQ(hour, wallTime("Europe/Berlin", 2024, 10, 27, 2, 0, 0, later));
        EXPECT_EQ(t - hour, 2400.0);
    }
}

TEST(DateAdjustments, MiddleOfDayIsTwelveElapsedHoursAfterMidnight) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    const Instant t = wallTime("Europe/Berlin", 2024, 3, 31, 20);
    EXPECT_EQ(setToMiddleOfDay(t), wallTime("Europe/Berlin", 2024, 3, 31, 13));
    EXPECT_EQ(setToMiddleOfDay(wallTime("Europe/Berlin", 2024, 4, 1, 1)),
              wallTime("Europe/Berlin", 2024, 4, 1, 12));
}

TEST(DateAdjustments, AddingDaysKeepsTheWallClockAcrossSummerTime) {
    ScopedUserCalendar calendar("America/New_York", "en_US");
    const Instant t = wallTime("America/New_York", 2024, 3, 9, 9, 15) + 0.5;
    EXPECT_EQ(addNumberOfDays(t, 1), wallTime("America/New_York", 2024, 3, 10, 9, 15) + 0.5);
    EXPECT_EQ(addNumberOfDays(t, 1) - t, 23 * 3600.0);
    EXPECT_EQ(addNumberOfDays(t, -9), wallTime("America/New_York", 2024, 2, 29, 9, 15) + 0.5);
    EXPECT_EQ(addNumberOfHours(t, 24) - t, 24 * 3600.0);
    // 02:30 does not exist on 10 March: the next valid time is 03:00.
    EXPECT_EQ(addNumberOfDays(wallTime("America/New_York", 2024, 3, 9, 2, 30), 1),
              wallTime("America/New_York", 2024, 3, 10, 3));
    const ZRCalendar berlin = ZRCalendar::defaultGregorian("Europe/Berlin");
    EXPECT_EQ(addNumberOfDaysDate(wallTime("Europe/Berlin", 2024, 10, 26, 8), 2, berlin),
              wallTime("Europe/Berlin", 2024, 10, 28, 8));
}

TEST(DateAdjustments, PeriodStartsAreLocalMidnights) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    const Instant t = wallTime("Europe/Berlin", 2024, 1, 17, 15, 45);  // Wednesday
    EXPECT_EQ(cc_dateByMovingToBeginningOfYear(t), wallTime("Europe/Berlin", 2024, 1, 1));
    EXPECT_EQ(cc_dateByMovingToBeginningOfTheFollowingYear(t),
              wallTime("Europe/Berlin", 2025, 1, 1));
    EXPECT_EQ(cc_dateByMovingToBeginningOfThePreviousYear(t),
              wallTime("Europe/Berlin", 2023, 1, 1));
    EXPECT_EQ(cc_dateByMovingToFirstDayOfTheMonth(t), wallTime("Europe/Berlin", 2024, 1, 1));
    EXPECT_EQ(cc_dateByMovingToFirstDayOfThePreviousMonth(t),
              wallTime("Europe/Berlin", 2023, 12, 1));
    EXPECT_EQ(cc_dateByMovingToFirstDayOfTheFollowingMonth(t),
              wallTime("Europe/Berlin", 2024, 2, 1));
    EXPECT_EQ(dateByMovingToFirstDayOfTheNthMonthAfter(t, 14),
              wallTime("Europe/Berlin", 2025, 3, 1));
    EXPECT_EQ(dateByMovingToFirstDayOfTheNthMonthAfter(t, -13),
              wallTime("Europe/Berlin", 2022, 12, 1));
    EXPECT_EQ(cc_dateByMovingToFirstDayOfTheWeek(t), wallTime("Europe/Berlin", 2024, 1, 15));
    ScopedUserCalendar american("Europe/Berlin", "en_US");
    EXPECT_EQ(cc_dateByMovingToFirstDayOfTheWeek(t), wallTime("Europe/Berlin", 2024, 1, 14));
}

TEST(DateComponents, ReadTheLocalFieldsAndTheLocalesWeek) {
    const Instant t = wallTime("Europe/Berlin", 2021, 1, 3, 0, 30);  // Sunday 3 January 2021
    {
        ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
        EXPECT_EQ(cc_componentsForMonthDayAndYear(t), (YearMonthDay{2021, 1, 3}));
        EXPECT_EQ(componentsForMonthDayAndYearInTimeZone(t, *zones::named("America/New_York")),
                  (YearMonthDay{2021, 1, 2}));
        // ISO rules: the days before Monday 4 January are week 53 of 2020.
        EXPECT_EQ(componentsForWeek(t), (WeekComponents{53, 2020, 1}));
        EXPECT_EQ(cc_weekday(t), 7);  // last day of a Monday week
        EXPECT_EQ(cc_weekdayIndependent(t), 1);
        EXPECT_EQ(cc_numberOfDaysInMonth(t), 31);
        EXPECT_EQ(getHourComponentInTimeZone(t, *zones::named("Asia/Kolkata")), 5);
        EXPECT_EQ(getHourComponentUsingCalendar(t, ZRCalendar::zrCalendar()), 0);
    }
    {
        ScopedUserCalendar calendar("Europe/Berlin", "en_US");
        EXPECT_EQ(componentsForWeek(t), (WeekComponents{2, 2021, 1}));
        EXPECT_EQ(cc_weekday(t), 1);
        EXPECT_EQ(cc_weekdayIndependent(t), 1);
    }
}

}  // namespace
}  // namespace ravelong

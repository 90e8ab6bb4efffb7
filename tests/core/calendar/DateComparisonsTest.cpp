#include <gtest/gtest.h>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/DateComparisons.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/calendar/TimeZones.h"

namespace ravelong {
namespace {

using namespace date_additions;
using testing::wallTime;

TEST(DateComparisons, BetweenAndDayIndexIncludeBothEnds) {
    const Instant start = 1000.0;
    EXPECT_TRUE(isBetweenDate_andDate(start, start, start + 10));
    EXPECT_TRUE(isBetweenDate_andDate(start + 10, start, start + 10));
    EXPECT_FALSE(isBetweenDate_andDate(start + 10.5, start, start + 10));
    EXPECT_EQ(isOnDayXBetweenDate_andDate(start - 1, start, start + 864000), -1);
    EXPECT_EQ(isOnDayXBetweenDate_andDate(start, start, start + 864000), 0);
    EXPECT_EQ(isOnDayXBetweenDate_andDate(start + 86399.9, start, start + 864000), 0);
    EXPECT_EQ(isOnDayXBetweenDate_andDate(start + 86400, start, start + 864000), 1);
    EXPECT_EQ(isOnDayXBetweenDate_andDate(start + 864000, start, start + 864000), 10);
    EXPECT_EQ(isOnDayXBetweenDate_andDate(start + 864001, start, start + 864000), -1);
}

// Cut-off 4, Berlin:   2 Mar 04:00 ........ 3 Mar 03:59:59 | 3 Mar 04:00 ........
//                      |------- day of 2 March ----------| |--- day of 3 March ---
TEST(DateComparisons, SameDayUnderTheCutoffIncludesBothBoundaries) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    const Instant evening = wallTime("Europe/Berlin", 2024, 3, 2, 22);
    EXPECT_TRUE(
        isSameDayAs_withHourCutoff(evening, wallTime("Europe/Berlin", 2024, 3, 3, 3, 59), 4));
    EXPECT_TRUE(isSameDayAs_withHourCutoff(evening, wallTime("Europe/Berlin", 2024, 3, 3, 4), 4));
    EXPECT_FALSE(
        isSameDayAs_withHourCutoff(evening, wallTime("Europe/Berlin", 2024, 3, 3, 4, 0, 1), 4));
    EXPECT_FALSE(isSameDayAs_withHourCutoff(evening, wallTime("Europe/Berlin", 2024, 3, 3, 1), 0));
    EXPECT_FALSE(
        isSameDayAs_withHourCutoff(evening, wallTime("Europe/Berlin", 2024, 3, 2, 3, 59), 4));
}

TEST(DateComparisons, SameDayForATimingCountsInTheTimingsZoneAndCutoff) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    // 21:00 and 01:00 the next night in New York, with the timing's cut-off of 2 hours (7200 s,
    // or 7300 s which still counts as 2 whole hours).
    const Instant evening = wallTime("America/New_York", 2024, 6, 1, 21);
    const Instant night = wallTime("America/New_York", 2024, 6, 2, 1);
    EXPECT_TRUE(isSameDayAs_forTiming(evening, night, "America/New_York", 7200));
    EXPECT_TRUE(isSameDayAs_forTiming(evening, night, "America/New_York", 7300));
    EXPECT_FALSE(isSameDayAs_forTiming(evening, night, "America/New_York", 0));
    // With cut-off 5 the pair stays on one day in New York (21:00 and 01:00) but not in Berlin,
    // where the same instants read 03:00 and 07:00.
    EXPECT_TRUE(isSameDayAs_forTiming(evening, night, "America/New_York", 5 * 3600));
    EXPECT_FALSE(isSameDayAs_forTiming(evening, night, "Europe/Berlin", 5 * 3600));
}

TEST(DateComparisons, EarlierPeriodsAreJudgedFromTheOtherInstantsPeriodStart) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    const Instant mondayNight = wallTime("Europe/Berlin", 2024, 4, 1, 2);  // Monday, 1 April
    const Instant sundayEvening = wallTime("Europe/Berlin", 2024, 3, 31, 20);
    EXPECT_FALSE(isOnAnEarlierDayAs_withHourCutoff(sundayEvening, mondayNight, 4));
    EXPECT_TRUE(isOnAnEarlierDayAs_withHourCutoff(sundayEvening, mondayNight, 0));
    EXPECT_FALSE(isInAnEarlierWeekAs_withHourCutoff(sundayEvening, mondayNight, 4));
    EXPECT_TRUE(isInAnEarlierWeekAs_withHourCutoff(sundayEvening, mondayNight, 0));
    EXPECT_FALSE(isInAnEarlierMonthAs_withHourCutoff(sundayEvening, mondayNight, 4));
    EXPECT_TRUE(isInAnEarlierMonthAs_withHourCutoff(sundayEvening, mondayNight, 0));
    EXPECT_FALSE(isInAnEarlierYearAs_withHourCutoff(sundayEvening, mondayNight, 0));
    EXPECT_TRUE(isInAnEarlierYearAs_withHourCutoff(wallTime("Europe/Berlin", 2024, 12, 31, 23),
                                                   wallTime("Europe/Berlin", 2025, 1, 1, 5), 4));
    EXPECT_FALSE(isInAnEarlierYearAs_withHourCutoff(wallTime("Europe/Berlin", 2024, 12, 31, 23),
                                                    wallTime("Europe/Berlin", 2025, 1, 1, 3), 4));
}

TEST(DateComparisons, CalendarLikenessIgnoresTheCutoff) {
    ScopedUserCalendar calendar("America/New_York", "en_US");
    const Instant a = wallTime("America/New_York", 2024, 5, 10, 23, 30);
    EXPECT_EQ(isSameXAs(a, wallTime("America/New_York", 2024, 5, 10, 0, 0)), 3);
    EXPECT_EQ(isSameXAs(a, wallTime("America/New_York", 2024, 5, 11, 0, 0)), 2);
    EXPECT_EQ(isSameXAs(a, wallTime("America/New_York", 2024, 1, 10)), 1);
    EXPECT_EQ(isSameXAs(a, wallTime("America/New_York", 2023, 5, 10)), 0);
    EXPECT_TRUE(isSameMonthAs(a, wallTime("America/New_York", 2024, 5, 1)));
    EXPECT_FALSE(isSameMonthAs(a, wallTime("America/New_York", 2024, 6, 1)));
    EXPECT_TRUE(isSameYearAs(a, wallTime("America/New_York", 2024, 12, 31, 23, 59)));
    // The same pair of instants on one day in New York but on two in Kolkata.
    const Instant b = wallTime("America/New_York", 2024, 5, 10, 9);
    EXPECT_TRUE(isSameDayAsIgnoringZRNewDay_inTimeZone(a, b, *zones::named("America/New_York")));
    EXPECT_FALSE(isSameDayAsIgnoringZRNewDay_inTimeZone(a, b, *zones::named("Asia/Kolkata")));
}

TEST(DateComparisons, DaysWithinEraCountCalendarDaysInTheCalendarsZone) {
    const ZRCalendar newYork = ZRCalendar::defaultGregorian("America/New_York");
    const Instant a = wallTime("America/New_York", 2024, 3, 9, 23, 50);
    const Instant b = wallTime("America/New_York", 2024, 3, 11, 0, 10);  // 23h20m later
    EXPECT_EQ(daysWithinEraFromDate_toDate_usingCalendar(a, b, newYork), 2);
    EXPECT_EQ(daysWithinEraFromDate_toDate_usingCalendar(b, a, newYork), -2);
    EXPECT_EQ(daysWithinEraFromDate_toDate_usingCalendar(std::nullopt, b, newYork), 0);
    EXPECT_EQ(daysWithinEraFromDate_toDate_usingCalendar(a, std::nullopt, newYork), 0);
}

}  // namespace
}  // namespace ravelong

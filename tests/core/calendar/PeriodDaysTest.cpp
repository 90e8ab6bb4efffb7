#include <gtest/gtest.h>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/PeriodDays.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "support/SettableClock.h"

namespace ravelong {
namespace {

using namespace date_additions;
using testing::dayNumber;
using testing::wallTime;

class PeriodDays : public ::testing::Test {
protected:
    void setNow(const char* zone, int year, int month, int day, int hour, int minute = 0) {
        clock_.set(wallTime(zone, year, month, day, hour, minute));
    }

    SettableClock clock_;
    ScopedClock scopedClock_{clock_};
};

TEST_F(PeriodDays, TodayWaitsForTheCutoffHour) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    setNow("Europe/Berlin", 2024, 3, 15, 2, 30);
    EXPECT_EQ(zrDateTodayWithHourCutoff(4), dayNumber(2024, 3, 14));
    EXPECT_EQ(zrDateTodayWithHourCutoff(0), dayNumber(2024, 3, 15));
    setNow("Europe/Berlin", 2024, 3, 15, 4);
    EXPECT_EQ(zrDateTodayWithHourCutoff(4), dayNumber(2024, 3, 15));
    setNow("Europe/Berlin", 2024, 3, 15, 23);
    EXPECT_EQ(zrDateTodayWithHourCutoff(23), dayNumber(2024, 3, 15));
    setNow("Europe/Berlin", 2024, 3, 15, 22, 59);
    EXPECT_EQ(zrDateTodayWithHourCutoff(23), dayNumber(2024, 3, 14));
}

TEST_F(PeriodDays, WeeksStartOnTheLocalesFirstWeekday) {
    // Wednesday 13 March 2024.
    setNow("America/New_York", 2024, 3, 13, 12);
    {
        ScopedUserCalendar calendar("America/New_York", "en_US");
        EXPECT_EQ(zrDateFirstDayOfCurrentWeekWithHourCutoff(0), dayNumber(2024, 3, 10));  // Sunday
        EXPECT_EQ(zrDateFirstDayOfWeekWithZRDate(dayNumber(2024, 3, 16)), dayNumber(2024, 3, 10));
    }
    for (const char* locale : {"en_GB", "de_DE"}) {
        ScopedUserCalendar calendar("America/New_York", locale);
        EXPECT_EQ(zrDateFirstDayOfCurrentWeekWithHourCutoff(0), dayNumber(2024, 3, 11)) << locale;
        EXPECT_EQ(zrDateFirstDayOfWeekWithZRDate(dayNumber(2024, 3, 17)), dayNumber(2024, 3, 11));
        EXPECT_EQ(zrDateFirstDayOfWeekWithZRDate(dayNumber(2024, 3, 18)), dayNumber(2024, 3, 18));
    }
}

// Today under the cut-off decides the week, month and year, also in the cut-off hours of a day
// that changes the clocks (see PeriodBeginnings for the instants).
TEST_F(PeriodDays, AChangeOfTheClocksInTheCutoffHoursKeepsTodayInItsPeriods) {
    const auto check = [&](const char* zone, const char* locale, int cutoff, Instant now,
                           ZRDate today, StandardPeriod period, ZRDate first, ZRDate last) {
        SCOPED_TRACE(zone);
        ScopedUserCalendar calendar(zone, locale);
        clock_.set(now);
        EXPECT_EQ(zrDateTodayWithHourCutoff(cutoff), today);
        const ZRDateRange range = standardPeriodDays(period, cutoff);
        EXPECT_EQ(range, (ZRDateRange{first, last}));
        EXPECT_LE(range.first, today);
        EXPECT_GE(range.last, today);
        EXPECT_EQ(period == StandardPeriod::thisWeek
                      ? zrDateFirstDayOfCurrentWeekWithHourCutoff(cutoff)
                      : zrDateFirstDayOfCurrentMonthWithHourCutoff(cutoff),
                  first);
    };
    check("America/New_York", "en_US", 4, wallTime("America/New_York", 2024, 3, 10, 4, 30),
          dayNumber(2024, 3, 10), StandardPeriod::thisWeek, dayNumber(2024, 3, 10),
          dayNumber(2024, 3, 16));
    check("Europe/Berlin", "en_US", 3, wallTime("Europe/Berlin", 2024, 3, 31, 3, 15),
          dayNumber(2024, 3, 31), StandardPeriod::thisWeek, dayNumber(2024, 3, 31),
          dayNumber(2024, 4, 6));
    check("Australia/Lord_Howe", "en_AU", 3, wallTime("Australia/Lord_Howe", 2023, 10, 1, 3, 10),
          dayNumber(2023, 10, 1), StandardPeriod::thisMonth, dayNumber(2023, 10, 1),
          dayNumber(2023, 10, 31));
}

TEST_F(PeriodDays, MondayNightBeforeTheCutoffStillBelongsToTheWeekBefore) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    setNow("Europe/Berlin", 2024, 3, 4, 1);  // Monday
    EXPECT_EQ(zrDateFirstDayOfCurrentWeekWithHourCutoff(4), dayNumber(2024, 2, 26));
    EXPECT_EQ(zrDateFirstDayOfCurrentWeekWithHourCutoff(0), dayNumber(2024, 3, 4));
    EXPECT_EQ(standardPeriodDays(StandardPeriod::thisWeek, 4),
              (ZRDateRange{dayNumber(2024, 2, 26), dayNumber(2024, 3, 3)}));
}

TEST_F(PeriodDays, MonthsAndYearsFollowTheShiftedNow) {
    ScopedUserCalendar calendar("Asia/Kolkata", "en_GB");
    setNow("Asia/Kolkata", 2025, 1, 1, 3);  // before a cut-off of 4: still 2024
    EXPECT_EQ(zrDateFirstDayOfCurrentMonthWithHourCutoff(4), dayNumber(2024, 12, 1));
    EXPECT_EQ(zrDateFirstDayOfCurrentYearWithHourCutoff(4), dayNumber(2024, 1, 1));
    EXPECT_EQ(zrDateLastDayOfCurrentYearWithHourCutoff(4), dayNumber(2024, 12, 31));
    EXPECT_EQ(numberOfDaysInCurrentMonthWithHourCutoff(4), 31);
    EXPECT_EQ(zrDateFirstDayOfCurrentYearWithHourCutoff(0), dayNumber(2025, 1, 1));
    setNow("Asia/Kolkata", 2024, 2, 10, 12);
    EXPECT_EQ(numberOfDaysInCurrentMonthWithHourCutoff(0), 29);
    EXPECT_EQ(standardPeriodDays(StandardPeriod::thisMonth, 0),
              (ZRDateRange{dayNumber(2024, 2, 1), dayNumber(2024, 2, 29)}));
    EXPECT_EQ(standardPeriodDays(StandardPeriod::thisYear, 0),
              (ZRDateRange{dayNumber(2024, 1, 1), dayNumber(2024, 12, 31)}));
    EXPECT_EQ(standardPeriodDays(StandardPeriod::today, 0),
              (ZRDateRange{dayNumber(2024, 2, 10), dayNumber(2024, 2, 10)}));
}

TEST_F(PeriodDays, PeriodsOfAGivenDayNeedNoCutoff) {
    ScopedUserCalendar calendar("Australia/Lord_Howe", "en_US");
    const ZRDate d = dayNumber(2100, 2, 15);
    EXPECT_EQ(zrDateFirstDayOfMonthWithZRDate(d), dayNumber(2100, 2, 1));
    EXPECT_EQ(numberOfDaysInMonthWithZRDate(d), 28);
    EXPECT_EQ(zrDateFirstDayOfYearWithZRDate(d), dayNumber(2100, 1, 1));
    EXPECT_EQ(zrDateLastDayOfYearWithZRDate(d), dayNumber(2100, 12, 31));
}

TEST_F(PeriodDays, StandardPeriodsTakeTheCutoffFromTheInstalledSource) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    setNow("Europe/Berlin", 2024, 3, 15, 2);
    EXPECT_EQ(standardPeriodDays(StandardPeriod::today).first, dayNumber(2024, 3, 15));
    new_day_hour::setProvider([] { return 4; });
    EXPECT_EQ(standardPeriodDays(StandardPeriod::today).first, dayNumber(2024, 3, 14));
    new_day_hour::setProvider([] { return 99; });  // a corrupt preference counts as 23
    EXPECT_EQ(new_day_hour::current(), 23);
    new_day_hour::setProvider(nullptr);
    EXPECT_EQ(new_day_hour::current(), 0);
}

}  // namespace
}  // namespace ravelong

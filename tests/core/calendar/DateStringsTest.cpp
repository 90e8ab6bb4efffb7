#include <gtest/gtest.h>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/DayHeadings.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/calendar/TimeStrings.h"
#include "core/calendar/TimeZones.h"
#include "core/calendar/WeekdayNames.h"
#include "support/SettableClock.h"

namespace ravelong {
namespace {

using namespace date_additions;
using namespace zr_calendar;
using testing::dayNumber;
using testing::wallTime;

// Friday 15 March 2024 as "now", in the user's zone.
class DayHeadings : public ::testing::Test {
protected:
    void setNow(const char* zone, int hour) { clock_.set(wallTime(zone, 2024, 3, 15, hour)); }

    SettableClock clock_;
    ScopedClock scopedClock_{clock_};
};

TEST_F(DayHeadings, EnglishUsesWordsNearTodayAndDatesWithoutTheYearFurtherOut) {
    ScopedUserCalendar calendar("America/New_York", "en_US");
    setNow("America/New_York", 12);
    const ZRDate today = dayNumber(2024, 3, 15);
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today, 0), "Today");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today - 1, 0), "Yesterday");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today + 1, 0), "Tomorrow");
    // English has no word for two days ago.
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today - 2, 0), "Wednesday, March 13");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today - 30, 0), "Wednesday, February 14");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(dayNumber(2023, 12, 31), 0),
              "December 31, 2023");
    EXPECT_EQ(getSpecialMediumDateStringOfZRDate_withHourCutoff(today - 30, 0), "Wed, Feb 14");
    EXPECT_EQ(getSpecialMediumDateStringOfZRDate_withHourCutoff(dayNumber(2023, 12, 31), 0),
              "Dec 31, 2023");
    EXPECT_EQ(getSpecialShortDateStringOfZRDate_withHourCutoff(today - 30, 0), "Wed, 2/14");
    EXPECT_EQ(getSpecialShortDateStringOfZRDate_withHourCutoff(dayNumber(2023, 12, 31), 0),
              "12/31/23");
}

TEST_F(DayHeadings, GermanHasWordsTwoDaysEachWay) {
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    setNow("Europe/Berlin", 12);
    const ZRDate today = dayNumber(2024, 3, 15);
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today - 2, 0), "Vorgestern");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today - 1, 0), "Gestern");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today, 0), "Heute");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today + 2, 0), "Übermorgen");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(today - 3, 0), "Dienstag, 12. März");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(dayNumber(2025, 1, 2), 0),
              "2. Januar 2025");
    EXPECT_EQ(getSpecialMediumDateStringOfZRDate_withHourCutoff(today - 3, 0), "Di., 12. März");
    EXPECT_EQ(getSpecialShortDateStringOfZRDate_withHourCutoff(today - 3, 0), "Di., 12.3.");
}

TEST_F(DayHeadings, BeforeTheCutoffHourDaysAreNamedByDate) {
    ScopedUserCalendar calendar("Europe/Berlin", "en_GB");
    setNow("Europe/Berlin", 2);
    // With cut-off 4 the user's day is still Thursday the 14th.
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(dayNumber(2024, 3, 14), 4),
              "Thursday, 14 March");
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(dayNumber(2024, 3, 14), 0), "Yesterday");
    setNow("Europe/Berlin", 4);
    EXPECT_EQ(getSpecialDateStringOfZRDate_withHourCutoff(dayNumber(2024, 3, 15), 4), "Today");
}

TEST(TimeStrings, AreTwentyFourHourInTheZoneAsked) {
    ScopedUserCalendar calendar("America/New_York", "en_US");
    const Instant t = wallTime("America/New_York", 2024, 7, 4, 17, 5, 9);
    EXPECT_EQ(getTimeStringHoursAndMinutesInCurrentLocaleAndTimezone(t), "17:05");
    EXPECT_EQ(getTimeStringHoursAndMinutesInTimeZone(t, *zones::named("Asia/Kolkata")), "02:35");
    EXPECT_EQ(getTimeStringHoursAndMinutesAndSecondsInTimeZone(t, *zones::named("GMT+0100")),
              "22:05:09");
}

TEST(TimeStrings, TwentyFourHourClockFollowsTheLocale) {
    {
        ScopedUserCalendar calendar("Europe/Berlin", "en_US");
        EXPECT_FALSE(timeIs24HourFormat());
    }
    for (const char* locale : {"de_DE", "en_GB"}) {
        ScopedUserCalendar calendar("Europe/Berlin", locale);
        EXPECT_TRUE(timeIs24HourFormat()) << locale;
    }
}

TEST(TimeStrings, AmPmMarkersAreRewrittenWhereTheyStandAlone) {
    const std::string nnbsp = "\u202F";
    {
        ScopedUserCalendar calendar("Europe/London", "en_GB");
        EXPECT_EQ(convertDateTimeStringToAMPMFormatSetInSystemPrefs("3:05" + nnbsp + "PM"),
                  "3:05" + nnbsp + "pm");
        EXPECT_EQ(convertDateTimeStringToAMPMFormatSetInSystemPrefs("9:00 a.m. - 5:00 P.M."),
                  "9:00 am - 5:00 pm");
    }
    {
        ScopedUserCalendar calendar("America/Toronto", "en_CA");
        EXPECT_EQ(convertDateTimeStringToAMPMFormatSetInSystemPrefs("11:59" + nnbsp + "am"),
                  "11:59" + nnbsp + "a.m.");
    }
    EXPECT_EQ(convertDateTimeStringToCapitalLetterAMPMFormet("7:30pm, 8:00" + nnbsp + "a.m."),
              "7:30PM, 8:00" + nnbsp + "AM");
    // Parts of words are not markers.
    EXPECT_EQ(convertDateTimeStringToCapitalLetterAMPMFormet("Samstag 10:00 am"),
              "Samstag 10:00 AM");
    EXPECT_EQ(convertDateTimeStringToCapitalLetterAMPMFormet("AMD pmx ampm"), "AMD pmx ampm");
    EXPECT_EQ(convertDateTimeStringToCapitalLetterAMPMFormet(""), "");
}

TEST(WeekdayNames, EnglishNamesAndLocalizedSymbols) {
    EXPECT_EQ(getEnglishWeekdayStringFromInteger(1), "Sunday");
    EXPECT_EQ(getEnglishWeekdayStringFromInteger(7), "Saturday");
    EXPECT_EQ(getEnglishWeekdayStringFromInteger(0), "");
    EXPECT_EQ(getEnglishWeekdayStringFromInteger(8), "");
    ScopedUserCalendar calendar("Europe/Berlin", "de_DE");
    EXPECT_EQ(getEnglishWeekdayStringFromInteger(2), "Monday");
    EXPECT_EQ(fullLocalizedWeekdayStringForWeekday(2), "Montag");
    EXPECT_EQ(shortLocalizedWeekdayStringForWeekday(2), "Mo.");
    EXPECT_EQ(veryShortLocalizedWeekdayStringForWeekday(2), "M");
    EXPECT_EQ(fullLocalizedWeekdayStringForWeekday(1), "Sonntag");
    for (int bad : {0, 8, -1}) {
        EXPECT_EQ(fullLocalizedWeekdayStringForWeekday(bad), "");
        EXPECT_EQ(veryShortLocalizedWeekdayStringForWeekday(bad), "");
    }
}

}  // namespace
}  // namespace ravelong

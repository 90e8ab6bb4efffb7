#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "stats/DateRangeChooser.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using stats_testing::StatsWorld;
using Click = DateRangeChooser::DayClick;
constexpr unsigned kShift = DateRangeChooser::kShiftKey;
constexpr unsigned kControl = DateRangeChooser::kControlKey;
constexpr unsigned kOption = DateRangeChooser::kOptionKey;
constexpr unsigned kCommand = DateRangeChooser::kCommandKey;

class DateRangeChooserTest : public StatsWorld {
protected:
    DateRangeChooserTest() { EXPECT_TRUE(chooser.setOfferedDays(20220301, 20240313)); }
    void range(std::int64_t start, std::int64_t end) {
        ZRUserDefaults2::setGeneralStartAndEndDate(start, end);
    }
    std::pair<std::int64_t, std::int64_t> range() const {
        return {ZRUserDefaults2::generalStartDate(), ZRUserDefaults2::generalEndDate()};
    }
    DateRangeChooser chooser;
};

struct DayClickCase {
    std::int64_t start, end;  // the range before
    ZRYearMonthDay day;
    unsigned keys;
    Click result;
    std::int64_t newStart, newEnd;
};

//            20231228 .. 20231231 (the range before)
//   20231201 |                   | 20240102
//   <- shift: new start          shift: new end ->
TEST_F(DateRangeChooserTest, DayClicksChooseOrExtendTheRangeOverTheYearEnd) {
    const std::vector<DayClickCase> cases = {
        {20231228, 20231231, 20240102, 0, Click::rangeChanged, 20240102, 20240102},
        {20231228, 20231231, 20240102, kShift, Click::rangeChanged, 20231228, 20240102},
        {20231228, 20231231, 20231201, kShift, Click::rangeChanged, 20231201, 20231231},
        {20231228, 20231231, 20231228, kShift, Click::rangeChanged, 20231228, 20231228},
        {20231228, 20231231, 20231227, kShift, Click::rangeChanged, 20231227, 20231231},
        {20231228, 20231231, 20231229, kOption, Click::rangeChanged, 20231228, 20231229},
        {20231228, 20231231, 20231101, kCommand, Click::rangeChanged, 20231101, 20231231},
        {20231228, 20231231, 20240105, kShift | kOption, Click::rangeChanged, 20240105, 20240105},
        {20231228, 20231231, 20240105, kControl, Click::showDayInformation, 20231228, 20231231},
        {20231228, 20231231, 20240105, kShift | kControl, Click::rangeChanged, 20240105, 20240105},
        {0, 99999999, 20230615, kShift, Click::rangeChanged, 0, 20230615},
        {20231228, 20231231, 20240314, 0, Click::ignored, 20231228, 20231231},  // after offered
        {20231228, 20231231, 20220228, 0, Click::ignored, 20231228, 20231231},  // before
        {20231228, 20231231, 20230229, 0, Click::ignored, 20231228, 20231231},  // no such day
        {20231228, 20231231, 20240229, 0, Click::rangeChanged, 20240229, 20240229},
    };
    for (const DayClickCase& c : cases) {
        range(c.start, c.end);
        ZRUserDefaults2::setTimeIntervalDuration(2);
        const Click result = chooser.clickDay(c.day, c.keys, false);
        EXPECT_EQ(result, c.result) << c.day << " keys " << c.keys;
        EXPECT_EQ(range(), std::make_pair(c.newStart, c.newEnd)) << c.day << " keys " << c.keys;
        if (result == Click::rangeChanged) {
            EXPECT_EQ(ZRUserDefaults2::timeIntervalDuration(), 1);
            EXPECT_EQ(ZRUserDefaults2::customStartDate(), c.newStart);
            EXPECT_EQ(ZRUserDefaults2::customEndDate(), c.newEnd);
        } else {
            EXPECT_EQ(ZRUserDefaults2::timeIntervalDuration(), 2);
        }
    }
}

TEST_F(DateRangeChooserTest, HiddenDataDisplayShowsTheTasksOfADayWithTasksOnly) {
    defaults.setBool(kZRDataDisplayHidden, true);
    range(20240101, 20240105);
    EXPECT_EQ(chooser.clickDay(20240110, 0, true), Click::showDayTasks);
    EXPECT_EQ(range(), std::make_pair(std::int64_t{20240101}, std::int64_t{20240105}));
    EXPECT_EQ(chooser.clickDay(20240110, 0, false), Click::rangeChanged);
    EXPECT_EQ(range(), std::make_pair(std::int64_t{20240110}, std::int64_t{20240110}));
}

struct SpanCase {
    bool year;  // else a month
    int yearValue, month;
    bool shift;
    std::int64_t start, end;  // the range before
    bool accepted;
    std::int64_t newStart, newEnd;
};

TEST_F(DateRangeChooserTest, MonthAndYearLabelsChooseWholeSpansClippedToTheOfferedDays) {
    const std::vector<SpanCase> cases = {
        {false, 2023, 12, false, 20240101, 20240105, true, 20231201, 20231231},
        {false, 2024, 2, false, 20240101, 20240105, true, 20240201, 20240229},
        {false, 2024, 3, false, 20240101, 20240105, true, 20240301, 20240313},  // clipped
        {false, 2022, 3, false, 20240101, 20240105, true, 20220301, 20220331},
        {false, 2022, 2, false, 20240101, 20240105, false, 20240101, 20240105},
        {false, 2024, 4, false, 20240101, 20240105, false, 20240101, 20240105},
        {false, 2024, 13, false, 20240101, 20240105, false, 20240101, 20240105},
        {false, 2023, 11, true, 20240101, 20240105, true, 20231101, 20240105},
        {false, 2024, 2, true, 20231215, 20240105, true, 20231215, 20240229},
        {true, 2023, 0, false, 20240101, 20240105, true, 20230101, 20231231},
        {true, 2022, 0, false, 20240101, 20240105, true, 20220301, 20221231},
        {true, 2024, 0, false, 20230101, 20230105, true, 20240101, 20240313},
        {true, 2022, 0, true, 20230601, 20230605, true, 20220301, 20230605},
        {true, 2024, 0, true, 20230601, 20230605, true, 20230601, 20240313},
        {true, 2021, 0, false, 20230601, 20230605, false, 20230601, 20230605},
    };
    for (const SpanCase& c : cases) {
        range(c.start, c.end);
        const bool accepted = c.year ? chooser.clickYear(c.yearValue, c.shift)
                                     : chooser.clickMonth(c.yearValue, c.month, c.shift);
        EXPECT_EQ(accepted, c.accepted) << c.yearValue << "-" << c.month << " shift " << c.shift;
        EXPECT_EQ(range(), std::make_pair(c.newStart, c.newEnd))
            << c.yearValue << "-" << c.month << " shift " << c.shift;
    }
}

TEST_F(DateRangeChooserTest, IntervalSegmentsRestoreTheCustomRangeOrSelectEverything) {
    chooser.clickDay(20240105, 0, false);
    chooser.clickDay(20240110, kShift, false);
    ASSERT_TRUE(chooser.timeIntervalDurationSelected(2));
    EXPECT_EQ(ZRUserDefaults2::timeIntervalDuration(), 2);
    EXPECT_EQ(range(), std::make_pair(std::int64_t{0}, std::int64_t{99999999}));
    ASSERT_TRUE(chooser.timeIntervalDurationSelected(1));
    EXPECT_EQ(ZRUserDefaults2::timeIntervalDuration(), 1);
    EXPECT_EQ(range(), std::make_pair(std::int64_t{20240105}, std::int64_t{20240110}));
    ASSERT_TRUE(chooser.timeIntervalDurationSelected(0));
    EXPECT_EQ(ZRUserDefaults2::timeIntervalDuration(), 20240313);
    EXPECT_EQ(range(), std::make_pair(std::int64_t{20240105}, std::int64_t{20240110}));
    EXPECT_FALSE(chooser.timeIntervalDurationSelected(3));
    EXPECT_EQ(ZRUserDefaults2::timeIntervalDuration(), 20240313);
}

TEST_F(DateRangeChooserTest, OfferedDaysMustBeRealAndInOrder) {
    EXPECT_FALSE(chooser.setOfferedDays(20240101, 20231231));
    EXPECT_FALSE(chooser.setOfferedDays(20230230, 20240101));
    EXPECT_EQ(chooser.firstOfferedDay(), 20220301);
    EXPECT_EQ(chooser.lastOfferedDay(), 20240313);
}

TEST_F(DateRangeChooserTest, WithoutBoundsDaysUpToTodayUnderTheCutOffAreOffered) {
    DateRangeChooser fresh;
    clock.set(berlinTime(2024, 1, 1, 2, 30));
    cutoff = 4;  // still 31 December
    EXPECT_EQ(fresh.clickDay(20240101, 0, false), Click::ignored);
    EXPECT_EQ(fresh.clickDay(20231231, 0, false), Click::rangeChanged);
    EXPECT_FALSE(fresh.clickYear(2024, false));
    cutoff = 0;
    EXPECT_EQ(fresh.clickDay(20240101, 0, false), Click::rangeChanged);
    EXPECT_EQ(fresh.clickDay(20001231, 0, false), Click::ignored);
    EXPECT_EQ(fresh.clickDay(20010101, 0, false), Click::rangeChanged);
}

struct PresetCase {
    DateRangeChooser::Preset preset;
    std::int64_t start, end;
};

// At 02:30 on Monday 1 January 2024: with a cut-off at 4 it is still Sunday 31 December 2023,
// so every preset falls into the old year; at midnight the new year has begun.
TEST_F(DateRangeChooserTest, PresetsFollowTheCutOffOverTheYearEnd) {
    using P = DateRangeChooser::Preset;
    clock.set(berlinTime(2024, 1, 1, 2, 30));
    chooser.setOfferedDays(20200101, 20240101);
    const std::vector<PresetCase> withCutoff = {
        {P::today, 20231231, 20231231},     {P::yesterday, 20231230, 20231230},
        {P::thisWeek, 20231225, 20231231},  {P::lastWeek, 20231218, 20231224},
        {P::thisMonth, 20231201, 20231231}, {P::lastMonth, 20231101, 20231130},
        {P::thisYear, 20230101, 20231231},  {P::lastYear, 20220101, 20221231},
        {P::last7Days, 20231225, 20231231}, {P::last30Days, 20231202, 20231231},
    };
    const std::vector<PresetCase> atMidnight = {
        {P::today, 20240101, 20240101},     {P::yesterday, 20231231, 20231231},
        {P::thisWeek, 20240101, 20240107},  {P::lastWeek, 20231225, 20231231},
        {P::thisMonth, 20240101, 20240131}, {P::lastMonth, 20231201, 20231231},
        {P::thisYear, 20240101, 20241231},  {P::lastYear, 20230101, 20231231},
        {P::last7Days, 20231226, 20240101}, {P::last30Days, 20231203, 20240101},
    };
    for (const auto& [hour, cases] : {std::pair{4, withCutoff}, std::pair{0, atMidnight}}) {
        cutoff = hour;
        for (const PresetCase& c : cases) {
            chooser.selectPreset(c.preset);
            EXPECT_EQ(range(), std::make_pair(c.start, c.end))
                << "preset " << static_cast<int>(c.preset) << " cut-off " << hour;
            EXPECT_EQ(ZRUserDefaults2::timeIntervalDuration(), 1);
            const bool today = c.preset != P::yesterday && c.preset != P::lastWeek &&
                               c.preset != P::lastMonth && c.preset != P::lastYear;
            EXPECT_EQ(ZRUserDefaults2::todayIsWithinSelectedTimeInterval(), today)
                << "preset " << static_cast<int>(c.preset) << " cut-off " << hour;
        }
    }
}

}  // namespace
}  // namespace ravelong

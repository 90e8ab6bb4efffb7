#include <gmock/gmock.h>

#include <thread>

#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/ZRCalendar.h"
#include "core/totals/TaskRounding.h"
#include "stats/BackgroundComputation.h"
#include "stats/ChartData.h"
#include "stats/ChartDataSource.h"
#include "stats/ChartFormatters.h"
#include "stats/ChartRequestBuilder.h"
#include "stats/ChartTexts.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using namespace stats_testing;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr double kHour = 3600.0;

class ChartData : public StatsWorld {
protected:
    ChartData() {
        ZRUserDefaults2::setSelectionState(2);
        ZRUserDefaults2::setShowTasks(2);
    }
    void check(std::initializer_list<const char*> names) {
        for (const char* name : names)
            tasks.at(name)->setTaskIsSelected(true);
        settle();
    }
    // The range as the calendar stores it: calendar days.
    void range(ZRDate start, ZRDate end) {
        ZRUserDefaults2::setGeneralStartAndEndDate(date_additions::zrYearMonthDayFromZRDate(start),
                                                   date_additions::zrYearMonthDayFromZRDate(end));
    }
    // A timing of `hours` from a local wall-clock time in Berlin.
    void hours(const std::string& task, int y, int mo, int d, int h, double length) {
        const Instant start = berlinTime(y, mo, d, h);
        timing(task, start, start + length * kHour);
    }

    ChartRequest request(ChartKind kind) {
        return buildChartRequest(kind, *context, defaults, roundingEnabled);
    }
    template <class T, class F>
    T compute(ChartKind kind, F&& f) {
        settle();
        const ChartRequest made = request(kind);
        std::atomic<bool> cancelled{false};
        std::optional<Result<T>> result;
        EXPECT_TRUE(connection()->read([&](BackgroundReader& reader) {
            result.emplace(f(reader, made, cancelled));
            return Status::success();
        }));
        EXPECT_TRUE(result && result->ok())
            << (result && !result->ok() ? result->error().description : "");
        return result && result->ok() ? std::move(result->value()) : T{};
    }
    PieChartData pie() { return compute<PieChartData>(ChartKind::pie, computePieChartData); }
    BarChartData bar() { return compute<BarChartData>(ChartKind::bar, computeBarChartData); }
    LineChartData line() { return compute<LineChartData>(ChartKind::line, computeLineChartData); }

    bool roundingEnabled = false;
};

std::vector<std::string> uuidsOf(const PieChartData& data) {
    std::vector<std::string> result;
    for (const PieSlice& slice : data.slices)
        result.push_back(slice.uuid);
    return result;
}

TEST_F(ChartData, PieSlicesAreLargestFirstWithMarkedSmallSlicesAndTheViewOptionsValueText) {
    tree("A B C D");
    check({"A", "B", "C", "D"});
    range(dayNumber(2024, 3, 1), dayNumber(2024, 3, 31));
    // 10 h in all: B has 6 % of it, C 6.1 %.
    hours("A", 2024, 3, 4, 9, 6.0);   // 6 h
    hours("B", 2024, 3, 5, 9, 0.6);   // 0.6 h of 10 h = 6 %
    hours("C", 2024, 3, 6, 9, 0.61);  // 6.1 %
    hours("D", 2024, 3, 7, 9, 2.79);  // the rest of 10 h
    hours("D", 2024, 2, 29, 9, 5.0);  // outside the range
    const PieChartData data = pie();
    ASSERT_EQ(data.slices.size(), 4u);
    EXPECT_THAT(uuidsOf(data), ElementsAre(*tasks["A"]->uuid(), *tasks["D"]->uuid(),
                                           *tasks["C"]->uuid(), *tasks["B"]->uuid()));
    EXPECT_NEAR(data.total, 10.0 * kHour, 1.0);
    EXPECT_EQ(data.slices[2].label.rfind(kSmallSliceMarker, 0), std::string::npos) << "6.1 %";
    EXPECT_EQ(data.slices[3].label.rfind(kSmallSliceMarker, 0), 0u) << "6 %";
    EXPECT_EQ(data.slices[0].label, "A, 6h 0m");

    defaults.setInteger(kZRPieChartViewOption, 2);
    hours("A", 2024, 3, 8, 9, 1.5);  // A 7.5 h of 15 h
    hours("D", 2024, 3, 9, 9, 3.5);  // D 6.29 h of 15 h
    const PieChartData shares = pie();
    EXPECT_EQ(shares.slices[0].label, "A, 50.0%");
    EXPECT_EQ(shares.slices[1].label, "D, 41.9%");
}

TEST_F(ChartData, PieSkipsTasksWithoutTimeAndReadsChildrenUnderTheArchiveFilter) {
    tree("A A1<A A2<A A2a<A2 B");
    tasks["A2"]->setIsArchived(true);
    check({"A", "B"});
    range(dayNumber(2024, 1, 1), dayNumber(2024, 12, 31));
    hours("A1", 2024, 3, 4, 9, 1.0);
    hours("A2a", 2024, 3, 4, 11, 2.0);  // under the archived child
    hours("A", 2024, 3, 4, 14, 4.0);    // a parent's own sets are not read

    struct Case {
        std::int64_t showTasks;
        double a;
    } cases[] = {{2, 1.0}, {3, 3.0}, {1, 2.0}};
    for (const Case& c : cases) {
        ZRUserDefaults2::setShowTasks(c.showTasks);
        const PieChartData data = pie();
        ASSERT_EQ(data.slices.size(), 1u) << c.showTasks;  // B has no time: no slice
        EXPECT_EQ(data.slices[0].uuid, *tasks["A"]->uuid());
        EXPECT_NEAR(data.slices[0].value, c.a * kHour, 1.0) << c.showTasks;
    }
    ZRUserDefaults2::setSelectionState(2);
    tasks["A"]->setTaskIsSelected(false);
    const PieChartData none = pie();
    EXPECT_TRUE(none.slices.empty());
    EXPECT_EQ(none.total, 0.0);
}

TEST_F(ChartData, PieInVisibleStateWithoutStoredRangeCoversAllTime) {
    tree("A B");
    hours("A", 2021, 6, 1, 9, 1.0);
    hours("B", 2024, 3, 1, 9, 2.0);
    settle();
    ZRUserDefaults2::setSelectionState(3);
    defaults.remove(kZRGeneralStartDate);
    defaults.remove(kZRGeneralEndDate);
    const PieChartData data = pie();
    EXPECT_NEAR(data.total, 3.0 * kHour, 1.0);
    EXPECT_EQ(data.slices.size(), 2u);
}

TEST_F(ChartData, RoundedValuesFollowTheFlagAndEachChartsOwnSetting) {
    tree("A B");
    check({"A", "B"});
    range(dayNumber(2024, 3, 1), dayNumber(2024, 3, 31));
    task_totals::setRounding(*tasks["B"], 215);  // nearest 15 minutes
    timing("A", berlinTime(2024, 3, 4, 9), berlinTime(2024, 3, 4, 9, 10));
    timing("B", berlinTime(2024, 3, 4, 10), berlinTime(2024, 3, 4, 10, 10));

    struct Case {
        bool enabled;
        bool dontUse;
        double total;
        bool marked;
    } cases[] = {
        {true, false, 600 + 900, true}, {true, true, 1200, true}, {false, false, 1200, false}};
    for (const Case& c : cases) {
        roundingEnabled = c.enabled;
        for (auto key :
             {kZRPieChartDontUseRounding, kZRBarChartDontUseRounding, kZRLineChartDontUseRounding})
            defaults.setBool(key, c.dontUse);
        const PieChartData p = pie();
        const BarChartData b = bar();
        const LineChartData l = line();
        EXPECT_NEAR(p.total, c.total, 1.0) << c.enabled << c.dontUse;
        EXPECT_NEAR(b.total, c.total, 1.0) << c.enabled << c.dontUse;
        EXPECT_NEAR(l.total, c.total, 1.0) << c.enabled << c.dontUse;
        EXPECT_EQ(p.hasRoundedTimes, c.marked);
        EXPECT_EQ(b.hasRoundedTimes, c.marked);
        EXPECT_EQ(l.hasRoundedTimes, c.marked);
    }
}

TEST_F(ChartData, BarColumnsPerPeriodAcrossTheYearEnd) {
    tree("A");
    check({"A"});
    range(dayNumber(2023, 11, 15), dayNumber(2025, 2, 10));
    // 23:00 on New Year's Eve to 01:00: one hour for each year, month and day.
    hours("A", 2023, 12, 31, 23, 2.0);
    hours("A", 2025, 1, 2, 9, 3.0);

    struct Case {
        std::string_view period;
        int columns;
        int first;   // column of the hour before midnight
        int second;  // column of the hour after
    } cases[] = {{kMonthly, 16, 1, 2}, {kYearly, 3, 0, 1}, {kDaily, 454, 46, 47}};
    for (const Case& c : cases) {
        ZRUserDefaults2::setVerticalBarChartMeasuringPeriod(c.period);
        const BarChartData data = bar();
        ASSERT_EQ(data.columns(), c.columns) << c.period;
        EXPECT_THAT(data.values[c.first], ElementsAre(kHour)) << c.period;
        EXPECT_THAT(data.values[c.second], ElementsAre(kHour)) << c.period;
        EXPECT_NEAR(data.total, 5.0 * kHour, 1.0);
        EXPECT_TRUE(data.dataAvailable);
    }
    ZRUserDefaults2::setVerticalBarChartMeasuringPeriod(kMonthly);
    const BarChartData months = bar();
    EXPECT_EQ(months.columnStarts[2], dayNumber(2024, 1, 1));
    EXPECT_EQ(chart_formatters::barAxisLabel(months, 2, 50.0), "Jan\n2024");
}

TEST_F(ChartData, WeeklyColumnsStartOnTheCalendarsFirstWeekday) {
    tree("A");
    check({"A"});
    range(dayNumber(2024, 3, 1), dayNumber(2024, 3, 17));  // Friday to Sunday
    ZRUserDefaults2::setVerticalBarChartMeasuringPeriod(kWeekly);
    // Monday 4, Tuesday 5, Saturday 9, Sunday 10, Monday 11, Tuesday 12 March 2024.
    const int days[] = {4, 5, 9, 10, 11, 12};
    for (int d : days)
        hours("A", 2024, 3, d, 9, 1.0);

    struct Case {
        int firstWeekday;
        int columns;
        std::vector<int> columnOfDay;  // by the days above
    } cases[] = {
        {2, 3, {1, 1, 1, 1, 2, 2}},  // Monday
        {1, 4, {1, 1, 1, 2, 2, 2}},  // Sunday
        {3, 3, {0, 1, 1, 1, 1, 2}},  // Tuesday
        {7, 4, {1, 1, 2, 2, 2, 2}},  // Saturday
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ZRCalendar::setUserFirstWeekday(c.firstWeekday));
        const BarChartData data = bar();
        ASSERT_EQ(data.columns(), c.columns) << c.firstWeekday;
        std::vector<double> expected(static_cast<std::size_t>(c.columns), 0.0);
        for (int column : c.columnOfDay)
            expected[static_cast<std::size_t>(column)] += kHour;
        std::vector<double> got;
        for (const auto& list : data.values)
            got.push_back(list.empty() ? 0.0 : list[0]);
        EXPECT_THAT(got, ElementsAreArray(expected)) << c.firstWeekday;
    }
}

TEST_F(ChartData, BarSegmentsKeepTheirIndexAndAllTimeTakesTheExtentOfTheData) {
    tree("A B C C1<C");
    check({"A", "B", "C"});
    hours("B", 2024, 2, 2, 9, 1.0);
    hours("C1", 2024, 2, 5, 9, 2.0);  // a child's time bounds the extent
    range(0, kAllTimeEnd);
    const BarChartData data = bar();
    EXPECT_EQ(data.earliest, dayNumber(2024, 2, 2));
    ASSERT_EQ(data.columns(), 4);
    EXPECT_THAT(data.values[0], ElementsAre(0.0, kHour));
    EXPECT_TRUE(data.values[1].empty());
    EXPECT_THAT(data.values[3], ElementsAre(0.0, 0.0, 2.0 * kHour));
    EXPECT_EQ(data.segments.size(), 3u);

    range(dayNumber(2024, 2, 3), dayNumber(2024, 2, 3));  // one day, one column
    EXPECT_EQ(bar().columns(), 1);
    check({});
    tasks["A"]->setTaskIsSelected(false);
    tasks["B"]->setTaskIsSelected(false);
    tasks["C"]->setTaskIsSelected(false);
    range(0, kAllTimeEnd);
    const BarChartData empty = bar();  // nothing to take the range from: today only
    EXPECT_EQ(empty.columns(), 1);
    EXPECT_EQ(empty.earliest, dayNumber(2024, 3, 13));
    EXPECT_FALSE(empty.dataAvailable);
}

TEST_F(ChartData, BarHighlightsBracketWeekendsAndMarkWeekStarts) {
    tree("A");
    check({"A"});
    range(dayNumber(2024, 3, 2), dayNumber(2024, 3, 18));  // Saturday to Monday
    ASSERT_TRUE(ZRCalendar::setUserFirstWeekday(2));
    defaults.setString(kZRVerticalBarChartBackgroundHighlight, kHighlightWeekends);
    // Column 0 is a Saturday; then Monday 4, Saturday 9, Monday 11, Saturday 16, Monday 18.
    EXPECT_THAT(bar().limitLines, ElementsAre(0, 2, 7, 9, 14, 16));
    defaults.setString(kZRVerticalBarChartBackgroundHighlight, kHighlightWeeks);
    EXPECT_THAT(bar().limitLines, ElementsAre(2, 9, 16));
    range(dayNumber(2024, 3, 2), dayNumber(2024, 3, 3));  // two columns: none
    EXPECT_TRUE(bar().limitLines.empty());
}

TEST_F(ChartData, LineCountsDaysAcrossClockChangesAndTheCutoff) {
    tree("A");
    check({"A"});
    setCutoff(4);
    range(dayNumber(2024, 3, 29), dayNumber(2024, 4, 1));
    // Midnight to 06:00 on the night the clocks go forward lasts 5 hours; with the day starting
    // at 04:00 the first 3 of them (00:00 to 04:00 local) belong to Saturday 30 March.
    timing("A", berlinTime(2024, 3, 31, 0), berlinTime(2024, 3, 31, 6));
    const LineChartData spring = line();
    ASSERT_EQ(spring.days(), 4);
    EXPECT_THAT(spring.daily, ElementsAre(0.0, 3.0 * kHour, 2.0 * kHour, 0.0));

    range(dayNumber(2024, 10, 26), dayNumber(2024, 10, 27));
    // 01:00 summer time to 06:00 winter time on the night the clocks go back lasts 6 hours, 4 of
    // them before the 04:00 cut-off.
    timing("A", berlinTime(2024, 10, 27, 2) - kHour, berlinTime(2024, 10, 27, 6));
    const LineChartData autumn = line();
    EXPECT_THAT(autumn.daily, ElementsAre(4.0 * kHour, 2.0 * kHour));
}

TEST(WeightedMovingAverage, WeighsNewerDaysMoreAndMarksEmptyWindows) {
    struct Case {
        std::vector<double> daily;
        std::int64_t period;
        std::vector<double> expected;
    } cases[] = {
        {{9, 18, 27}, 7, {9, (9 + 3 * 18) / 4.0, (9 + 3 * 18 + 5 * 27) / 9.0}},
        {{5, 0, 7}, 1, {5, -1.0, 7}},
        {{0, 0, 4, 0}, 2, {-1.0, -1.0, 4 * 3 / 4.0, 4 / 4.0}},
        {{3, 3, 3, 3}, 3, {3, 3, 3, 3}},
        {{100}, 7, {}},   // one day: no average line
        {{1, 2}, 0, {}},  // no period
        {{1, 2}, -5, {}},
    };
    for (const Case& c : cases) {
        const auto got = weightedMovingAverage(c.daily, c.period);
        ASSERT_EQ(got.size(), c.expected.size()) << c.period;
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_DOUBLE_EQ(got[i], c.expected[i]) << c.period << " day " << i;
    }
}

TEST_F(ChartData, ACancelledComputationStopsAndASupersededOnePublishesNothing) {
    tree("A");
    check({"A"});
    hours("A", 2024, 3, 4, 9, 1.0);
    settle();
    const ChartRequest made = request(ChartKind::pie);
    std::atomic<bool> cancelled{true};
    std::optional<Result<PieChartData>> result;
    ASSERT_TRUE(connection()->read([&](BackgroundReader& reader) {
        result.emplace(computePieChartData(reader, made, cancelled));
        return Status::success();
    }));
    ASSERT_FALSE(result->ok());
    EXPECT_EQ(result->error().code, kChartDataCancelledCode);

    // Two computations: the first waits until the second has been started, then finishes.
    BackgroundComputation<int> computation(loop);
    std::atomic<bool> release{false};
    std::vector<int> delivered;
    computation.start(
        connection(),
        [&](BackgroundReader&, const std::atomic<bool>&) -> Result<int> {
            while (!release)
                std::this_thread::yield();
            return 1;
        },
        [&](Result<int>& r) { delivered.push_back(r.value()); });
    computation.start(
        connection(), [](BackgroundReader&, const std::atomic<bool>&) -> Result<int> { return 2; },
        [&](Result<int>& r) { delivered.push_back(r.value()); });
    release = true;
    computation.waitForBackgroundWork();
    loop.runPending();
    EXPECT_THAT(delivered, ElementsAre(2));
}

TEST_F(ChartData, TheDataSourceRefreshesOnChangesAndDeliversOnlyTheNewestResult) {
    tree("A B");
    check({"A"});
    range(dayNumber(2024, 3, 1), dayNumber(2024, 3, 31));
    hours("A", 2024, 3, 4, 9, 1.0);
    hours("B", 2024, 3, 4, 11, 2.0);
    settle();
    ChartDataSource source(
        ChartKind::pie, *context, defaults, center, loop, [this] { return connection(); },
        [] { return false; });
    int redraws = 0;
    source.setRedrawHandler([&] { ++redraws; });
    source.refresh();
    source.refresh();
    source.waitForBackgroundWork();
    loop.runPending();
    EXPECT_EQ(redraws, 1);
    EXPECT_NEAR(source.pie().total, kHour, 1.0);

    range(dayNumber(2024, 3, 5), dayNumber(2024, 3, 31));
    source.waitForBackgroundWork();
    loop.runPending();
    EXPECT_EQ(redraws, 2);
    EXPECT_TRUE(source.pie().slices.empty());
}

TEST_F(ChartData, AnInactiveSourceComputesNothingUntilItIsShownAgain) {
    tree("A");
    check({"A"});
    range(dayNumber(2024, 3, 1), dayNumber(2024, 3, 31));
    hours("A", 2024, 3, 4, 9, 1.0);
    settle();
    ChartDataSource source(
        ChartKind::pie, *context, defaults, center, loop, [this] { return connection(); },
        [] { return false; });
    int redraws = 0;
    source.setRedrawHandler([&] { ++redraws; });
    source.refresh();
    // Hidden before the result arrived: the running computation publishes nothing.
    source.setActive(false);
    source.waitForBackgroundWork();
    loop.runPending();
    EXPECT_EQ(redraws, 0);
    EXPECT_TRUE(source.stale());

    range(dayNumber(2024, 3, 5), dayNumber(2024, 3, 31));
    source.waitForBackgroundWork();
    loop.runPending();
    EXPECT_EQ(redraws, 0);

    // Shown again: one computation of the newest range.
    source.setActive(true);
    EXPECT_FALSE(source.stale());
    source.waitForBackgroundWork();
    loop.runPending();
    EXPECT_EQ(redraws, 1);
    EXPECT_TRUE(source.pie().slices.empty());
    // Nothing changed while it was shown: hiding and showing computes nothing more.
    source.setActive(false);
    source.setActive(true);
    source.waitForBackgroundWork();
    loop.runPending();
    EXPECT_EQ(redraws, 1);
}

TEST(ChartFileName, NamesTheChartAndTheRange) {
    ScopedUserCalendar calendar{"Europe/Berlin", "en_US"};
    struct Case {
        ChartKind kind;
        std::int64_t start;
        std::int64_t end;
        std::string expected;
    } cases[] = {
        {ChartKind::pie, 0, kAllTimeEnd, "Ravelong Pie Chart (all time)"},
        {ChartKind::bar, dayNumber(2023, 12, 30), dayNumber(2024, 1, 2),
         "Ravelong Bar Chart (Dec 30, 2023 - Jan 2, 2024)"},
        {ChartKind::line, dayNumber(2024, 3, 4), dayNumber(2024, 4, 2),
         "Ravelong Line Chart (Mar 4 - Apr 2, 2024)"},
        {ChartKind::line, dayNumber(2024, 3, 4), dayNumber(2024, 3, 10),
         "Ravelong Line Chart (Mar 4-10, 2024)"},
        {ChartKind::pie, dayNumber(2024, 3, 4), dayNumber(2024, 3, 4),
         "Ravelong Pie Chart (Mar 4, 2024)"},
        {ChartKind::pie, 1, 1LL << 40, "Ravelong Pie Chart (Untitled)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chart_formatters::chartFileName(c.kind, c.start, c.end), c.expected);
}

}  // namespace
}  // namespace ravelong

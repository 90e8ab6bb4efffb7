#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/totals/TaskRounding.h"
#include "menubar/MainWindowListTexts.h"
#include "menubar/TimedEntriesList.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using stats_testing::StatsWorld;

class TimedEntriesListTest : public StatsWorld {
protected:
    // With the day starting at 04:00:
    //   t1  A   10 Mar 23:00 .. 11 Mar 01:00   day 10 only
    //   t2  A   11 Mar 03:00 .. 05:00          days 10 (until 04:00) and 11
    //   t3  B   11 Mar 09:00 .. 10:00          day 11
    //   t4  B   12 Mar 08:00 .. 09:00          day 12
    //   t5  C   12 Mar 07:00 .. 07:30          day 12, C archived
    TimedEntriesListTest() {
        tree("A B C");
        setCutoff(4);
        t1 = timing("A", berlinTime(2024, 3, 10, 23), berlinTime(2024, 3, 11, 1));
        t2 = timing("A", berlinTime(2024, 3, 11, 3), berlinTime(2024, 3, 11, 5));
        t3 = timing("B", berlinTime(2024, 3, 11, 9), berlinTime(2024, 3, 11, 10));
        t4 = timing("B", berlinTime(2024, 3, 12, 8), berlinTime(2024, 3, 12, 9));
        t5 = timing("C", berlinTime(2024, 3, 12, 7), berlinTime(2024, 3, 12, 7, 30));
        tasks["C"]->setIsArchived(true);
        settle();
        ZRUserDefaults2::setSelectionState(3);
        ZRUserDefaults2::setShowTasks(3);
    }
    void range(std::int64_t first, std::int64_t last) {
        ZRUserDefaults2::setGeneralStartAndEndDate(first, last);
    }
    std::vector<std::string> setRows() const {
        std::vector<std::string> rows;
        for (std::size_t row = 0; row < list.rowCount(); ++row)
            rows.push_back(*list.timingSetAtRow(row)->task()->taskName() + "@" +
                           std::to_string(list.valuesOfRow(row)->day));
        return rows;
    }

    ZRCDTiming *t1, *t2, *t3, *t4, *t5;
    TimedEntriesList list{*context, defaults, loop};
};

struct ListCase {
    std::int64_t state, show;
    std::int64_t first, last;
    std::vector<int> expected;  // t1 ... t5
};

TEST_F(TimedEntriesListTest, ListsTheTimingsTouchingTheRangeNewestDayFirst) {
    const std::vector<ListCase> cases = {
        {3, 3, 20240311, 20240311, {3, 2}},
        {3, 3, 20240310, 20240312, {4, 5, 3, 2, 1}},
        {3, 3, 20240310, 20240310, {2, 1}},
        {3, 2, 20240310, 20240312, {4, 3, 2, 1}},
        {3, 1, 0, 99999999, {5}},
        {2, 3, 0, 99999999, {4, 5, 3}},   // B and C checked
        {1, 3, 20240311, 99999999, {2}},  // A chosen
        {0, 3, 0, 99999999, {}},
        {3, 0, 0, 99999999, {}},
        {3, 3, 20240313, 20240313, {}},
    };
    tasks["B"]->setTaskIsSelected(true);
    tasks["C"]->setTaskIsSelected(true);
    ZRUserDefaults2::setSelectedTaskInDataSelection(tasks["A"]->uuid());
    settle();
    for (const ListCase& c : cases) {
        ZRUserDefaults2::setSelectionState(c.state);
        ZRUserDefaults2::setShowTasks(c.show);
        range(c.first, c.last);
        list.reload();
        std::vector<ZRCDTiming*> expected;
        ZRCDTiming* all[] = {nullptr, t1, t2, t3, t4, t5};
        for (int index : c.expected)
            expected.push_back(all[index]);
        EXPECT_EQ(list.timings(), expected)
            << "state " << c.state << " show " << c.show << " " << c.first << ".." << c.last;
    }
}

TEST_F(TimedEntriesListTest, CompactRowsAreDayAggregatesByDayThenChainOrder) {
    defaults.setBool(kZRCompactTimings, true);
    range(20240310, 20240312);
    list.reload();
    EXPECT_EQ(setRows(), (std::vector<std::string>{"B@20240312", "C@20240312", "A@20240311",
                                                   "B@20240311", "A@20240310"}));
    const auto a10 = list.valuesOfRow(4);
    ASSERT_TRUE(a10);
    // t1's two hours and t2's first hour (before 04:00) count on the 10th.
    EXPECT_DOUBLE_EQ(a10->duration, 3 * 3600.0);
    EXPECT_EQ(a10->start, berlinTime(2024, 3, 10, 23));
    EXPECT_EQ(a10->end, berlinTime(2024, 3, 11, 5));
    EXPECT_EQ(list.timingsOfRows({4}), (std::vector<ZRCDTiming*>{t1, t2}));
    ZRUserDefaults2::setShowTasks(0);
    list.reload();
    EXPECT_EQ(list.rowCount(), 0u);
    EXPECT_EQ(list.filterFormat(), kNoTimingSets);
}

TEST_F(TimedEntriesListTest, FilterTextsAreTheConcatenatedParts) {
    struct Case {
        std::int64_t state, show;
        bool compact;
        std::string text;
    };
    const std::vector<Case> cases = {
        {2, 2, true,
         "(task.taskIsSelected == 1 OR task.parentTask.taskIsSelected == 1 OR "
         "task.parentTask.parentTask.taskIsSelected == 1) AND task.isArchived == 0 AND absDay >= "
         "%ld AND absDay <= %ld"},
        {1, 3, false,
         "(task.parentTask.parentTask.uuid = %@ OR task.parentTask.uuid = %@ OR task.uuid = %@) "
         "AND ANY timingSets.absDay >= %ld AND ANY timingSets.absDay <= %ld"},
        {3, 1, false,
         "task.isArchived == 1 AND ANY timingSets.absDay >= %ld AND ANY "
         "timingSets.absDay <= %ld"},
        {3, 3, true, "absDay >= %ld AND absDay <= %ld"},
        {0, 3, false, "task = 0"},
        {2, 5, true, "task.taskIsSelected == 10"},
    };
    for (const Case& c : cases) {
        ZRUserDefaults2::setSelectionState(c.state);
        ZRUserDefaults2::setShowTasks(c.show);
        defaults.setBool(kZRCompactTimings, c.compact);
        list.reload();
        EXPECT_EQ(list.filterFormat(), c.text) << c.state << " " << c.show << " " << c.compact;
    }
}

TEST_F(TimedEntriesListTest, StateAboveThreeKeepsThePreviousFilter) {
    ZRUserDefaults2::setShowTasks(2);
    list.reload();
    const std::vector<ZRCDTiming*> before = list.timings();
    ASSERT_EQ(before.size(), 4u);
    ZRUserDefaults2::setSelectionState(4);
    list.reload();
    EXPECT_EQ(list.timings(), before);
    EXPECT_EQ(list.filter().selectionState, 3);
}

TEST_F(TimedEntriesListTest, SummaryCountsSelectedOrAllRows) {
    list.reload();
    ASSERT_EQ(list.rowCount(), 5u);
    auto hms = [](double seconds) {
        return number_additions::getStringRepresentationOfSeconds_hms_truncAt10h(seconds);
    };
    EXPECT_EQ(list.summaryLine({0, 2}),
              "2 of 5 timings - " + hms(list.durationOfRow(0) + list.durationOfRow(2)));
    EXPECT_EQ(list.summaryLine({0, 2, 2, 9}),
              "2 of 5 timings - " + hms(list.durationOfRow(0) + list.durationOfRow(2)));
    EXPECT_EQ(list.summaryLine({1}), "5 timings - " + hms(6.5 * 3600.0));
    EXPECT_EQ(list.summaryLine({}), "5 timings - " + hms(6.5 * 3600.0));
    range(20240312, 20240312);
    ZRUserDefaults2::setShowTasks(2);
    list.reload();
    EXPECT_EQ(list.summaryLine({}), "1 timing - " + hms(3600.0));
}

TEST_F(TimedEntriesListTest, RowsShowRoundedDurationsWhenAsked) {
    task_totals::setRounding(*tasks["B"], 115);  // up to whole quarter hours
    ZRCDTiming* shortOne = timing("B", berlinTime(2024, 3, 12, 11), berlinTime(2024, 3, 12, 11, 7));
    settle();
    range(20240312, 20240312);
    for (bool rounded : {false, true}) {
        defaults.setBool(kZRTimingsShowRoundedDurations, rounded);
        list.reload();
        ASSERT_EQ(list.timingAtRow(0), shortOne);
        EXPECT_DOUBLE_EQ(list.valuesOfRow(0)->duration, 420.0);
        EXPECT_DOUBLE_EQ(list.valuesOfRow(0)->shownDuration, rounded ? 900.0 : 420.0);
        EXPECT_DOUBLE_EQ(list.valuesOfRow(2)->shownDuration, 1800.0);  // C has no rule
        EXPECT_EQ(list.valuesOfRow(0)->taskName, shortOne->task()->getFullTaskName());
    }
}

TEST_F(TimedEntriesListTest, SwitchingTheKindEmptiesAtOnceAndRefillsOnTheNextPass) {
    list.reload();
    int changes = 0;
    list.setChangeHandler([&] { ++changes; });
    list.setCompact(true);
    EXPECT_TRUE(defaults.boolForKey(kZRCompactTimings));
    EXPECT_EQ(list.rowCount(), 0u);
    EXPECT_EQ(changes, 1);
    loop.runPending();
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(list.rowCount(), 5u);  // A and B on two days each, C on the 12th
    EXPECT_NE(list.timingSetAtRow(0), nullptr);
    EXPECT_EQ(list.timingAtRow(0), nullptr);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "app/AppStrings.h"
#include "app/PreferenceKeys.h"
#include "core/chain/ChainLinks.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/TimerTexts.h"
#include "menubar/MenuBarTaskList.h"
#include "menubar/TaskListTexts.h"
#include "store/ZRUndoManager.h"
#include "tests/menubar/TaskListTestFixture.h"

namespace ravelong {
namespace {

using testing::berlin;
using Disclosure = MenuBarTaskRow::Disclosure;

class MenuBarTaskListTest : public testing::TaskListTest {};

TEST_F(MenuBarTaskListTest, ListsShownUnarchivedTasksInChainOrderWithTiersAndFolding) {
    tree("A A1<A A1a<A1 A2<A B C D D1<D");
    tasks["C"]->setIsArchived(true);
    tasks["D1"]->setIsVisibleInMenuBar(false);  // D is collapsed
    settle();
    list().reload();

    EXPECT_EQ(names(), "A A1 A1a A2 B D");
    const auto& rows = list().rows();
    EXPECT_EQ(rows[0].tier, 0);
    EXPECT_EQ(rows[1].tier, 1);
    EXPECT_EQ(rows[2].tier, 2);
    EXPECT_EQ(rows[0].disclosure, Disclosure::expanded);
    EXPECT_EQ(rows[2].disclosure, Disclosure::none);
    EXPECT_EQ(rows[4].disclosure, Disclosure::none);
    EXPECT_EQ(rows[5].disclosure, Disclosure::collapsed);
    EXPECT_FALSE(rows[0].leaf);
    EXPECT_TRUE(rows[2].leaf);
    EXPECT_EQ(rows[0].uuid, tasks["A"]->uuid().value());
}

// Period totals against the day, week, month and year under the cut-off. de_DE weeks begin on
// Monday; March 2024 in Berlin is winter time until the 31st.
//
//   Fri 8 | Sat 9 | Sun 10 || Mon 11 | Tue 12 (now 10:00)
//    1 h  |       |  2 h   ||  8 h   |  4 h        (09-10, 09-11, 09-17, 05-09)
struct PeriodCase {
    const char* name;
    int period;
    int cutoff;
    Instant now;
    double expectedHours;
};

class MenuBarPeriodTotals : public testing::TaskListTest,
                            public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(MenuBarPeriodTotals, CountTheDaysOfThePeriodUnderTheCutoff) {
    const PeriodCase& c = GetParam();
    tree("Work");
    timing(tasks["Work"], berlin(8, 9), berlin(8, 10));
    timing(tasks["Work"], berlin(10, 9), berlin(10, 11));
    timing(tasks["Work"], berlin(11, 9), berlin(11, 17));
    timing(tasks["Work"], berlin(12, 5), berlin(12, 9));
    setNewDayHour(c.cutoff);
    settle();
    clock.set(c.now);
    defaults.setInteger(kZRMenuBarCustomDuration, c.period);
    list().reload();
    ASSERT_EQ(list().rowCount(), 1);
    EXPECT_DOUBLE_EQ(list().rows()[0].periodTotal, c.expectedHours * 3600.0) << c.name;
    EXPECT_DOUBLE_EQ(list().rows()[0].totalEver, 15 * 3600.0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Periods, MenuBarPeriodTotals,
    ::testing::Values(
        PeriodCase{"today", 0, 0, berlin(12, 10), 4},
        PeriodCase{"today, stored value out of range", 9, 0, berlin(12, 10), 4},
        PeriodCase{"today before the cut-off is yesterday", 0, 6, berlin(12, 5, 30), 8},
        PeriodCase{"this week from Monday", 1, 0, berlin(12, 10), 12},
        // Monday 03:00 before a 4 o'clock cut-off is still Sunday: last week, Fri and Sun.
        PeriodCase{"this week, first day before the cut-off", 1, 4, berlin(11, 3), 3},
        PeriodCase{"this week, first day after the cut-off", 1, 4, berlin(11, 5), 12},
        PeriodCase{"this week, first day at 03:00 without cut-off", 1, 0, berlin(11, 3), 12},
        PeriodCase{"this month", 2, 0, berlin(12, 10), 15},
        PeriodCase{"this year", 3, 0, berlin(12, 10), 15}));

TEST_F(MenuBarTaskListTest, MonthUnderTheCutoffStillHoldsTheLastDayOfTheMonthBefore) {
    tree("Work");
    timing(tasks["Work"], berlin(5, 9), berlin(5, 10));
    setNewDayHour(5);
    settle();
    defaults.setInteger(kZRMenuBarCustomDuration, 2);
    // 1 April, 03:00 summer time: before the cut-off it is still 31 March.
    clock.set(berlin(32, 1));
    list().reload();
    EXPECT_DOUBLE_EQ(list().rows()[0].periodTotal, 3600.0);
    clock.set(berlin(32, 4));
    list().reload();
    EXPECT_DOUBLE_EQ(list().rows()[0].periodTotal, 0.0);
}

TEST_F(MenuBarTaskListTest, TheWidePanelWritesHoursAndMinutesUpToAThousandHours) {
    tree("Long");
    timing(tasks["Long"], berlin(1, 0), berlin(7, 6, 30));  // 150 h 30 min
    settle();
    defaults.setInteger(kZRMenuBarCustomDuration, 3);
    list().setPanelWidth(400);
    list().reload();
    EXPECT_EQ(list().rows()[0].totalEverText, "150h 30m");
    list().setPanelWidth(320);
    EXPECT_EQ(list().rows()[0].totalEverText, "150h");
    EXPECT_EQ(list().rows()[0].periodTotalText, "150h");
}

TEST_F(MenuBarTaskListTest, ATickRecomputesOnlyTheRunningRowsAndTheirParents) {
    tree("P A<P B Q");
    timing(tasks["B"], berlin(12, 8), berlin(12, 9));
    settle();
    ZRCDTiming::createRunningTimingNowForTask_andOrigin(tasks["A"], 0, context);
    settle();
    list().reload();
    EXPECT_EQ(names(), "P A B Q");
    EXPECT_TRUE(list().rows()[0].running);
    EXPECT_TRUE(list().rows()[1].running);
    EXPECT_FALSE(list().rows()[2].running);
    const std::string before = list().rows()[1].periodTotalText;

    reloads = 0;
    changedRows.clear();
    clock.advance(3 * 60);
    center.post(std::string(kZRTimeUpdate), &timer());
    EXPECT_EQ(reloads, 0);
    ASSERT_EQ(changedRows.size(), 1u);
    EXPECT_EQ(changedRows[0], (std::vector<int>{0, 1}));
    EXPECT_NE(list().rows()[1].periodTotalText, before);
    EXPECT_NEAR(list().rows()[0].periodTotal, list().rows()[1].periodTotal, 1e-6);

    // Nothing moved by a whole minute: no row is reported.
    changedRows.clear();
    clock.advance(1);
    center.post(std::string(kZRTimeUpdate), &timer());
    EXPECT_TRUE(changedRows.empty());
}

TEST_F(MenuBarTaskListTest, StepsThePeriodAndRecomputesEveryRow) {
    tree("A B");
    timing(tasks["A"], berlin(11, 9), berlin(11, 10));
    settle();
    list().reload();
    EXPECT_DOUBLE_EQ(list().rows()[0].periodTotal, 0.0);

    for (int expected : {1, 2, 3, 0}) {
        changedRows.clear();
        list().stepPeriod();
        EXPECT_EQ(defaults.integerForKey(kZRMenuBarCustomDuration), expected);
        ASSERT_EQ(changedRows.size(), 1u);
        EXPECT_EQ(changedRows[0], (std::vector<int>{0, 1}));
        EXPECT_DOUBLE_EQ(list().rows()[0].periodTotal, expected == 0 ? 0.0 : 3600.0);
    }
    defaults.setInteger(kZRMenuBarCustomDuration, 17);
    list().stepPeriod();
    EXPECT_EQ(defaults.integerForKey(kZRMenuBarCustomDuration), 1);
}

TEST_F(MenuBarTaskListTest, TheToggleKeyNeedsExactlyOneSelectedTaskWithoutSubtasks) {
    tree("P A<P B");
    list().reload();
    struct Case {
        std::vector<int> selected;
        bool toggles;
    };
    for (const Case& c : {Case{{1, 2}, false}, Case{{0}, false}, Case{{}, false}, Case{{1}, true},
                          Case{{1}, true}}) {
        clock.advance(60);
        const std::size_t funksBefore = funks();
        const std::size_t runningBefore = runningTimings().size();
        list().setSelectedRows(c.selected);
        EXPECT_EQ(list().toggleTimerOfSelectedTask(), c.toggles);
        EXPECT_EQ(funks(), funksBefore + (c.toggles ? 0 : 1));
        if (!c.toggles) {
            EXPECT_EQ(runningTimings().size(), runningBefore);
        }
    }
    // Started, then stopped again.
    EXPECT_TRUE(runningTimings().empty());
    EXPECT_EQ(timingsOf(tasks["A"]).size(), 1u);
}

TEST_F(MenuBarTaskListTest, DisclosureFoldsAndUnfoldsSubtasksAndRefusesOtherRows) {
    tree("P A<P A1<A B<P Q");
    list().reload();
    EXPECT_EQ(names(), "P A A1 B Q");
    EXPECT_TRUE(list().toggleChildrenDisclosureOfRow(0));
    EXPECT_EQ(names(), "P Q");
    EXPECT_EQ(list().rows()[0].disclosure, Disclosure::collapsed);
    EXPECT_TRUE(list().toggleChildrenDisclosureOfRow(0));
    EXPECT_EQ(names(), "P A B Q");  // A stays folded: only the children open
    EXPECT_EQ(funks(), 0u);
    EXPECT_FALSE(list().toggleChildrenDisclosureOfRow(3));
    EXPECT_FALSE(list().toggleChildrenDisclosureOfRow(9));
    EXPECT_EQ(funks(), 2u);
    EXPECT_FALSE(context.undoManager()->canUndo());
}

TEST_F(MenuBarTaskListTest, SearchListsMatchesWithTheirAncestorsAndClearingRestores) {
    tree("Client Design<Client Meetings<Client Other");
    list().reload();
    list().setSearchTerm("des cli");
    loop.advance(0.5);
    EXPECT_EQ(names(), "Client Design");
    EXPECT_TRUE(list().searchActive());
    list().setSearchTerm("Oth");
    loop.advance(0.5);
    EXPECT_EQ(names(), "Other");
    list().clearSearchTerm();
    EXPECT_EQ(names(), "Client Design Meetings Other");
}

TEST_F(MenuBarTaskListTest, NewDayTimerFiresTwoSecondsAfterTheCutoffAndRearms) {
    setNewDayHour(4);
    settle();
    tree("A");
    timing(tasks["A"], berlin(12, 8), berlin(12, 9));
    settle();
    list().reload();
    EXPECT_DOUBLE_EQ(list().newDayTimerFireDate(), berlin(13, 4, 0, 2));
    int panelReloads = 0;
    int totalReloads = 0;
    center.addObserver(std::string(kReloadMenuBarPanelTable), nullptr,
                       [&](const Notification&) { ++panelReloads; });
    center.addObserver(std::string(kMenuBarNeedsToReloadTotalTime), nullptr,
                       [&](const Notification&) { ++totalReloads; });

    loop.advance(berlin(13, 4, 0, 1) - clock.now());
    EXPECT_EQ(panelReloads, 0);
    EXPECT_DOUBLE_EQ(list().rows()[0].periodTotal, 3600.0);
    loop.advance(1.5);
    EXPECT_EQ(panelReloads, 1);
    EXPECT_EQ(totalReloads, 1);
    EXPECT_EQ(delegate.statusItem.updates(), 1);
    EXPECT_DOUBLE_EQ(list().rows()[0].periodTotal, 0.0);  // a new day: nothing yet today
    EXPECT_DOUBLE_EQ(list().newDayTimerFireDate(), berlin(14, 4, 0, 2));

    // A new cut-off hour moves the timer.
    setNewDayHour(6);
    center.post(std::string(kZRNewDayChanged));
    EXPECT_DOUBLE_EQ(list().newDayTimerFireDate(), berlin(13, 6, 0, 2));
}

TEST_F(MenuBarTaskListTest, RecentTaskEntriesToggleTasksAndStopTimings) {
    tree("A B");
    list().reload();
    center.post(std::string(kZRRecentTaskClicked), nullptr,
                {{std::string(kRecentTaskObjectKey), tasks["A"]}});
    ASSERT_EQ(runningTimings().size(), 1u);
    EXPECT_TRUE(list().rows()[0].running);
    ZRCDTiming* timing = runningTimings().front();
    clock.advance(120);
    center.post(std::string(kZRRecentTaskClicked), nullptr,
                {{std::string(kRecentTaskObjectKey), timing}});
    EXPECT_TRUE(runningTimings().empty());
    EXPECT_FALSE(list().rows()[0].running);
    center.post(std::string(kZRRecentTaskClicked), nullptr,
                {{std::string(kRecentTaskUuidKey), std::string("no such task")}});
    EXPECT_EQ(funks(), 1u);
}

TEST_F(MenuBarTaskListTest, AlternateRecentEntryClearsTheSearchUnfoldsAndSelectsTheRow) {
    tree("P A<P A1<A Q");
    tasks["A"]->setIsVisibleInMenuBar(false);
    tasks["A1"]->setIsVisibleInMenuBar(false);
    settle();
    list().setSearchTerm("Q");
    loop.advance(0.5);
    EXPECT_EQ(names(), "Q");
    std::vector<int> revealed;
    MenuBarTaskList::Listener listener = recordingListener();
    listener.rowRevealed = [&](int row) { revealed.push_back(row); };
    list().setListener(listener);

    center.post(std::string(kZRRecentTaskAlternateClicked), nullptr,
                {{std::string(kRecentTaskObjectKey), tasks["A1"]}});
    EXPECT_TRUE(revealed.empty());  // waits for the cleared list
    loop.advance(0.25);
    EXPECT_EQ(names(), "P A A1 Q");
    EXPECT_EQ(revealed, std::vector<int>{2});
    EXPECT_EQ(list().selectedRows(), std::vector<int>{2});
    EXPECT_EQ(list().searchTerm(), "");
}

TEST_F(MenuBarTaskListTest, ConcernedRowsAreRecomputedInPlace) {
    tree("A B C");
    list().reload();
    tasks["B"]->setTaskName("Renamed");
    settle();
    reloads = 0;
    changedRows.clear();
    center.post(std::string(kMenuBarTableViewNeedsToReloadConcernedRows), nullptr,
                {{std::string(kConcernedRowsKey), std::vector<int>{0, 1}}});
    EXPECT_EQ(reloads, 0);
    ASSERT_EQ(changedRows.size(), 1u);
    EXPECT_EQ(changedRows[0], std::vector<int>{1});
    EXPECT_EQ(names(), "A Renamed C");
    // A row past the end means the list changed: everything is listed again.
    center.post(std::string(kMenuBarTableViewNeedsToReloadConcernedRows), nullptr,
                {{std::string(kConcernedRowsKey), std::vector<int>{7}}});
    EXPECT_EQ(reloads, 1);
}

}  // namespace
}  // namespace ravelong

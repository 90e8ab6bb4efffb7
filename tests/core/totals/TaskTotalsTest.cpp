#include <gtest/gtest.h>

#include "core/model/ModelDefaultsKeys.h"
#include "core/totals/TaskTotals.h"
#include "tests/core/totals/TotalsTestSupport.h"

namespace ravelong {
namespace {

using namespace task_totals;

class TaskTotals : public totals_testing::TotalsTest {
protected:
    double between(const ZRCDTask* task, ZRDate first, ZRDate last, bool excludingArchived = false,
                   bool excludingRunning = false) {
        return getTimeBetweenStartZRDate(*task, first, last, excludingArchived, excludingRunning);
    }
    const ZRDate march3 = dayNumber(2024, 3, 3);
    const ZRDate march4 = dayNumber(2024, 3, 4);
    const ZRDate march5 = dayNumber(2024, 3, 5);
};

// Days of the timings below, cut-off 0 for A and 4 hours for B:
//
//          | 3 March              | 4 March                 | 5 March
//   A      |         23:00 ========== 01:00                 |
//   B      |                      |          (4 h cut-off) 02:00 == 03:00  -> still 4 March
TEST_F(TaskTotals, TimingsCountOnTheirDaysAcrossMidnightAndTheCutOff) {
    ZRCDTask* task = newTask("Night work");
    stoppedTiming(task, berlin(2024, 3, 3, 23), berlin(2024, 3, 4, 1));
    setNewDay(4);
    stoppedTiming(task, berlin(2024, 3, 5, 2), berlin(2024, 3, 5, 3));

    EXPECT_EQ(between(task, march3, march3), 3600);
    EXPECT_EQ(between(task, march4, march4), 3600 + 3600);
    EXPECT_EQ(between(task, march5, march5), 0);
    EXPECT_EQ(between(task, march3, march5), 3 * 3600);
    EXPECT_EQ(between(task, march5, march3), 0);

    // Rounded up to an hour: A's two units are one per day; B's hour stays an hour.
    task->setRounding(160);
    ASSERT_TRUE(refreshRounding());
    EXPECT_EQ(between(task, march3, march3), 3600);
    EXPECT_EQ(between(task, march4, march4), 7200);
    task->setRounding(345);  // down to 45 minutes: 2 h -> 2 units, 1 h -> 1 unit
    EXPECT_EQ(between(task, march3, march4), 2700 * 3);
}

TEST_F(TaskTotals, PeriodsFollowTheCalendarAndThePreferencesCutOff) {
    // en_US weeks start on Sunday. With cut-off 4, Sunday 3 March 02:00 still belongs to
    // Saturday 2 March and to the week of 25 February.
    setNewDay(4);
    ZRCDTask* task = newTask("Periods");
    stoppedTiming(task, berlin(2024, 3, 2, 10), berlin(2024, 3, 2, 11));        // Saturday
    stoppedTiming(task, berlin(2024, 3, 3, 5), berlin(2024, 3, 3, 5, 30));      // Sunday
    stoppedTiming(task, berlin(2024, 2, 29, 12), berlin(2024, 2, 29, 12, 15));  // Thursday
    stoppedTiming(task, berlin(2023, 12, 31, 12), berlin(2023, 12, 31, 13));    // last year

    clock.set(berlin(2024, 3, 3, 2));
    EXPECT_EQ(getTimeTodayExcludingRunningTimings(*task, true), 3600);
    EXPECT_EQ(getTimeThisWeekExcludingRunningTimings(*task, true), 3600 + 900);
    EXPECT_EQ(getTimeThisMonthExcludingRunningTimings(*task, true), 3600 + 1800);
    EXPECT_EQ(getTimeThisYearExcludingRunningTimings(*task, true), 3600 + 1800 + 900);

    clock.set(berlin(2024, 3, 3, 6));
    EXPECT_EQ(getTimeTodayExcludingRunningTimings(*task, true), 1800);
    EXPECT_EQ(getTimeThisWeekExcludingRunningTimings(*task, true), 1800);
    EXPECT_EQ(getTimeThisMonthExcludingRunningTimings(*task, true), 3600 + 1800);
    EXPECT_EQ(getTimeForMenuBarCustomDuration(*task, 0, false), 1800);
    EXPECT_EQ(getTimeForMenuBarCustomDuration(*task, 1, false), 1800);
    EXPECT_EQ(getTimeForMenuBarCustomDuration(*task, 2, false), 5400);
    EXPECT_EQ(getTimeForMenuBarCustomDuration(*task, 3, false), 6300);
    EXPECT_EQ(getTimeForMenuBarCustomDuration(*task, 7, false), 1800);
    EXPECT_EQ(getTimeForMenuBarCustomDuration(*task, -1, false), 1800);
    EXPECT_EQ(getAllTimeExcludingRunningTimings(*task, true), 6300 + 3600);
}

// The tree below, with one hour on each leaf (and on the tasks with subtasks, which their totals
// leave out):
//
//   Client (1 h own)
//   ├── Design                 1 h
//   └── Development (1 h own)
//       ├── Backend            1 h
//       └── Frontend           1 h
class TaskTree : public TaskTotals {
protected:
    TaskTree() {
        client = newTask("Client");
        design = newChild(client, "Design");
        development = newChild(client, "Development");
        backend = newChild(development, "Backend");
        frontend = newChild(development, "Frontend");
        int hour = 8;
        for (ZRCDTask* task : {client, design, development, backend, frontend}) {
            stoppedTiming(task, berlin(2024, 3, 4, hour), berlin(2024, 3, 4, hour + 1));
            ++hour;
        }
    }
    ZRCDTask* client;
    ZRCDTask* design;
    ZRCDTask* development;
    ZRCDTask* backend;
    ZRCDTask* frontend;
};

TEST_F(TaskTree, AParentCountsThroughItsSubtasksAndArchivedOnesOnlyWhenAsked) {
    EXPECT_EQ(between(client, march4, march4), 3 * 3600);
    EXPECT_EQ(between(development, march4, march4), 2 * 3600);
    EXPECT_EQ(between(design, march4, march4), 3600);

    frontend->setIsArchived(true);
    design->setIsArchived(true);
    EXPECT_EQ(between(client, march4, march4, false), 3 * 3600);
    EXPECT_EQ(between(client, march4, march4, true), 3600);
    EXPECT_EQ(between(design, march4, march4, true), 0);
    EXPECT_EQ(getAllTimeExcludingRunningTimings(*client, true), 3 * 3600);
    // The unrounded time ever without archived leaves passes through an archived middle tier.
    development->setIsArchived(true);
    EXPECT_EQ(between(client, march4, march4, true), 0);
    EXPECT_EQ(getAllTimeExcludingArchivedDescendants(*client), 3600);
    EXPECT_EQ(getAllTimeExcludingArchivedDescendants(*design), 3600);

    client->setIsArchived(true);
    EXPECT_EQ(between(client, march4, march4, true), 0);
    EXPECT_EQ(between(client, march4, march4, false), 3 * 3600);
}

TEST_F(TaskTree, TheStatisticsArchiveFilterDecidesWhichSubtasksCount) {
    frontend->setIsArchived(true);
    defaults.setInteger(kZRShowTasks, 2);  // unarchived only
    EXPECT_EQ(getTimeConsideringArchivedStateBetweenStartZRDate(*client, march4, march4, context),
              2 * 3600);
    defaults.setInteger(kZRShowTasks, 1);  // archived, and tasks holding archived ones
    EXPECT_EQ(getTimeConsideringArchivedStateBetweenStartZRDate(*client, march4, march4, context),
              3600);
    defaults.setInteger(kZRShowTasks, 3);  // all
    EXPECT_EQ(getTimeConsideringArchivedStateBetweenStartZRDate(*client, march4, march4, context),
              3 * 3600);
    EXPECT_EQ(getTimeConsideringArchivedStateBetweenStartZRDate(*client, march5, march5, context),
              0);
}

TEST_F(TaskTree, SubtasksRoundByTheRuleTheyInherit) {
    // 10 minutes more on Design and Backend; with "nearest 15" inherited from Client, each hour
    // and ten minutes becomes an hour and a quarter.
    stoppedTiming(design, berlin(2024, 3, 4, 18), berlin(2024, 3, 4, 18, 10));
    stoppedTiming(backend, berlin(2024, 3, 4, 18), berlin(2024, 3, 4, 18, 10));
    client->setRounding(215);
    ASSERT_TRUE(refreshRounding());
    EXPECT_EQ(between(design, march4, march4), 3600 + 900);
    EXPECT_EQ(between(backend, march4, march4), 3600 + 900);
    EXPECT_EQ(between(client, march4, march4), 3 * 3600 + 2 * 900);
    EXPECT_EQ(between(client, march4, march4),
              between(design, march4, march4) + between(development, march4, march4));
    // Development explicitly does not round: its subtasks inherit that.
    development->setRounding(15);
    EXPECT_EQ(between(backend, march4, march4), 3600 + 600);
    EXPECT_EQ(between(client, march4, march4), 3 * 3600 + 900 + 600);
}

TEST_F(TaskTree, WithoutAnyRoundingRuleRoundedTotalsArePlain) {
    stoppedTiming(design, berlin(2024, 3, 4, 18), berlin(2024, 3, 4, 18, 10));
    development->setRounding(15);  // explicitly none
    design->setRounding(0);
    EXPECT_FALSE(refreshRounding());
    const double plain = between(client, march4, march4);
    EXPECT_EQ(plain, 3 * 3600 + 600);
    flag.setRoundingEnabled(true);  // the flag only saves work; the values agree
    EXPECT_EQ(between(client, march4, march4), plain);
    // A tier-1 task that inherits has no rule to inherit.
    ZRCDTask* solo = newTask("Solo");
    stoppedTiming(solo, berlin(2024, 3, 4, 18), berlin(2024, 3, 4, 18, 10));
    EXPECT_EQ(between(solo, march4, march4), 600);
    // While the flag is off a rule is not applied; refreshing turns it on.
    solo->setRounding(115);
    flag.setRoundingEnabled(false);
    EXPECT_EQ(between(solo, march4, march4), 600);
    EXPECT_TRUE(refreshRounding());
    EXPECT_EQ(between(solo, march4, march4), 900);
}

TEST_F(TaskTree, TheMenuBarRowsGetTheSameTotalsInOneCall) {
    client->setRounding(115);
    frontend->setIsArchived(true);
    stoppedTiming(backend, berlin(2024, 3, 1, 8), berlin(2024, 3, 1, 8, 10));  // last week
    runningTimingFrom(design, berlin(2024, 3, 4, 22), berlin(2024, 3, 5, 10));
    ASSERT_TRUE(refreshRounding());
    const std::vector<ZRCDTask*> rows = {client, design, development, backend, frontend};
    for (std::int64_t period : {0, 1, 2, 3}) {
        for (bool excludingArchived : {false, true}) {
            const auto totals = getMenuBarTotals(rows, period, excludingArchived);
            ASSERT_EQ(totals.size(), rows.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const ZRCDTask& task = *rows[i];
                EXPECT_EQ(totals[i].periodTotal,
                          getTimeForMenuBarCustomDuration(task, period, excludingArchived))
                    << i << " " << period;
                EXPECT_EQ(totals[i].totalEver, excludingArchived
                                                   ? getAllTimeExcludingArchivedDescendants(task)
                                                   : getAllTimeExcludingRunningTimings(task, false))
                    << i;
            }
        }
    }
    // Spot checks: this week (from Sunday 3 March) rounded, the design timer unrounded.
    const auto week = getMenuBarTotals(rows, 1, true);
    EXPECT_EQ(week[0].periodTotal, 3600 + 12 * 3600 + 3600);
    EXPECT_EQ(week[0].totalEver, 3600 + 12 * 3600 + 3600 + 600);
    EXPECT_TRUE(getMenuBarTotals({}, 1, false).empty());
}

// A timer started yesterday at 22:00 (cut-off 0), now 02:00. It was assigned to yesterday's
// aggregate when it started; today has none for it yet.
TEST_F(TaskTotals, ATimerRunningSinceYesterdayCountsOnBothDays) {
    ZRCDTask* task = newTask("Overnight");
    ZRCDTiming* timing = runningTimingFrom(task, berlin(2024, 3, 4, 22), berlin(2024, 3, 5, 2));
    stoppedTiming(task, berlin(2024, 3, 5, 1), berlin(2024, 3, 5, 1, 30));  // today's set exists
    ASSERT_EQ(timing->timingSets().size(), 1u);

    EXPECT_EQ(getTimeTodayExcludingRunningTimings(*task, false), 7200 + 1800);
    EXPECT_EQ(getTimeTodayExcludingRunningTimings(*task, true), 1800);
    EXPECT_EQ(between(task, march4, march4), 7200);
    EXPECT_EQ(between(task, march4, march5), 4 * 3600 + 1800);
    EXPECT_EQ(between(task, march4, march5, false, true), 1800);
    EXPECT_EQ(getAllTimeExcludingRunningTimings(*task, false), 4 * 3600 + 1800);
    EXPECT_EQ(getAllTimeExcludingArchivedDescendants(*task), 4 * 3600 + 1800);
    // Rounded totals count running time unrounded.
    task->setRounding(160);
    ASSERT_TRUE(refreshRounding());
    EXPECT_EQ(getTimeTodayExcludingRunningTimings(*task, false), 7200 + 3600);
    // Once the timing is assigned again (as when it stops), nothing is counted twice.
    ZRCDTimingSet::assignTimingSetsToTiming(timing, true, context);
    ASSERT_EQ(timing->timingSets().size(), 2u);
    flag.setRoundingEnabled(false);
    EXPECT_EQ(between(task, march4, march5), 4 * 3600 + 1800);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "core/totals/TimingSetTotals.h"
#include "tests/core/totals/TotalsTestSupport.h"

namespace ravelong {
namespace {

using namespace timing_set_totals;

class TimingSetTotals : public totals_testing::TotalsTest {
protected:
    const ZRDate today = dayNumber(2024, 3, 5);
};

TEST_F(TimingSetTotals, TheCacheIsFilledWhileRoundingIsEnabledAndTheRuleRounds) {
    ZRCDTask* task = newTask("Support");
    task->setRounding(115);
    stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    ZRCDTimingSet* set = setOn(task, today);
    // Rounding off: nothing is cached, and the set still answers with rounded values.
    EXPECT_EQ(set->cachedRounding(), -1);
    EXPECT_EQ(set->roundedDuration(), -1.0);
    EXPECT_EQ(durationExcludingRunningTimingsWithRounding(*set), 900);

    ASSERT_TRUE(refreshRounding());
    stoppedTiming(task, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9, 20));
    EXPECT_EQ(set->cachedRounding(), 115);
    EXPECT_EQ(set->roundedDuration(), 900 + 1800);
    EXPECT_EQ(set->durationExcludingRunningTimings(), 1800);
    EXPECT_EQ(durationExcludingRunningTimingsWithRounding(*set), 2700);
    EXPECT_EQ(durationWithRounding(*set), 2700);
    EXPECT_EQ(durationWithRoundingAfter(*set), 1800);  // the day's 30 minutes rounded as one

    // A rule that no longer rounds empties the cache on the next recalculation.
    task->setRounding(15);
    set->recalculateDuration();
    EXPECT_EQ(set->cachedRounding(), -1);
    EXPECT_EQ(set->roundedDuration(), -1.0);
    EXPECT_EQ(durationWithRounding(*set), 1800);
}

TEST_F(TimingSetTotals, ACacheOfAnotherRuleIsNotUsed) {
    ASSERT_FALSE(refreshRounding());
    ZRCDTask* parent = newTask("Client");
    ZRCDTask* child = newChild(parent, "Meetings");
    parent->setRounding(115);
    flag.setRoundingEnabled(true);
    stoppedTiming(child, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    ZRCDTimingSet* set = setOn(child, today);
    ASSERT_EQ(set->cachedRounding(), 115);
    ASSERT_EQ(set->roundedDuration(), 900);

    // The parent's rule changes behind the cache's back (as a sync would change it): the child's
    // set is not visited, and its stale 900 is not read.
    parent->setRounding(360);
    EXPECT_EQ(durationExcludingRunningTimingsWithRounding(*set), 0);
    EXPECT_EQ(durationWithRounding(*set), 0);
    // A poisoned cache for the current rule would be used: the comparison is what protects it.
    set->setCachedRounding(360);
    set->setRoundedDuration(42);
    EXPECT_EQ(durationExcludingRunningTimingsWithRounding(*set), 42);
}

TEST_F(TimingSetTotals, TimingsOfFiveSecondsOrLessAreLeftOutOfRoundedTotals) {
    flag.setRoundingEnabled(true);
    ZRCDTask* task = newTask("Clicks");
    task->setRounding(115);
    stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 0, 5));   // 5 s
    stoppedTiming(task, berlin(2024, 3, 5, 8, 1), berlin(2024, 3, 5, 8, 21));  // 20 min
    ZRCDTimingSet* set = setOn(task, today);
    EXPECT_EQ(set->durationExcludingRunningTimings(), 1205);  // the plain total keeps them
    EXPECT_EQ(set->roundedDuration(), 1800);
    stoppedTiming(task, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9, 0, 6));  // 6 s
    EXPECT_EQ(set->roundedDuration(), 2700);
    // Computed without the cache, the same.
    set->setCachedRounding(-1);
    EXPECT_EQ(durationExcludingRunningTimingsWithRounding(*set), 2700);
    EXPECT_EQ(durationWithRounding(*set), 2700);
}

TEST_F(TimingSetTotals, RunningTimingsAddTheirPartOfTheDayUnroundedOnceBeyondFiveSeconds) {
    flag.setRoundingEnabled(true);
    ZRCDTask* task = newTask("Writing");
    task->setRounding(115);
    stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    runningTimingFrom(task, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9, 0, 5));
    ZRCDTimingSet* set = setOn(task, today);
    ASSERT_TRUE(set->running());
    EXPECT_EQ(durationWithRounding(*set), 900);
    EXPECT_EQ(durationExcludingRunningTimingsWithRounding(*set), 900);
    clock.set(berlin(2024, 3, 5, 9, 7));
    EXPECT_EQ(durationWithRounding(*set), 900 + 420);
    EXPECT_EQ(durationExcludingRunningTimingsWithRounding(*set), 900);
    EXPECT_EQ(set->duration(), 600 + 420);
    set->setCachedRounding(-1);  // the uncached path agrees
    EXPECT_EQ(durationWithRounding(*set), 900 + 420);
}

TEST_F(TimingSetTotals, ReadingTotalsChangesNothing) {
    flag.setRoundingEnabled(true);
    ZRCDTask* task = newTask("Read only");
    task->setRounding(115);
    stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    ZRCDTimingSet* set = setOn(task, today);
    set->setCachedRounding(-1);
    ASSERT_TRUE(context.save());
    EXPECT_EQ(durationWithRounding(*set), 900);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(today, false, false, context), 900);
    EXPECT_FALSE(context.hasChanges());
    EXPECT_EQ(set->cachedRounding(), -1);
}

// Sums over all sets: two tasks, one archived, one rounding; days 4 and 5 March and one set far
// back, so the long range reads all sets and the short ones look days up.
TEST_F(TimingSetTotals, SumsOverAllSetsChooseTheirValueAndLeaveOutArchivedTasksWhenAsked) {
    ZRCDTask* plain = newTask("Plain");
    ZRCDTask* rounded = newTask("Rounded");
    rounded->setRounding(115);
    stoppedTiming(plain, berlin(2024, 3, 4, 8), berlin(2024, 3, 4, 8, 10));
    stoppedTiming(plain, berlin(2014, 3, 4, 8), berlin(2014, 3, 4, 9));
    stoppedTiming(rounded, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    runningTimingFrom(rounded, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9, 10));
    ASSERT_TRUE(refreshRounding());
    const ZRDate march4 = dayNumber(2024, 3, 4);

    // Rounding on: 600 + 3600 plain, 900 rounded, 600 running (unrounded).
    EXPECT_EQ(getTotalTimeInSecondsExcludingArchivedTasks(false, false, context), 5700);
    EXPECT_EQ(getTotalTimeInSecondsExcludingArchivedTasks(false, true, context), 5100);
    EXPECT_EQ(getTotalTimeInSecondsBetweenZRDate(march4, today, false, false, context), 2100);
    EXPECT_EQ(getTotalTimeInSecondsBetweenZRDate(march4, today, false, true, context), 1500);
    EXPECT_EQ(getTotalTimeInSecondsBetweenZRDate(0, 100000, false, true, context), 5100);
    EXPECT_EQ(getTotalTimeInSecondsBetweenZRDate(today, march4, false, true, context), 0);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(today, false, false, context), 1500);

    rounded->setIsArchived(true);
    EXPECT_EQ(getTotalTimeInSecondsExcludingArchivedTasks(true, false, context), 4200);
    EXPECT_EQ(getTotalTimeInSecondsBetweenZRDate(march4, today, true, false, context), 600);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(today, true, false, context), 0);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(today, false, true, context), 900);

    // Rounding off: the plain values.
    flag.setRoundingEnabled(false);
    EXPECT_EQ(getTotalTimeInSecondsExcludingArchivedTasks(false, false, context), 5400);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(today, false, true, context), 600);
}

TEST_F(TimingSetTotals, SumsCountATimerRunningSinceYesterdayOnBothDays) {
    // Started yesterday 22:00 (cut-off 0), now 02:00: it has yesterday's set only.
    ZRCDTask* task = newTask("Overnight");
    runningTimingFrom(task, berlin(2024, 3, 4, 22), berlin(2024, 3, 5, 2));
    const ZRDate yesterday = dayNumber(2024, 3, 4);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(today, false, false, context), 7200);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(today, false, true, context), 0);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(yesterday, false, false, context), 7200);
    EXPECT_EQ(getTotalTimeInSecondsBetweenZRDate(yesterday, today, false, false, context),
              4 * 3600);
    EXPECT_EQ(getTotalTimeInSecondsExcludingArchivedTasks(false, false, context), 4 * 3600);
    task->setIsArchived(true);
    EXPECT_EQ(getTotalTimeInSecondsForZRDate(today, true, false, context), 0);
}

TEST_F(TimingSetTotals, StaleCachesAreFilledInOnePass) {
    ZRCDTask* rounded = newTask("Rounded");
    ZRCDTask* plain = newTask("Plain");
    rounded->setRounding(115);
    for (int day : {4, 5}) {
        stoppedTiming(rounded, berlin(2024, 3, day, 8), berlin(2024, 3, day, 8, 10));
        stoppedTiming(plain, berlin(2024, 3, day, 8), berlin(2024, 3, day, 8, 10));
    }
    // Written while rounding was off: no caches. With the flag still off, nothing is filled.
    EXPECT_EQ(recalculateStaleRoundedDurations_inContext(context), 0u);
    ASSERT_TRUE(refreshRounding());
    EXPECT_EQ(recalculateStaleRoundedDurations_inContext(context), 2u);
    for (const ZRCDTimingSet* set : rounded->timingSets()) {
        EXPECT_EQ(set->cachedRounding(), 115);
        EXPECT_EQ(set->roundedDuration(), 900);
    }
    for (const ZRCDTimingSet* set : plain->timingSets())
        EXPECT_EQ(set->cachedRounding(), -1);
    EXPECT_EQ(recalculateStaleRoundedDurations_inContext(context), 0u);
    // A rule changed elsewhere makes them stale again.
    rounded->setRounding(330);
    EXPECT_EQ(recalculateStaleRoundedDurations_inContext(context), 2u);
    EXPECT_EQ(setOn(rounded, today)->roundedDuration(), 0);
}

}  // namespace
}  // namespace ravelong

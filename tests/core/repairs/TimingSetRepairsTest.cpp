#include <gtest/gtest.h>

#include "core/repairs/TimingSetRepairs.h"
#include "core/tree/TreeTexts.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;
using model_testing::splitIntoDuplicateSet;
using TimingSetRepairs = ModelTest;

TEST_F(TimingSetRepairs, SoundAggregatesAreLeftAlone) {
    ZRCDTask* task = newTask("Design");
    stoppedTiming(task, berlin(2024, 3, 4, 23, 0), berlin(2024, 3, 5, 1, 0));
    stoppedTiming(task, berlin(2024, 3, 5, 9, 0), berlin(2024, 3, 5, 9, 30));
    EXPECT_FALSE(store_repairs::fixTimingSetsAndTimings_inContext(context));
    EXPECT_EQ(numberOfSets(), 2u);
}

TEST_F(TimingSetRepairs, TimingWithoutTaskIsKeptUnderARecoveredTask) {
    ZRCDTask* task = newTask("Design");
    ZRCDTiming* orphan = stoppedTiming(task, berlin(2024, 3, 4, 9, 0), berlin(2024, 3, 4, 10, 0));
    context.deleteObject(task);  // as a merge with a computer that deleted the task leaves it
    ASSERT_EQ(orphan->task(), nullptr);

    EXPECT_TRUE(store_repairs::fixTimingSetsAndTimings_inContext(context));
    ASSERT_FALSE(orphan->isDeleted());
    ASSERT_NE(orphan->task(), nullptr);
    EXPECT_EQ(orphan->task()->taskName(), std::string(kRecoveredTask));
    ASSERT_EQ(setsOf(orphan->task()).size(), 1u);
    EXPECT_DOUBLE_EQ(setsOf(orphan->task())[0]->durationExcludingRunningTimings(), 3600.0);
    // Aggregates left without task are gone.
    for (ZRCDTimingSet* set : context.fetchAll<ZRCDTimingSet>())
        EXPECT_NE(set->task(), nullptr);
}

TEST_F(TimingSetRepairs, TwoAggregatesOfOneTaskAndDayBecomeOneWithTheSum) {
    ZRCDTask* task = newTask("Design");
    stoppedTiming(task, berlin(2024, 3, 4, 9, 0), berlin(2024, 3, 4, 10, 0));
    ZRCDTiming* second = stoppedTiming(task, berlin(2024, 3, 4, 11, 0), berlin(2024, 3, 4, 11, 30));
    splitIntoDuplicateSet(second, context);
    ASSERT_EQ(numberOfSets(), 2u);

    // The day groups alone find and merge them, without the timings' own reassignment.
    EXPECT_TRUE(store_repairs::fixAllTimingSets_inContext(context));
    ASSERT_EQ(numberOfSets(), 1u);
    ZRCDTimingSet* merged = setsOf(task)[0];
    EXPECT_EQ(merged->timings().size(), 2u);
    EXPECT_DOUBLE_EQ(merged->durationExcludingRunningTimings(), 5400.0);
    EXPECT_EQ(second->firstTimingSet(), merged);

    // The same through the whole repair.
    ZRCDTiming* third = stoppedTiming(task, berlin(2024, 3, 4, 12, 0), berlin(2024, 3, 4, 12, 10));
    splitIntoDuplicateSet(third, context);
    EXPECT_TRUE(store_repairs::fixTimingSetsAndTimings_inContext(context));
    ASSERT_EQ(numberOfSets(), 1u);
    EXPECT_DOUBLE_EQ(setsOf(task)[0]->durationExcludingRunningTimings(), 6000.0);
}

TEST_F(TimingSetRepairs, WrongDayKeysStaleTotalsAndEmptyAggregatesAreRepaired) {
    ZRCDTask* task = newTask("Design");
    ZRCDTiming* timing = stoppedTiming(task, berlin(2024, 3, 4, 9, 0), berlin(2024, 3, 4, 10, 0));
    ZRCDTimingSet* set = timing->firstTimingSet();
    set->setDay(20240399);
    set->setDuration(1.0);
    auto* empty = context.insertNewObject<ZRCDTimingSet>();
    empty->setTask(task);
    empty->setAbsDay(dayNumber(2024, 3, 1));
    auto* ownerless = context.insertNewObject<ZRCDTimingSet>();
    ownerless->setAbsDay(dayNumber(2024, 3, 2));

    EXPECT_TRUE(store_repairs::fixAllTimingSets_inContext(context));
    EXPECT_EQ(set->day(), 20240304);
    EXPECT_DOUBLE_EQ(set->durationExcludingRunningTimings(), 3600.0);
    EXPECT_TRUE(empty->isDeleted());
    EXPECT_TRUE(ownerless->isDeleted());
    EXPECT_FALSE(store_repairs::fixAllTimingSets_inContext(context));
}

TEST_F(TimingSetRepairs, TimingAssignedToTheWrongDaysIsMovedToItsOwn) {
    ZRCDTask* task = newTask("Design");
    ZRCDTiming* timing = stoppedTiming(task, berlin(2024, 3, 4, 9, 0), berlin(2024, 3, 4, 10, 0));
    auto* wrong = context.insertNewObject<ZRCDTimingSet>();
    wrong->setTask(task);
    wrong->setAbsDay(dayNumber(2024, 2, 1));
    timing->addTimingSetsObject(wrong);

    EXPECT_TRUE(store_repairs::fixTimingSetsAndTimings_inContext(context));
    EXPECT_EQ(timing->timingSets().size(), 1u);
    EXPECT_EQ(timing->absDay(), dayNumber(2024, 3, 4));
    EXPECT_TRUE(wrong->isDeleted());
}

// After an import the days the import reached are put right as the whole repair would put them;
// the days it did not reach are not read.
TEST_F(TimingSetRepairs, TheRepairOfChangesPutsRightTheDaysTheChangesReachedAndOnlyThose) {
    ZRCDTask* task = newTask("Design");
    stoppedTiming(task, berlin(2024, 3, 4, 9, 0), berlin(2024, 3, 4, 10, 0));
    ZRCDTiming* elsewhere =
        stoppedTiming(task, berlin(2024, 3, 6, 9, 0), berlin(2024, 3, 6, 10, 0));
    elsewhere->firstTimingSet()->setDuration(1.0);  // stale, on a day nothing below touches
    ASSERT_TRUE(context.save().ok());
    EXPECT_FALSE(store_repairs::fixTimingSetsAndTimingsOfChanges_inContext(context));

    // As an import leaves them: a second aggregate of an old day, a new day with a stale total,
    // and a new aggregate with no timing.
    ZRCDTiming* sameDay =
        stoppedTiming(task, berlin(2024, 3, 4, 11, 0), berlin(2024, 3, 4, 11, 30));
    splitIntoDuplicateSet(sameDay, context);
    ZRCDTiming* newDay = stoppedTiming(task, berlin(2024, 3, 8, 22, 0), berlin(2024, 3, 9, 1, 0));
    newDay->firstTimingSet()->setDuration(5.0);
    auto* empty = context.insertNewObject<ZRCDTimingSet>();
    empty->setTask(task);
    empty->setAbsDay(dayNumber(2024, 3, 10));

    EXPECT_TRUE(store_repairs::fixTimingSetsAndTimingsOfChanges_inContext(context));
    std::vector<std::pair<ZRDate, double>> totals;
    for (ZRCDTimingSet* set : setsOf(task))
        totals.emplace_back(set->absDay(), set->durationExcludingRunningTimings());
    const std::vector<std::pair<ZRDate, double>> expected = {{dayNumber(2024, 3, 4), 5400.0},
                                                             {dayNumber(2024, 3, 6), 1.0},
                                                             {dayNumber(2024, 3, 8), 7200.0},
                                                             {dayNumber(2024, 3, 9), 3600.0}};
    EXPECT_EQ(totals, expected);
    EXPECT_EQ(sameDay->firstTimingSet()->timings().size(), 2u);
    EXPECT_TRUE(empty->isDeleted());

    // The whole repair agrees on the days the changes reached, and mends the stale one.
    EXPECT_TRUE(store_repairs::fixTimingSetsAndTimings_inContext(context));
    EXPECT_DOUBLE_EQ(elsewhere->firstTimingSet()->durationExcludingRunningTimings(), 3600.0);
    EXPECT_EQ(setsOf(task).size(), 4u);
    EXPECT_DOUBLE_EQ(sameDay->firstTimingSet()->durationExcludingRunningTimings(), 5400.0);
}

}  // namespace
}  // namespace ravelong

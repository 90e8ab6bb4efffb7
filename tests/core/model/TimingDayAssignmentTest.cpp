#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/model/ZRCDOrigin.h"
#include "foundation/Log.h"
#include "store/ZRUndoManager.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using TimingDayAssignment = ModelTest;

TEST_F(TimingDayAssignment, ATimerStartedNowRunsFromHalfASecondAgoOnTodayUnderTheCutoff) {
    // 02:30 with cut-off 4: the day of 4 March has not ended yet.
    setNewDay(4);
    clock.set(berlin(2024, 3, 5, 2, 30));
    ZRCDTask* task = newTask("Design");
    ZRCDTiming* timing = ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    ASSERT_NE(timing, nullptr);

    EXPECT_EQ(*timing->modified(), clock.now());
    EXPECT_EQ(*timing->startDate(), clock.now() - 0.5);
    EXPECT_EQ(*timing->endDate(), kSentinelDate);
    EXPECT_TRUE(timing->running());
    EXPECT_EQ(timing->timezone(), "Europe/Berlin");
    EXPECT_EQ(timing->newDayOffset(), 4 * 3600);
    EXPECT_EQ(*task->updatedDate(), clock.now());
    ASSERT_NE(timing->origin(), nullptr);
    EXPECT_EQ(timing->origin()->type(), 0);
    EXPECT_EQ(timing->origin()->udid(), model_testing::kTestUDID);

    ASSERT_EQ(timing->timingSets().size(), 1u);
    ZRCDTimingSet* set = timing->firstTimingSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->absDay(), dayNumber(2024, 3, 4));
    EXPECT_EQ(set->day(), 20240304);
    EXPECT_EQ(timing->absDay(), dayNumber(2024, 3, 4));
    EXPECT_TRUE(set->running());
    EXPECT_EQ(set->durationExcludingRunningTimings(), 0.0);

    // A running timing counts in its day only after five seconds.
    clock.advance(4.0);
    EXPECT_EQ(set->duration(), 0.0);
    clock.advance(56.0);
    EXPECT_DOUBLE_EQ(set->duration(), 60.5);
    EXPECT_DOUBLE_EQ(timing->duration(), 60.5);
    // A start moved into the future runs for no time yet.
    timing->setStartDate(clock.now() + 100.0);
    EXPECT_EQ(timing->duration(), 0.0);
}

// The days a stopped timing touches, by the cut-off (Berlin):
//   4 Mar 23:00 -> 5 Mar 01:00, cut-off 0:  |-- 4 Mar --|00:00|-- 5 Mar --|  3600 s each
//   4 Mar 23:00 -> 5 Mar 01:00, cut-off 2:  |--- 4 Mar (until 02:00) ---|    one day, 7200 s
//   4 Mar 01:00 -> 04:00, cut-off 4:        the day of 3 March only; an end exactly at the
//   4 Mar 01:00 -> 04:00:01, cut-off 4:     cut-off does not touch the next day, a second more does
TEST_F(TimingDayAssignment, ATimingTouchesTheDaysItReachesUpToTheCutoffExclusive) {
    struct Case {
        int cutoff;
        Instant start, end;
        std::vector<std::pair<ZRYearMonthDay, double>> days;
    };
    const Case cases[] = {
        {0, berlin(2024, 3, 4, 23), berlin(2024, 3, 5, 1), {{20240304, 3600}, {20240305, 3600}}},
        {2, berlin(2024, 3, 4, 23), berlin(2024, 3, 5, 1), {{20240304, 7200}}},
        {4, berlin(2024, 3, 4, 1), berlin(2024, 3, 4, 4), {{20240303, 3 * 3600}}},
        {4,
         berlin(2024, 3, 4, 1),
         berlin(2024, 3, 4, 4, 0, 1),
         {{20240303, 3 * 3600}, {20240304, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cut-off " << c.cutoff << ", end " << c.end);
        setNewDay(c.cutoff);
        ZRCDTask* task = newTask("Night shift");
        ZRCDTiming* timing = stoppedTiming(task, c.start, c.end);
        EXPECT_EQ(timing->newDayOffset(), c.cutoff * 3600);
        std::vector<std::pair<ZRYearMonthDay, double>> days;
        for (ZRCDTimingSet* set : setsOf(task)) {
            days.emplace_back(set->day(), set->duration());
            EXPECT_EQ(set->absDay(),
                      dayNumber(set->day() / 10000, set->day() / 100 % 100, set->day() % 100));
            EXPECT_FALSE(set->running());
        }
        EXPECT_EQ(days, c.days);
        EXPECT_EQ(timing->firstTimingSet(), setsOf(task).front());
    }
}

TEST_F(TimingDayAssignment, StoppingARunningTimingAfterMidnightAddsTheNewDay) {
    clock.set(berlin(2024, 3, 4, 23, 30));
    ZRCDTask* task = newTask("Deploy");
    ZRCDTiming* timing = ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    ASSERT_EQ(setsOf(task).size(), 1u);

    clock.set(berlin(2024, 3, 5, 0, 30));
    timing->setEndDate(clock.now());
    auto sets = setsOf(task);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_FALSE(sets[0]->running());
    EXPECT_DOUBLE_EQ(sets[0]->duration(), 1800.5);
    EXPECT_DOUBLE_EQ(sets[1]->duration(), 1800.0);
    EXPECT_EQ(timing->firstTimingSet(), sets[0]);
}

TEST_F(TimingDayAssignment, ChangingTheTaskMovesTheAggregatesAndDeletesEmptiedOnes) {
    ZRCDTask* from = newTask("From");
    ZRCDTask* to = newTask("To");
    ZRCDTiming* moving = stoppedTiming(from, berlin(2024, 3, 4, 23), berlin(2024, 3, 5, 1));
    ZRCDTiming* staying = stoppedTiming(from, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 10));
    ASSERT_EQ(setsOf(from).size(), 2u);

    moving->setTask(to);

    // 4 March had only the moved timing: gone. 5 March keeps the other one, recalculated.
    auto fromSets = setsOf(from);
    ASSERT_EQ(fromSets.size(), 1u);
    EXPECT_EQ(fromSets[0]->absDay(), dayNumber(2024, 3, 5));
    EXPECT_THAT(fromSets[0]->timings().toVector(), ElementsAre(staying));
    EXPECT_DOUBLE_EQ(fromSets[0]->duration(), 3600.0);

    auto toSets = setsOf(to);
    ASSERT_EQ(toSets.size(), 2u);
    EXPECT_DOUBLE_EQ(toSets[0]->duration() + toSets[1]->duration(), 7200.0);
    EXPECT_EQ(moving->firstTimingSet(), toSets[0]);
    EXPECT_EQ(numberOfSets(), 3u);
}

TEST_F(TimingDayAssignment, ShorteningATimingDropsTheDayItNoLongerTouches) {
    ZRCDTask* task = newTask("Edit");
    ZRCDTiming* timing = stoppedTiming(task, berlin(2024, 3, 4, 23), berlin(2024, 3, 5, 1));
    timing->setStartDate(berlin(2024, 3, 5, 0, 15));
    auto sets = setsOf(task);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(timing->firstTimingSet(), sets[0]);
    EXPECT_EQ(timing->absDay(), dayNumber(2024, 3, 5));
    EXPECT_DOUBLE_EQ(sets[0]->duration(), 2700.0);
    EXPECT_EQ(numberOfSets(), 1u);
}

TEST_F(TimingDayAssignment, FieldsSetWhileOthersAreMissingTriggerNothingUntilTheLast) {
    ZRCDTask* task = newTask("Pieces");
    const Instant before = *task->updatedDate();
    auto* timing = context.insertNewObject<ZRCDTiming>();
    timing->setTask(task);
    timing->setStartDate(berlin(2024, 3, 5, 8));
    timing->setEndDate(berlin(2024, 3, 5, 9));
    timing->setTimezone(std::string("Europe/Berlin"));
    timing->setUuid(std::string("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
    EXPECT_THAT(timing->timingSets().toVector(), IsEmpty());  // newDayOffset still -1

    clock.advance(30.0);
    timing->setNewDayOffset(0);
    ASSERT_EQ(timing->timingSets().size(), 1u);
    EXPECT_DOUBLE_EQ(timing->firstTimingSet()->duration(), 3600.0);
    EXPECT_EQ(*task->updatedDate(), before + 30.0);
}

TEST_F(TimingDayAssignment, TwoAggregatesOfOneDayAreMergedOnTheNextLookup) {
    // A merge of two stores can leave two aggregates of one task and day.
    ZRCDTask* task = newTask("Merged");
    ZRCDTiming* first = stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 9));
    auto* duplicate = context.insertNewObject<ZRCDTimingSet>();
    duplicate->setTask(task);
    duplicate->setAbsDay(dayNumber(2024, 3, 5));
    duplicate->setDay(20240305);
    // The other store's timing, linked as the merge left it (its day assignment has not run).
    auto* second = context.insertNewObject<ZRCDTiming>();
    second->setTask(task);
    second->setStartDate(berlin(2024, 3, 5, 11));
    second->setEndDate(berlin(2024, 3, 5, 11, 30));
    second->addTimingSetsObject(duplicate);
    second->setFirstTimingSet(duplicate);
    second->setTimezone(std::string("Europe/Berlin"));
    duplicate->recalculateDuration();
    ASSERT_EQ(setsOf(task).size(), 2u);
    ASSERT_TRUE(context.undoManager()->canUndo());

    ZRCDTimingSet* merged = task->timingSetForAbsDay(dayNumber(2024, 3, 5), context);
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(setsOf(task).size(), 1u);
    EXPECT_EQ(merged->timings().size(), 2u);
    EXPECT_TRUE(merged->timings().contains(first));
    EXPECT_TRUE(merged->timings().contains(second));
    EXPECT_EQ(second->firstTimingSet(), merged);
    EXPECT_DOUBLE_EQ(merged->duration(), 5400.0);
    // The merge is no undo step, and the steps before it can no longer be undone.
    EXPECT_FALSE(context.undoManager()->canUndo());

    // Met by a timing's own assignment, a merge counts as a change even though the timing ends
    // up in the aggregate it had.
    auto* again = context.insertNewObject<ZRCDTimingSet>();
    again->setTask(task);
    again->setAbsDay(dayNumber(2024, 3, 5));
    EXPECT_TRUE(ZRCDTimingSet::assignTimingSetsToTiming(first, false, context));
    EXPECT_EQ(setsOf(task).size(), 1u);
    EXPECT_FALSE(ZRCDTimingSet::assignTimingSetsToTiming(first, false, context));
}

TEST_F(TimingDayAssignment, UndoingATimerStartTakesAwayItsAggregateAndRedoBringsItBack) {
    ZRCDTask* task = newTask("Undoable");
    context.processPendingChanges();
    ZRUndoManager& undo = *context.undoManager();
    undo.beginUndoGrouping();
    ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    undo.setActionName("Start Timer");
    undo.endUndoGrouping();
    ASSERT_EQ(numberOfSets(), 1u);

    undo.undo();
    EXPECT_EQ(context.count<ZRCDTiming>(), 0u);
    EXPECT_EQ(numberOfSets(), 0u);
    EXPECT_THAT(task->timingSets().toVector(), IsEmpty());

    undo.redo();
    ASSERT_EQ(context.count<ZRCDTiming>(), 1u);
    ASSERT_EQ(numberOfSets(), 1u);
    EXPECT_EQ(context.fetchAll<ZRCDTiming>().front()->firstTimingSet(),
              context.fetchAll<ZRCDTimingSet>().front());
}

TEST_F(TimingDayAssignment, DeletingOrDetachingATimingKeepsTheAggregatesRight) {
    ZRCDTask* task = newTask("Delete");
    ZRCDTiming* a = stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 9));
    ZRCDTiming* b = stoppedTiming(task, berlin(2024, 3, 5, 10), berlin(2024, 3, 5, 10, 30));
    ZRCDTiming* c = stoppedTiming(task, berlin(2024, 3, 6, 10), berlin(2024, 3, 6, 11));

    ZRCDTiming::deleteTimingAndUpdateTimingSets(a, context);
    auto sets = setsOf(task);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_DOUBLE_EQ(sets[0]->duration(), 1800.0);

    ZRCDTiming::deleteTimingAndUpdateTimingSets(b, context);
    EXPECT_EQ(setsOf(task).size(), 1u);

    // A timing taken from its task no longer counts for it.
    c->setTask(nullptr);
    EXPECT_THAT(task->timingSets().toVector(), IsEmpty());
    EXPECT_EQ(c->firstTimingSet(), nullptr);
    EXPECT_EQ(numberOfSets(), 0u);
}

TEST_F(TimingDayAssignment, ATimingSpanningAbsurdlyManyDaysIsNotSpreadOverThem) {
    ZRCDTask* task = newTask("Corrupt");
    auto* timing = context.insertNewObject<ZRCDTiming>();
    timing->setTask(task);
    timing->setTimezone(std::string("Europe/Berlin"));
    timing->setNewDayOffset(0);
    timing->setStartDate(berlin(2024, 3, 5, 8));
    timing->setEndDate(berlin(2024, 3, 5, 9));
    timing->setUuid(std::string("B0000000-0000-4000-8000-000000000002"));
    ASSERT_EQ(numberOfSets(), 1u);

    LogCapture log;
    timing->setEndDate(berlin(2900, 1, 1));  // a damaged record: nearly 900 years
    EXPECT_EQ(numberOfSets(), 1u);
    EXPECT_TRUE(log.contains("assignTimingSetsToTiming"));
}

}  // namespace
}  // namespace ravelong

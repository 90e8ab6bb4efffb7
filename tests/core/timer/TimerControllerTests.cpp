#include <gtest/gtest.h>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/timer/TimerTexts.h"
#include "store/ZRUndoManager.h"
#include "tests/core/timer/TimerTestFixture.h"

namespace ravelong {
namespace {

using Opening = RecordingAddNotePanel::Opening;
using Openings = std::vector<Opening>;

class TimerController : public testing::TimerTest {
protected:
    const Openings& openings() const { return delegate.notePanel.openings(); }
    const std::vector<std::string>& sounds() const { return delegate.sound.played(); }
    ZRCDTiming* onlyRunning() {
        auto running = runningTimings();
        EXPECT_EQ(running.size(), 1u);
        return running.empty() ? nullptr : running.front();
    }
};

TEST_F(TimerController, StartingATaskIsOneSavedUndoStep) {
    ZRCDTask* task = makeTask("Write");
    settle();
    const int savesBefore = delegate.saves;

    EXPECT_TRUE(timer().toggleTask(task, true));
    ZRCDTiming* timing = onlyRunning();
    ASSERT_TRUE(timing);
    EXPECT_EQ(timing->task(), task);
    EXPECT_EQ(timing->startDate(), clock.now() - 0.5);
    EXPECT_EQ(timing->origin()->type(), kOriginTypeUser);
    EXPECT_EQ(undoName(), "Start Timer");
    EXPECT_EQ(delegate.saves, savesBefore + 1);
    EXPECT_FALSE(context.hasChanges());
    EXPECT_TRUE(timer().isTimerRunning());
    EXPECT_EQ(delegate.notePanel.timing(), timing);

    // The note panel is asked once the click has been handled, 0.75 s later.
    loop.advance(0.7);
    EXPECT_TRUE(openings().empty());
    loop.advance(0.1);
    EXPECT_EQ(openings(), (Openings{{2, timing, true}}));

    context.undoManager()->undo();
    EXPECT_TRUE(timing->isDeleted());
    EXPECT_TRUE(task->timingSets().empty());
}

// The switch with one timer allowed: A stops at the moment B starts, and one undo takes both
// back, with A's day aggregate as it was.
TEST_F(TimerController, SwitchingTasksIsOneUndoStepThatUndoesBoth) {
    ZRCDTask* a = makeTask("A");
    ZRCDTask* b = makeTask("B");
    settle();
    ASSERT_TRUE(timer().toggleTask(a, true));
    ZRCDTiming* first = onlyRunning();
    loop.advance(1800);
    delegate.notePanel.clear();
    ZRCDTimingSet* setA = setOn(a, clock.now());
    ASSERT_TRUE(setA);
    const double storedBefore = setA->durationExcludingRunningTimings();
    ASSERT_TRUE(setA->running());

    EXPECT_TRUE(timer().toggleTask(b, true));
    EXPECT_EQ(undoName(), "Stop and Start Timer");
    EXPECT_EQ(first->endDate(), clock.now());
    EXPECT_DOUBLE_EQ(setA->duration(), 1800.5);
    EXPECT_FALSE(setA->running());
    ZRCDTiming* second = onlyRunning();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->task(), b);
    EXPECT_EQ(delegate.notePanel.timing(), second);
    loop.advance(1);
    EXPECT_EQ(openings(), (Openings{{3, first, true}, {2, second, true}}));

    context.undoManager()->undo();
    EXPECT_TRUE(first->running());
    EXPECT_TRUE(second->isDeleted());
    EXPECT_EQ(runningTimings(), std::vector<ZRCDTiming*>{first});
    EXPECT_TRUE(b->timingSets().empty());
    ASSERT_EQ(a->timingSets().size(), 1u);
    EXPECT_EQ(first->firstTimingSet(), setA);
    EXPECT_TRUE(setA->running());
    EXPECT_DOUBLE_EQ(setA->durationExcludingRunningTimings(), storedBefore);
    EXPECT_EQ(undoName(), "Start Timer");  // A's start is the step before
}

TEST_F(TimerController, SwitchOpensOnlyTheStopPanelWhenThePreferenceAsksAfterStops) {
    ZRCDTask* a = makeTask("A");
    ZRCDTask* b = makeTask("B");
    settle();
    ASSERT_TRUE(timer().toggleTask(a, true));
    ZRCDTiming* first = onlyRunning();
    loop.advance(60);
    delegate.notePanel.clear();
    for (int setting : {1, 3}) {
        defaults.setInteger(kZRShowAddNoteToTiming, setting);
        ASSERT_TRUE(timer().toggleTask(setting == 1 ? b : a, true));
        loop.advance(60);
        ASSERT_EQ(openings().size(), 1u);
        EXPECT_EQ(openings().front(), (Opening{3, first, true}));
        delegate.notePanel.clear();
        first = onlyRunning();
    }
}

TEST_F(TimerController, SeveralTimersRunWhenThePreferencesAllowThem) {
    allowMultipleTimers(true);
    ZRCDTask* a = makeTask("A");
    ZRCDTask* b = makeTask("B");
    settle();
    ASSERT_TRUE(timer().toggleTask(a, true));
    loop.advance(60);
    ASSERT_TRUE(timer().toggleTask(b, true));
    EXPECT_EQ(undoName(), "Start Timer");
    EXPECT_EQ(runningTimings().size(), 2u);

    loop.advance(60);
    EXPECT_TRUE(timer().toggleTask(a, true));
    EXPECT_EQ(undoName(), "Stop Timer");
    ZRCDTiming* left = onlyRunning();
    ASSERT_TRUE(left);
    EXPECT_EQ(left->task(), b);
    EXPECT_DOUBLE_EQ(timingsOf(a).front()->duration(), 120.5);
}

// The tree used for parents:   P ── C1
//                                ├─ C2 ── G
//                              Other
TEST_F(TimerController, ToggingAParentStopsTheTimersBelowItAndNeverStartsIt) {
    allowMultipleTimers(true);
    ZRCDTask* parent = makeTask("P");
    ZRCDTask* c1 = makeTask("C1", parent);
    ZRCDTask* c2 = makeTask("C2", parent);
    ZRCDTask* grandchild = makeTask("G", c2);
    ZRCDTask* other = makeTask("Other");
    settle();

    EXPECT_FALSE(timer().toggleTask(parent, true));
    EXPECT_TRUE(parent->timings().empty());
    EXPECT_TRUE(sounds().empty());

    for (ZRCDTask* task : {c1, grandchild, other})
        ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(60);
    EXPECT_TRUE(timer().toggleTask(parent, true));
    EXPECT_EQ(undoName(), "Stop Timers");
    EXPECT_FALSE(context.hasChanges());
    ZRCDTiming* left = onlyRunning();
    ASSERT_TRUE(left);
    EXPECT_EQ(left->task(), other);
    EXPECT_TRUE(parent->timings().empty());

    context.undoManager()->undo();
    EXPECT_EQ(runningTimings().size(), 3u);
    context.undoManager()->redo();
    EXPECT_EQ(runningTimings().size(), 1u);

    ASSERT_TRUE(timer().toggleTask(c1, true));
    loop.advance(60);
    EXPECT_TRUE(timer().toggleTask(parent, true));
    EXPECT_EQ(undoName(), "Stop Timer");
    // C2 is a parent too, and nothing runs below it any more.
    EXPECT_FALSE(timer().toggleTask(c2, true));
    EXPECT_TRUE(c2->timings().empty());
}

TEST_F(TimerController, SeveralTimingsOfOneTaskStopTogether) {
    allowMultipleTimers(true);
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, true));
    ASSERT_TRUE(ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context));
    settle();
    loop.advance(60);
    const int savesBefore = delegate.saves;

    EXPECT_TRUE(timer().toggleTask(task, true));
    EXPECT_TRUE(runningTimings().empty());
    EXPECT_EQ(task->timings().size(), 2u);
    EXPECT_EQ(undoName(), "Stop Timers");
    EXPECT_EQ(delegate.saves, savesBefore + 1);
    context.undoManager()->undo();
    EXPECT_EQ(runningTimings().size(), 2u);
}

TEST_F(TimerController, RefusesNothingToToggleOrStopWithTheAlertSound) {
    ZRCDTask* task = makeTask("A");
    ZRCDTask* gone = makeTask("Gone");
    settle();
    context.deleteObject(gone);

    EXPECT_FALSE(timer().toggleTask(nullptr, true));
    EXPECT_FALSE(timer().toggleTask(gone, true));
    EXPECT_FALSE(timer().stopTiming(nullptr, true));
    EXPECT_FALSE(timer().stopTimings({}, true));
    EXPECT_EQ(sounds(), (std::vector<std::string>(4, "Funk")));

    // A start in the past and a stop of a stopped timing are refused quietly.
    EXPECT_FALSE(timer().toggleTask(task, 60, kNoteOverrideNone, true, true));
    EXPECT_TRUE(task->timings().empty());
    ASSERT_TRUE(timer().toggleTask(task, true));
    ZRCDTiming* timing = onlyRunning();
    loop.advance(60);
    ASSERT_TRUE(timer().stopTiming(timing, true));
    EXPECT_FALSE(timer().stopTiming(timing, true));
    EXPECT_EQ(sounds().size(), 4u);
}

TEST_F(TimerController, AShortStopDeletesTheTimingButCountsAsDone) {
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(5);
    delegate.notePanel.clear();

    EXPECT_TRUE(timer().toggleTask(task, true));
    EXPECT_TRUE(task->timings().empty());
    EXPECT_TRUE(task->timingSets().empty());
    EXPECT_EQ(undoName(), "Stop Timer");
    loop.advance(1);
    EXPECT_TRUE(openings().empty());
}

TEST_F(TimerController, StoppingMinutesAgoKeepsWhatRemainsAndTellsTheMenuBarItem) {
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, true));
    ZRCDTiming* timing = onlyRunning();
    loop.advance(12 * 60);

    EXPECT_TRUE(timer().stopTiming(timing, 600, kNoteOverrideNone, true, true));
    EXPECT_DOUBLE_EQ(timing->duration(), 120.5);
    EXPECT_EQ(delegate.statusItem.lastStopSeconds(), std::vector<double>{120.5});
    EXPECT_EQ(undoName(), "Stop Timer");

    // Toggling with a stop in the past passes it on.
    ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(5 * 60);
    EXPECT_TRUE(timer().toggleTask(task, 600, kNoteOverrideNone, true, true));
    EXPECT_EQ(task->timings().size(), 1u);
}

TEST_F(TimerController, OverridesChooseTheNotePanel) {
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, 0, kNoteOverrideAlternative, false, true));
    ZRCDTiming* first = onlyRunning();
    loop.advance(60);
    ASSERT_TRUE(timer().toggleTask(task, 0, kNoteOverrideAlternative, false, true));
    loop.advance(60);
    EXPECT_EQ(openings(), (Openings{{5, first, false}, {6, first, false}}));

    delegate.notePanel.clear();
    ASSERT_TRUE(timer().toggleTask(task, 0, kNoteOverrideNoPanel, true, true));
    loop.advance(60);
    ASSERT_TRUE(timer().toggleTask(task, 0, kNoteOverrideNoPanel, true, true));
    loop.advance(60);
    EXPECT_TRUE(openings().empty());
    EXPECT_EQ(task->timings().size(), 2u);
}

TEST_F(TimerController, NoPanelOpensForATimingUndoneMeanwhile) {
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, true));
    context.undoManager()->undo();
    loop.advance(1);
    EXPECT_TRUE(openings().empty());
}

TEST_F(TimerController, StopEndsATimingEditInTheOpenMainWindow) {
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(60);
    ASSERT_TRUE(timer().toggleTask(task, true));
    EXPECT_EQ(delegate.editSession.endings(), 0);  // the window is closed

    delegate.mainWindowOpen = true;
    ASSERT_TRUE(timer().toggleTask(task, true));
    EXPECT_EQ(delegate.editSession.endings(), 0);  // a start edits nothing
    loop.advance(60);
    ASSERT_TRUE(timer().toggleTask(task, true));
    EXPECT_EQ(delegate.editSession.endings(), 1);
}

TEST_F(TimerController, WithoutSavingTheChangesStayPending) {
    ZRCDTask* task = makeTask("A");
    settle();
    const int savesBefore = delegate.saves;
    ASSERT_TRUE(timer().toggleTask(task, false));
    EXPECT_TRUE(context.hasChanges());
    loop.advance(60);
    ASSERT_TRUE(timer().stopTimings(task->timings().toVector(), false));
    EXPECT_TRUE(context.hasChanges());
    EXPECT_EQ(delegate.saves, savesBefore);
}

// Two records of one origin (as a merge of stores leaves them) become one when a timer starts,
// and two aggregates of one task and day become one when the day is looked up.
TEST_F(TimerController, MergesDuplicateOriginsAndAggregatesOnTheWay) {
    ZRCDTask* task = makeTask("A");
    ZRCDTiming* early = ZRCDTiming::createCoreDataTimingWithStartDate(
        testing::berlin(12, 8), testing::berlin(12, 9), task, std::nullopt, 0, std::nullopt,
        context);
    ZRCDTiming* late = ZRCDTiming::createCoreDataTimingWithStartDate(
        testing::berlin(12, 9), testing::berlin(12, 9, 30), task, std::nullopt, 0, std::nullopt,
        context);
    ZRCDOrigin* mine = early->origin();
    ZRCDOrigin* copy = ZRCDOrigin::createOriginForThisDeviceAndThisUserWithType(0, context);
    late->setOrigin(copy);
    // The copy of today's aggregate, holding the later timing.
    ZRCDTimingSet* original = setOn(task, testing::berlin(12, 8));
    ASSERT_TRUE(original);
    auto* duplicate = context.insertNewObject<ZRCDTimingSet>();
    duplicate->setTask(task);
    duplicate->setAbsDay(original->absDay());
    duplicate->setDay(original->day());
    late->removeTimingSetsObject(original);
    late->addTimingSetsObject(duplicate);
    late->setFirstTimingSet(duplicate);
    original->recalculateDuration();
    duplicate->recalculateDuration();
    settle();
    ASSERT_EQ(task->timingSets().size(), 2u);

    ASSERT_TRUE(timer().toggleTask(task, true));
    ZRCDTiming* running = onlyRunning();
    ASSERT_EQ(task->timingSets().size(), 1u);
    ZRCDTimingSet* merged = *task->timingSets().begin();
    EXPECT_EQ(merged->timings().size(), 3u);
    EXPECT_DOUBLE_EQ(merged->durationExcludingRunningTimings(), 5400.0);
    EXPECT_EQ(late->firstTimingSet(), merged);

    std::vector<ZRCDOrigin*> origins = ZRCDOrigin::getAllOrigins_inContext(context);
    ASSERT_EQ(origins.size(), 1u);
    EXPECT_EQ(running->origin(), origins.front());
    EXPECT_EQ(early->origin(), origins.front());
    EXPECT_EQ(late->origin(), origins.front());
    EXPECT_TRUE(mine == origins.front() || copy == origins.front());
}

// Moving a timing to another task takes its time along; the old task's aggregate goes when it
// is left empty.
TEST_F(TimerController, ATaskChangeMovesTheAggregates) {
    ZRCDTask* a = makeTask("A");
    ZRCDTask* b = makeTask("B");
    settle();
    ASSERT_TRUE(timer().toggleTask(a, true));
    ZRCDTiming* timing = onlyRunning();
    loop.advance(3600);
    ASSERT_TRUE(timer().toggleTask(a, true));
    ASSERT_EQ(a->timingSets().size(), 1u);

    timing->setTask(b);
    EXPECT_TRUE(a->timingSets().empty());
    ASSERT_EQ(b->timingSets().size(), 1u);
    EXPECT_DOUBLE_EQ((*b->timingSets().begin())->duration(), 3600.5);
}

}  // namespace
}  // namespace ravelong

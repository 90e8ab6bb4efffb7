#include <gtest/gtest.h>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/timer/TimerTexts.h"
#include "store/ZRUndoManager.h"
#include "tests/core/model/ModelTestSupport.h"
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
        return running.size() == 1 ? running.front() : nullptr;
    }
    void undo() { context.undoManager()->undo(); }
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
    ASSERT_TRUE(setA && setA->running());
    const double storedBefore = setA->durationExcludingRunningTimings();

    EXPECT_TRUE(timer().toggleTask(b, true));
    EXPECT_EQ(undoName(), "Stop and Start Timer");
    EXPECT_EQ(first->endDate(), clock.now());
    EXPECT_DOUBLE_EQ(setA->duration(), 1800.5);
    ZRCDTiming* second = onlyRunning();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->task(), b);
    loop.advance(1);
    EXPECT_EQ(openings(), (Openings{{3, first, true}, {2, second, true}}));

    undo();
    EXPECT_TRUE(second->isDeleted());
    EXPECT_EQ(runningTimings(), std::vector<ZRCDTiming*>{first});
    EXPECT_TRUE(b->timingSets().empty());
    ASSERT_EQ(a->timingSets().size(), 1u);
    EXPECT_EQ(first->firstTimingSet(), setA);
    EXPECT_TRUE(setA->running());
    EXPECT_DOUBLE_EQ(setA->durationExcludingRunningTimings(), storedBefore);
    EXPECT_EQ(undoName(), "Start Timer");  // A's start is the step before
}

TEST_F(TimerController, ASwitchOpensOnlyTheStopPanelWhenThePreferenceAsksAfterStops) {
    ZRCDTask* a = makeTask("A");
    ZRCDTask* b = makeTask("B");
    settle();
    ASSERT_TRUE(timer().toggleTask(a, true));
    loop.advance(60);
    for (int setting : {1, 3}) {
        ZRCDTiming* stopped = onlyRunning();
        delegate.notePanel.clear();
        defaults.setInteger(kZRShowAddNoteToTiming, setting);
        ASSERT_TRUE(timer().toggleTask(stopped->task() == a ? b : a, true));
        loop.advance(60);
        EXPECT_EQ(openings(), (Openings{{3, stopped, true}})) << setting;
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

    // Two timings of one task (as a script can start) stop together, with one save.
    ASSERT_TRUE(ZRCDTiming::createRunningTimingNowForTask_andOrigin(b, 0, context));
    settle();
    loop.advance(60);
    const int savesBefore = delegate.saves;
    EXPECT_TRUE(timer().toggleTask(b, true));
    EXPECT_TRUE(runningTimings().empty());
    EXPECT_EQ(undoName(), "Stop Timers");
    EXPECT_EQ(delegate.saves, savesBefore + 1);
}

// The tree:   P ── C1
//               └─ C2 ── G
//             Other
TEST_F(TimerController, TogglingAParentStopsTheTimersBelowItAndNeverStartsIt) {
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
    undo();
    EXPECT_EQ(runningTimings().size(), 3u);

    // C2 is a parent too: only G's timer stops, as one "Stop Timer".
    EXPECT_TRUE(timer().toggleTask(c2, true));
    EXPECT_EQ(undoName(), "Stop Timer");
    EXPECT_EQ(runningTimings().size(), 2u);
    EXPECT_TRUE(c2->timings().empty());
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

// Stopped after 5 seconds, or "10 minutes ago" after 5 minutes: the timing goes, the stop still
// counts as done, and there is no note to ask for. After 12 minutes, 2 remain.
TEST_F(TimerController, StopsShorterThanTenSecondsDeleteTheTimingButCountAsDone) {
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(5);
    delegate.notePanel.clear();
    EXPECT_TRUE(timer().toggleTask(task, true));
    EXPECT_TRUE(task->timings().empty());
    EXPECT_TRUE(task->timingSets().empty());
    EXPECT_EQ(undoName(), "Stop Timer");

    ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(5 * 60);
    delegate.notePanel.clear();
    EXPECT_TRUE(timer().toggleTask(task, 600, kNoteOverrideNone, true, true));
    EXPECT_TRUE(task->timings().empty());
    loop.advance(1);
    EXPECT_TRUE(openings().empty());

    ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(12 * 60);
    EXPECT_TRUE(timer().toggleTask(task, 600, kNoteOverrideNone, true, true));
    ASSERT_EQ(task->timings().size(), 1u);
    EXPECT_DOUBLE_EQ((*task->timings().begin())->duration(), 120.5);
    EXPECT_EQ(delegate.statusItem.lastStopSeconds(), std::vector<double>{120.5});
}

TEST_F(TimerController, NotePanelsFollowTheOverrideAndSkipTimingsUndoneMeanwhile) {
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
    ASSERT_TRUE(timer().toggleTask(task, true));
    undo();
    loop.advance(1);
    EXPECT_TRUE(openings().empty());
    EXPECT_EQ(task->timings().size(), 2u);
}

TEST_F(TimerController, AStopEndsATimingEditInTheOpenMainWindow) {
    ZRCDTask* task = makeTask("A");
    settle();
    for (bool open : {false, true}) {
        delegate.mainWindowOpen = open;
        ASSERT_TRUE(timer().toggleTask(task, true));
        EXPECT_EQ(delegate.editSession.endings(), 0);  // a start edits nothing
        loop.advance(60);
        ASSERT_TRUE(timer().toggleTask(task, true));
    }
    EXPECT_EQ(delegate.editSession.endings(), 1);
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
    late->setOrigin(ZRCDOrigin::createOriginForThisDeviceAndThisUserWithType(0, context));
    ASSERT_TRUE(setOn(task, testing::berlin(12, 8)));
    model_testing::splitIntoDuplicateSet(late, context);
    settle();
    ASSERT_EQ(task->timingSets().size(), 2u);
    ASSERT_EQ(ZRCDOrigin::getAllOrigins_inContext(context).size(), 2u);

    ASSERT_TRUE(timer().toggleTask(task, true));
    ZRCDTiming* running = onlyRunning();
    ASSERT_EQ(task->timingSets().size(), 1u);
    ZRCDTimingSet* merged = *task->timingSets().begin();
    EXPECT_EQ(merged->timings().size(), 3u);
    EXPECT_DOUBLE_EQ(merged->durationExcludingRunningTimings(), 5400.0);
    EXPECT_EQ(late->firstTimingSet(), merged);
    std::vector<ZRCDOrigin*> origins = ZRCDOrigin::getAllOrigins_inContext(context);
    ASSERT_EQ(origins.size(), 1u);
    for (ZRCDTiming* timing : {early, late, running})
        EXPECT_EQ(timing->origin(), origins.front());
}

}  // namespace
}  // namespace ravelong

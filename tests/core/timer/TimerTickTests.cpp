#include <gtest/gtest.h>

#include <thread>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/TimerTexts.h"
#include "tests/core/timer/TimerTestFixture.h"

namespace ravelong {
namespace {

class TimerTick : public testing::TimerTest {};

TEST_F(TimerTick, RunsEveryMinuteWhileATimerRuns) {
    ZRCDTask* task = makeTask("A");
    settle();
    EXPECT_FALSE(timer().isTimerRunning());
    loop.advance(600);
    EXPECT_EQ(timeUpdates(), 0);

    ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(59.5);
    EXPECT_EQ(timeUpdates(), 0);  // the first tick is a minute away
    loop.advance(0.5);
    EXPECT_EQ(timeUpdates(), 1);
    loop.advance(240);
    EXPECT_EQ(timeUpdates(), 5);

    // A controller made while a timer runs (a launch) ticks from the start.
    destroyController();
    makeController();
    loop.advance(60);
    EXPECT_EQ(timeUpdates(), 6);
}

TEST_F(TimerTick, StartingAnotherTimerRefreshesAtOnce) {
    allowMultipleTimers(true);
    ZRCDTask* a = makeTask("A");
    ZRCDTask* b = makeTask("B");
    settle();
    ASSERT_TRUE(timer().toggleTask(a, true));
    loop.advance(90);
    ASSERT_EQ(timeUpdates(), 1);

    std::size_t runningSeen = 0;
    center.addObserver(std::string(kZRTimeUpdate), nullptr,
                       [&](const Notification&) { runningSeen = runningTimings().size(); });
    ASSERT_TRUE(timer().toggleTask(b, true));
    EXPECT_EQ(timeUpdates(), 2);
    EXPECT_EQ(runningSeen, 2u);  // the refresh already sees the new timer
    loop.advance(30);            // and the minute grid is kept
    EXPECT_EQ(timeUpdates(), 3);
}

TEST_F(TimerTick, StopsWhenTheLastTimerStopsAndClosesTheIdlePanel) {
    ZRCDTask* task = makeTask("A");
    settle();
    timer().stopTimer();
    EXPECT_EQ(delegate.idlePanel.closings(), 0);  // no tick, nothing to close

    ASSERT_TRUE(timer().toggleTask(task, true));
    loop.advance(60);
    ASSERT_TRUE(timer().toggleTask(task, true));
    timer().updateTimerForRunningTimings();  // as the application's save path does
    EXPECT_FALSE(timer().isTimerRunning());
    EXPECT_EQ(delegate.idlePanel.closings(), 1);
    loop.advance(600);
    EXPECT_EQ(timeUpdates(), 1);

    ASSERT_TRUE(ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context));
    timer().updateTimerForRunningTimings();
    EXPECT_TRUE(timer().isTimerRunning());
}

// Idle limit 300 s. Every kind of input must have been quiet that long:
//   all kinds 400 s           -> panel for an idle stretch that began 400 s ago
//   exactly 300 s             -> panel (the limit counts as idle)
//   299.9 s                   -> none (whole seconds are compared)
//   keys pressed 20 s ago     -> none, and the kinds after keys are not asked
//   limit 0                   -> no check at all
TEST_F(TimerTick, TheTickShowsTheIdlePanelPastTheLimit) {
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, true));
    defaults.setInteger(kZRIdleTime, 300);

    delegate.idleSource.setAll(400);
    timer().timeUpdate();
    EXPECT_EQ(delegate.idlePanel.shownSince(), std::vector<Instant>{clock.now() - 400});
    delegate.idleSource.setAll(300);
    timer().timeUpdate();
    EXPECT_EQ(delegate.idlePanel.shownSince().size(), 2u);
    delegate.idleSource.setAll(299.9);
    timer().timeUpdate();
    EXPECT_EQ(delegate.idlePanel.shownSince().size(), 2u);

    delegate.idleSource.setAll(400);
    delegate.idleSource.setSeconds(IdleEventKind::keyDown, 20);
    int asked = delegate.idleSource.questions();
    timer().timeUpdate();
    EXPECT_EQ(delegate.idleSource.questions() - asked, 2);
    EXPECT_EQ(delegate.idlePanel.shownSince().size(), 2u);

    defaults.setInteger(kZRIdleTime, 0);
    delegate.idleSource.setAll(100000);
    asked = delegate.idleSource.questions();
    loop.advance(600);
    EXPECT_EQ(delegate.idleSource.questions(), asked);
    EXPECT_EQ(delegate.idlePanel.shownSince().size(), 2u);
    EXPECT_EQ(timeUpdates(), 14);  // posted on every tick, whatever the idle check found
}

TEST_F(TimerTick, StartAndStopMoveThemselvesToTheMainThread) {
    timer();
    std::thread([&] { timer().startTimer(); }).join();
    EXPECT_FALSE(timer().isTimerRunning());
    loop.runPending();
    EXPECT_TRUE(timer().isTimerRunning());

    std::thread([&] { timer().stopTimer(); }).join();
    EXPECT_TRUE(timer().isTimerRunning());
    loop.runPending();
    EXPECT_FALSE(timer().isTimerRunning());
}

TEST_F(TimerTick, ADestroyedControllerLeavesNoWorkBehind) {
    ZRCDTask* task = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(task, true));
    destroyController();
    loop.advance(600);
    EXPECT_EQ(timeUpdates(), 0);
    EXPECT_TRUE(delegate.notePanel.openings().empty());
}

}  // namespace
}  // namespace ravelong

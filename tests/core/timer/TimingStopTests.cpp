#include <gtest/gtest.h>

#include <limits>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/services/UserScript.h"
#include "core/timer/TimingStop.h"
#include "tests/core/timer/TimerTestFixture.h"

namespace ravelong {
namespace {

using testing::berlin;

class TimingStop : public testing::TimerTest {
protected:
    // A timer started now (its start lies half a second back).
    ZRCDTiming* startNow(ZRCDTask* task) {
        return ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    }
};

// The 10-second rule, both sides of the boundary (the start lies 0.5 s before the click):
//
//   start ---- 10.0 s ---- stop     kept
//   start ---- 9.75 s ---- stop     deleted, with the day aggregate it had made
TEST_F(TimingStop, KeepsTenSecondsAndDeletesAnythingShorter) {
    ZRCDTask* kept = makeTask("Kept");
    ZRCDTask* dropped = makeTask("Dropped");
    ZRCDTiming* long10 = startNow(kept);
    clock.advance(0.25);
    ZRCDTiming* short9 = startNow(dropped);
    ASSERT_EQ(dropped->timingSets().size(), 1u);

    clock.advance(9.25);  // long10 has run 10.0 s, short9 9.75 s
    EXPECT_EQ(timing_stop::stopThisTimingNow(*long10), long10);
    EXPECT_DOUBLE_EQ(long10->duration(), 10.0);
    EXPECT_EQ(long10->endDate(), clock.now());
    EXPECT_EQ(long10->modified(), clock.now());

    EXPECT_EQ(timing_stop::stopThisTimingNow(*short9), nullptr);
    EXPECT_TRUE(short9->isDeleted());
    EXPECT_TRUE(dropped->timings().empty());
    EXPECT_TRUE(dropped->timingSets().empty());
    EXPECT_TRUE(runningTimings().empty());
}

TEST_F(TimingStop, StoppingMinutesAgoKeepsTheRestOrDeletesTheTiming) {
    ZRCDTask* task = makeTask("Report");
    ZRCDTiming* twelve = startNow(task);
    clock.advance(7 * 60);
    ZRCDTiming* five = startNow(task);
    clock.advance(5 * 60);

    // Started 12 minutes ago, stopped "10 minutes ago": 2 minutes remain.
    EXPECT_EQ(timing_stop::stopThisTimingSecondsAgo(*twelve, 600, &delegate.statusItem), twelve);
    EXPECT_EQ(twelve->endDate(), clock.now() - 600);
    EXPECT_EQ(twelve->modified(), clock.now());
    EXPECT_DOUBLE_EQ(twelve->duration(), 120.5);
    EXPECT_EQ(delegate.statusItem.lastStopSeconds(), std::vector<double>{120.5});
    EXPECT_EQ(delegate.statusItem.updates(), 1);
    EXPECT_DOUBLE_EQ(setOn(task, clock.now())->durationExcludingRunningTimings(), 120.5);

    // Started 5 minutes ago: stopping it 10 minutes ago leaves nothing.
    EXPECT_EQ(timing_stop::stopThisTimingSecondsAgo(*five, 600, &delegate.statusItem), nullptr);
    EXPECT_TRUE(five->isDeleted());
    EXPECT_EQ(task->timings().size(), 1u);
    EXPECT_EQ(delegate.statusItem.lastStopSeconds().size(), 1u);
}

TEST_F(TimingStop, OnlyStopsInThePastReachTheMenuBarItem) {
    ZRCDTask* task = makeTask("Report");
    ZRCDTiming* now = startNow(task);
    clock.advance(3600);
    ASSERT_TRUE(timing_stop::stopThisTimingNow(*now, &delegate.statusItem));
    EXPECT_TRUE(delegate.statusItem.lastStopSeconds().empty());
    EXPECT_EQ(delegate.statusItem.updates(), 0);
}

TEST_F(TimingStop, EndsOnAPastDateAndNeverInTheFuture) {
    ZRCDTask* task = makeTask("Report");
    ZRCDTiming* past = startNow(task);
    ZRCDTiming* future = startNow(task);
    ZRCDTiming* broken = startNow(task);
    clock.advance(3600);

    EXPECT_EQ(timing_stop::stopThisTimingOn(*past, berlin(12, 10, 30)), past);
    EXPECT_EQ(past->endDate(), berlin(12, 10, 30));

    EXPECT_EQ(timing_stop::stopThisTimingOn(*future, clock.now() + 3600), future);
    EXPECT_EQ(future->endDate(), clock.now());

    EXPECT_EQ(
        timing_stop::stopThisTimingSecondsAgo(*broken, std::numeric_limits<double>::quiet_NaN()),
        nullptr);
    EXPECT_TRUE(broken->running());
    EXPECT_FALSE(broken->isDeleted());
}

TEST_F(TimingStop, LeavesStoppedTimingsAlone) {
    ZRCDTask* task = makeTask("Report");
    ZRCDTiming* timing = startNow(task);
    clock.advance(600);
    ASSERT_TRUE(timing_stop::stopThisTimingNow(*timing));
    const auto end = timing->endDate();
    clock.advance(600);
    EXPECT_EQ(timing_stop::stopThisTimingSecondsAgo(*timing, 60), nullptr);
    EXPECT_EQ(timing->endDate(), end);
    EXPECT_FALSE(timing->isDeleted());
}

TEST_F(TimingStop, TellsTheUserScriptAboutKeptStopsOnly) {
    ZRCDTask* task = makeTask("Report");
    ZRCDTiming* shortOne = startNow(task);
    const std::string shortUuid = *shortOne->uuid();
    clock.advance(5);
    timing_stop::stopThisTimingNow(*shortOne);
    ZRCDTiming* kept = startNow(task);
    const std::string uuid = *kept->uuid();
    clock.advance(60);
    timing_stop::stopThisTimingNow(*kept);

    loop.advance(0.15);
    const std::vector<RecordingUserScript::Call> started{{"timerStartedForTiming", shortUuid},
                                                         {"timerStartedForTiming", uuid}};
    EXPECT_EQ(script.calls(), started);  // the stop call is not due yet
    loop.advance(0.1);
    ASSERT_EQ(script.calls().size(), 3u);
    EXPECT_EQ(script.calls()[2], (RecordingUserScript::Call{"timerStoppedForTiming", uuid}));
}

TEST_F(TimingStop, MovesTheStartButNeverPastTheEnd) {
    ZRCDTask* task = makeTask("Report");
    ZRCDTiming* timing = startNow(task);
    clock.advance(3600);
    ASSERT_TRUE(timing_stop::stopThisTimingNow(*timing));
    settle();
    const int savesBefore = delegate.saves;

    EXPECT_EQ(timing_stop::setStartDateTo(*timing, clock.now() + 1, true), nullptr);
    EXPECT_EQ(timing->startDate(), berlin(12, 10) - 0.5);
    EXPECT_EQ(delegate.saves, savesBefore);

    EXPECT_EQ(timing_stop::setStartDateTo(*timing, berlin(12, 9), true), timing);
    EXPECT_EQ(timing->startDate(), berlin(12, 9));
    EXPECT_DOUBLE_EQ(setOn(task, berlin(12, 9))->durationExcludingRunningTimings(), 7200.0);
    EXPECT_EQ(delegate.saves, savesBefore + 1);
    EXPECT_FALSE(context.hasChanges());

    // A running timing may move either way; without a save the change stays pending.
    ZRCDTiming* running = startNow(task);
    EXPECT_EQ(timing_stop::setStartDateTo(*running, berlin(12, 10, 30), false), running);
    EXPECT_EQ(delegate.saves, savesBefore + 1);
    EXPECT_TRUE(context.hasChanges());
}

// Where a timer's time is counted, in Berlin:
//
//              11 Mar 23:30 ........ 12 Mar 00:30
//   cut-off 0        | 11 Mar |  12 Mar  |          two aggregates, 30 min each
//   cut-off 1 h      |        11 Mar       |        one aggregate (12 Mar begins at 01:00)
//   cut-off 4 h, 22:00 ... 04:00 exactly  | 11 Mar |  the end on the boundary stays with 11 Mar
TEST_F(TimingStop, CountsATimerOverMidnightOnBothDays) {
    ZRCDTask* task = makeTask("Night shift");
    clock.set(berlin(11, 23, 30, 0.5));
    ZRCDTiming* timing = startNow(task);
    ASSERT_EQ(task->timingSets().size(), 1u);
    clock.set(berlin(12, 0, 30));
    ASSERT_TRUE(timing_stop::stopThisTimingNow(*timing));

    ASSERT_EQ(task->timingSets().size(), 2u);
    ZRCDTimingSet* first = setOn(task, berlin(11, 23, 30));
    ZRCDTimingSet* second = setOn(task, berlin(12, 0, 30));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(timing->firstTimingSet(), first);
    EXPECT_EQ(first->day(), 20240311);
    EXPECT_EQ(second->day(), 20240312);
    EXPECT_DOUBLE_EQ(first->duration(), 1800.0);
    EXPECT_DOUBLE_EQ(second->duration(), 1800.0);
    EXPECT_FALSE(first->running());
}

TEST_F(TimingStop, CountsATimerBeforeTheCutOffOnThePreviousDay) {
    setNewDayHour(1);
    ZRCDTask* task = makeTask("Night shift");
    clock.set(berlin(11, 23, 30, 0.5));
    ZRCDTiming* timing = startNow(task);
    clock.set(berlin(12, 0, 30));
    ASSERT_TRUE(timing_stop::stopThisTimingNow(*timing));
    ASSERT_EQ(task->timingSets().size(), 1u);
    EXPECT_EQ(timing->firstTimingSet()->day(), 20240311);
    EXPECT_DOUBLE_EQ(timing->firstTimingSet()->duration(), 3600.0);
}

TEST_F(TimingStop, EndingExactlyAtTheCutOffStaysOnTheEarlierDay) {
    setNewDayHour(4);
    ZRCDTask* task = makeTask("Night shift");
    clock.set(berlin(11, 22, 0, 0.5));
    ZRCDTiming* timing = startNow(task);
    clock.set(berlin(12, 4));
    ASSERT_TRUE(timing_stop::stopThisTimingNow(*timing));
    ASSERT_EQ(task->timingSets().size(), 1u);
    EXPECT_EQ(timing->firstTimingSet()->day(), 20240311);

    // One second later the next day has its aggregate too.
    ZRCDTiming* next = startNow(task);
    timing_stop::setStartDateTo(*next, berlin(12, 3, 59), false);
    clock.set(berlin(12, 4, 0, 1));
    ASSERT_TRUE(timing_stop::stopThisTimingNow(*next));
    EXPECT_EQ(next->timingSets().size(), 2u);
}

}  // namespace
}  // namespace ravelong

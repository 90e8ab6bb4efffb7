#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
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
//   start ---- 10.0 s ---- stop     kept
//   start ---- 9.75 s ---- stop     deleted, with the day aggregate it had made
TEST_F(TimingStop, KeepsTenSecondsAndDeletesAnythingShorter) {
    ZRCDTask* kept = makeTask("Kept");
    ZRCDTask* dropped = makeTask("Dropped");
    ZRCDTiming* tenSeconds = startNow(kept);
    clock.advance(0.25);
    ZRCDTiming* shorter = startNow(dropped);
    clock.advance(9.25);

    EXPECT_EQ(timing_stop::stopThisTimingNow(*tenSeconds), tenSeconds);
    EXPECT_DOUBLE_EQ(tenSeconds->duration(), 10.0);
    EXPECT_EQ(tenSeconds->modified(), clock.now());
    EXPECT_EQ(timing_stop::stopThisTimingNow(*shorter), nullptr);
    EXPECT_TRUE(shorter->isDeleted());
    EXPECT_TRUE(dropped->timingSets().empty());
    EXPECT_TRUE(runningTimings().empty());
}

TEST_F(TimingStop, StopsInThePastButNeverInTheFuture) {
    ZRCDTask* task = makeTask("Report");
    ZRCDTiming* twelve = startNow(task);
    ZRCDTiming* future = startNow(task);
    ZRCDTiming* broken = startNow(task);
    clock.advance(7 * 60);
    ZRCDTiming* five = startNow(task);
    clock.advance(5 * 60);

    // Started 12 minutes ago, stopped "10 minutes ago": 2 minutes remain, and the menu bar item
    // shows them. Started 5 minutes ago: nothing remains.
    EXPECT_EQ(timing_stop::stopThisTimingSecondsAgo(*twelve, 600, &delegate.statusItem), twelve);
    EXPECT_EQ(twelve->endDate(), clock.now() - 600);
    EXPECT_DOUBLE_EQ(setOn(task, clock.now())->durationExcludingRunningTimings(), 120.5);
    EXPECT_EQ(timing_stop::stopThisTimingSecondsAgo(*five, 600, &delegate.statusItem), nullptr);
    EXPECT_TRUE(five->isDeleted());
    EXPECT_EQ(delegate.statusItem.lastStopSeconds(), std::vector<double>{120.5});
    EXPECT_EQ(delegate.statusItem.updates(), 1);

    // A date in the future ends the timer now, and a stop at now is no news for the item.
    EXPECT_EQ(timing_stop::stopThisTimingOn(*future, clock.now() + 3600, &delegate.statusItem),
              future);
    EXPECT_EQ(future->endDate(), clock.now());
    EXPECT_EQ(delegate.statusItem.updates(), 1);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(timing_stop::stopThisTimingSecondsAgo(*broken, nan), nullptr);
    EXPECT_TRUE(broken->running());
    // A stopped timing is left as it is.
    EXPECT_EQ(timing_stop::stopThisTimingOn(*future, berlin(12, 10, 5)), nullptr);
    EXPECT_EQ(future->endDate(), clock.now());
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
    EXPECT_EQ(script.calls(), started);  // the stop call is due 0.2 s after the stop
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
    EXPECT_EQ(timing_stop::setStartDateTo(*timing, berlin(12, 9), true), timing);
    EXPECT_DOUBLE_EQ(setOn(task, berlin(12, 9))->durationExcludingRunningTimings(), 7200.0);
    EXPECT_EQ(delegate.saves, savesBefore + 1);
    EXPECT_FALSE(context.hasChanges());
}

// Where a stopped timer's time is counted, in Berlin, by the day cut-off in force:
//
//   11 Mar 23:30 -> 12 Mar 00:30, cut-off 0     | 11: 30 min | 12: 30 min |
//   11 Mar 23:30 -> 12 Mar 00:30, cut-off 1 h   | 11: 60 min |   (12 March begins at 01:00)
//   11 Mar 22:00 -> 12 Mar 04:00, cut-off 4 h   | 11: 6 h    |   (the end on the boundary)
//   12 Mar 03:59 -> 12 Mar 04:00:01, cut-off 4  | 11: 60 s   | 12: 1 s |
TEST_F(TimingStop, CountsEachDayUpToTheCutOff) {
    struct Case {
        Instant start, end;
        int cutOff;
        std::vector<std::pair<ZRYearMonthDay, double>> days;
    };
    const std::vector<Case> cases = {
        {berlin(11, 23, 30), berlin(12, 0, 30), 0, {{20240311, 1800}, {20240312, 1800}}},
        {berlin(11, 23, 30), berlin(12, 0, 30), 1, {{20240311, 3600}}},
        {berlin(11, 22), berlin(12, 4), 4, {{20240311, 6 * 3600}}},
        {berlin(12, 3, 59), berlin(12, 4, 0, 1), 4, {{20240311, 60}, {20240312, 1}}},
    };
    for (const Case& c : cases) {
        setNewDayHour(c.cutOff);
        ZRCDTask* task = makeTask("Night shift");
        clock.set(c.start + 0.5);
        ZRCDTiming* timing = startNow(task);
        clock.set(c.end);
        ASSERT_TRUE(timing_stop::stopThisTimingNow(*timing));

        std::vector<std::pair<ZRYearMonthDay, double>> days;
        for (const ZRCDTimingSet* set : task->timingSets())
            days.emplace_back(set->day(), set->duration());
        std::sort(days.begin(), days.end());
        EXPECT_EQ(days, c.days) << "cut-off " << c.cutOff << ", start " << c.start;
        EXPECT_EQ(timing->firstTimingSet()->day(), c.days.front().first);
    }
}

}  // namespace
}  // namespace ravelong

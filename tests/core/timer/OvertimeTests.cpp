#include <gtest/gtest.h>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "store/ZRUndoManager.h"
#include "tests/core/timer/TimerTestFixture.h"

namespace ravelong {
namespace {

using testing::berlin;

constexpr double kHour = 3600.0;

class Overtime : public testing::TimerTest {
protected:
    // A timer on a task made by the CSV import (origin type 2), with a note, started now.
    ZRCDTiming* startImportedTimer() {
        task = makeTask("Server watch");
        ZRCDTiming* timing = ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 2, context);
        timing->setNote("Long haul");
        settle();
        makeController();
        return timing;
    }

    ZRCDTask* task = nullptr;
};

// Started Tuesday 10:00 and checked 100 hours later, on Saturday 14:00:
//
//   Tue 10:00 ============ 96 h ============ Sat 10:00 ==== 4 h ==== Sat 14:00
//   uuid u (stopped)                          uuid u-001 (running)
TEST_F(Overtime, AHundredHourTimerBecomes96HoursAndARunningRest) {
    ZRCDTiming* first = startImportedTimer();
    const std::string uuid = *first->uuid();
    loop.advance(100 * kHour);
    const double ranFor = first->duration();
    const int updatesBefore = timeUpdates();
    const std::size_t scriptCallsBefore = script.calls().size();

    EXPECT_EQ(timer().checkForAndHandleOvertimeTimings(), 1);

    EXPECT_FALSE(first->running());
    EXPECT_DOUBLE_EQ(*first->endDate() - *first->startDate(), 96 * kHour);
    std::vector<ZRCDTiming*> running = runningTimings();
    ASSERT_EQ(running.size(), 1u);
    ZRCDTiming* rest = running.front();
    EXPECT_EQ(rest->uuid(), uuid + "-001");
    EXPECT_EQ(rest->task(), task);
    EXPECT_EQ(rest->origin()->type(), 2);
    EXPECT_EQ(rest->note(), "Long haul");
    EXPECT_EQ(rest->startDate(), first->endDate());

    // Nothing is lost or counted twice, in the timings or in the day aggregates.
    EXPECT_DOUBLE_EQ(first->duration() + rest->duration(), ranFor);
    EXPECT_NEAR(totalOfAllSets(), ranFor, 1e-6);
    EXPECT_DOUBLE_EQ(setOn(task, berlin(16, 12))->duration(), 14 * kHour);  // Sat 00:00-14:00

    EXPECT_FALSE(context.hasChanges());
    EXPECT_FALSE(context.undoManager()->canUndo());
    EXPECT_EQ(timeUpdates(), updatesBefore + 1);

    // A user script hears of a stop and a start, with the uuids the timings keep.
    loop.advance(1);
    const std::vector<RecordingUserScript::Call> calls(script.calls().begin() + scriptCallsBefore,
                                                       script.calls().end());
    const std::vector<RecordingUserScript::Call> expected{{"timerStoppedForTiming", uuid},
                                                          {"timerStartedForTiming", uuid + "-001"}};
    EXPECT_EQ(calls, expected);
}

// Ten days unchecked (the computer slept through them) are cut into 96-hour pieces at once:
//
//   Tue 12 10:00 === 96 h === Sat 16 10:00 === 96 h === Wed 20 10:00 === 48 h === Fri 22 10:00
//   u                          u-001                      u-001-001 (running)
TEST_F(Overtime, TenDaysBecomeNinetySixHourPiecesWithTheTotalsUnchanged) {
    ZRCDTiming* first = startImportedTimer();
    const std::string uuid = *first->uuid();
    clock.advance(240 * kHour);
    const double ranFor = first->duration();

    EXPECT_EQ(timer().checkForAndHandleOvertimeTimings(), 2);

    std::vector<ZRCDTiming*> pieces = timingsOf(task);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0]->uuid(), uuid);
    EXPECT_EQ(pieces[1]->uuid(), uuid + "-001");
    EXPECT_EQ(pieces[2]->uuid(), uuid + "-001-001");
    EXPECT_DOUBLE_EQ(pieces[0]->duration(), 96 * kHour);
    EXPECT_DOUBLE_EQ(pieces[1]->duration(), 96 * kHour);
    EXPECT_TRUE(pieces[2]->running());
    EXPECT_DOUBLE_EQ(pieces[2]->duration(), 48 * kHour + 0.5);
    EXPECT_EQ(pieces[1]->startDate(), pieces[0]->endDate());
    EXPECT_EQ(pieces[2]->startDate(), pieces[1]->endDate());

    EXPECT_DOUBLE_EQ(pieces[0]->duration() + pieces[1]->duration() + pieces[2]->duration(), ranFor);
    EXPECT_NEAR(totalOfAllSets(), ranFor, 1e-6);
    // The days on which a piece ends and the next begins hold a full day, not a second more.
    for (int day : {13, 16, 20, 21})
        EXPECT_DOUBLE_EQ(setOn(task, berlin(day, 12))->duration(), 24 * kHour) << day;
    EXPECT_EQ(task->timingSets().size(), 11u);  // 12 to 22 March

    // The next check finds nothing more to do.
    EXPECT_EQ(timer().checkForAndHandleOvertimeTimings(), 0);
}

TEST_F(Overtime, LeavesTimersOfUpTo96HoursAlone) {
    ZRCDTask* watched = makeTask("A");
    settle();
    ASSERT_TRUE(timer().toggleTask(watched, true));
    ZRCDTiming* timing = runningTimings().front();
    loop.advance(96 * kHour - 0.5);  // exactly 96 hours since the start
    const int updatesBefore = timeUpdates();

    EXPECT_EQ(timer().checkForAndHandleOvertimeTimings(), 0);
    EXPECT_TRUE(timing->running());
    EXPECT_EQ(watched->timings().size(), 1u);
    EXPECT_EQ(undoName(), "Start Timer");  // the undo history is kept
    EXPECT_EQ(timeUpdates(), updatesBefore);

    clock.advance(1);
    EXPECT_EQ(timer().checkForAndHandleOvertimeTimings(), 1);
    EXPECT_EQ(watched->timings().size(), 2u);
    EXPECT_EQ(runningTimings().front()->origin()->type(), kOriginTypeUser);
}

}  // namespace
}  // namespace ravelong

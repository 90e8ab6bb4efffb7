#include <gtest/gtest.h>

#include "core/totals/TimingTotals.h"
#include "tests/core/totals/TotalsTestSupport.h"

namespace ravelong {
namespace {

using namespace timing_totals;

class RunningTimingTotals : public totals_testing::TotalsTest {
protected:
    double inDays(ZRDate first, ZRDate last, bool excludingArchived = false) {
        return getTimeOfAllRunningTimingsBetweenZRDate(first, last, excludingArchived, context);
    }
    double inPeriod(std::int64_t code, bool excludingArchived = false) {
        return getTimeOfAllRunningTimingsForMenuBarCustomDuration(code, excludingArchived, context);
    }
    const ZRDate march3 = dayNumber(2024, 3, 3);
    const ZRDate march4 = dayNumber(2024, 3, 4);
    const ZRDate march5 = dayNumber(2024, 3, 5);
};

// One timer from Monday 4 March 22:00, now Tuesday 02:00 (cut-off 0), against day ranges:
//
//              | 3 March | 4 March        | 5 March        | 6 March
//   timer      |         |     22:00 ======= 02:00 (now)   |
//   [5, 5]                               |xxxx|                     7200 (today)
//   [4, 4]                  |xxxx|                                  7200 (up to the end of 4th)
//   [3, 5]                  |xxxxxxxxxxxx|                          4 h
//   [5, 6]                               |xxxx|                     7200
//   [3, 3]       (the timer starts after the range)                 0
//   [6, 6]       (the range lies after now)                         0
TEST_F(RunningTimingTotals, ATimerRunningSinceYesterdayCountsInsideEachRange) {
    runningTimingFrom(newTask("Overnight"), berlin(2024, 3, 4, 22), berlin(2024, 3, 5, 2));
    EXPECT_EQ(inDays(march5, march5), 7200);
    EXPECT_EQ(inDays(march4, march4), 7200);
    EXPECT_EQ(inDays(march3, march5), 4 * 3600);
    EXPECT_EQ(inDays(march5, march5 + 1), 7200);
    EXPECT_EQ(inDays(march3, march3), 0);
    EXPECT_EQ(inDays(march5 + 1, march5 + 1), 0);
    EXPECT_EQ(inPeriod(0), 7200);
    EXPECT_EQ(inPeriod(42), 7200);
    EXPECT_EQ(inPeriod(1), 4 * 3600);  // the week began on Sunday 3 March
    EXPECT_EQ(getTimeOfAllRunningTimingsExcludingArchivedTasks(false, context), 4 * 3600);
}

TEST_F(RunningTimingTotals, TodayAndThePeriodsFollowTheCutOff) {
    // With the day turning at 04:00, a timer from Monday 22:00 is all "today" at Tuesday 02:00,
    // and the week that began on Sunday 3 March 04:00 holds it too.
    setNewDay(4);
    runningTimingFrom(newTask("Late"), berlin(2024, 3, 4, 22), berlin(2024, 3, 5, 2));
    EXPECT_EQ(inDays(march4, march4), 4 * 3600);
    EXPECT_EQ(inDays(march5, march5), 0);
    EXPECT_EQ(inPeriod(0), 4 * 3600);
    EXPECT_EQ(inPeriod(1), 4 * 3600);
    // A timer since Sunday 03:00 started in the week before (which ended at 04:00).
    runningTimingFrom(newTask("Weekend"), berlin(2024, 3, 3, 3), berlin(2024, 3, 5, 2));
    EXPECT_EQ(inPeriod(1), 4 * 3600 + (46 * 3600));
    EXPECT_EQ(inPeriod(2), 4 * 3600 + (47 * 3600));
    EXPECT_EQ(inPeriod(3), 4 * 3600 + (47 * 3600));
}

// Sunday 31 March 2024 in Berlin, cut-off 3: the clocks go from 02:00 to 03:00, so today and
// this week (from Sunday) begin at 03:00 CEST. At 03:15 the timer from Saturday 22:00 has run
// 15 minutes of today and of this week; four real hours before now lie on Saturday, which must
// not pull the week back to 24 March.
//
//   30 Mar 22:00 CET ============================= 31 Mar 03:15 CEST (now)
//                                 31 Mar 03:00 CEST |--|  today, this week: 900 s
//   1 Mar 03:00 |......................................|  this month: the whole 15,300 s
TEST_F(RunningTimingTotals, AChangeOfTheClocksInTheCutoffHoursStartsTodayAndTheWeekTogether) {
    setNewDay(3);
    runningTimingFrom(newTask("Night"), berlin(2024, 3, 30, 22), berlin(2024, 3, 31, 3, 15));
    EXPECT_EQ(inPeriod(0), 900);
    EXPECT_EQ(inPeriod(1), 900);
    EXPECT_EQ(inPeriod(2), 15300);
}

TEST_F(RunningTimingTotals, ArchivedTasksAreLeftOutOnlyWhenAsked) {
    ZRCDTask* archived = newTask("Archived");
    runningTimingFrom(newTask("Active"), berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9, 10));
    runningTimingFrom(archived, berlin(2024, 3, 5, 9, 5), berlin(2024, 3, 5, 9, 10));
    archived->setIsArchived(true);
    EXPECT_EQ(getTimeOfAllRunningTimingsExcludingArchivedTasks(false, context), 900);
    EXPECT_EQ(getTimeOfAllRunningTimingsExcludingArchivedTasks(true, context), 600);
    EXPECT_EQ(inDays(march5, march5, true), 600);
    EXPECT_EQ(inPeriod(0, true), 600);
    EXPECT_EQ(inPeriod(0, false), 900);
}

TEST_F(RunningTimingTotals, ATimerStartingInTheFutureAddsNothing) {
    // The clock was set back after the timer started.
    ZRCDTiming* timing =
        runningTimingFrom(newTask("Ahead"), berlin(2024, 3, 6, 9), berlin(2024, 3, 5, 9));
    ASSERT_TRUE(timing->running());
    EXPECT_EQ(getTimeOfAllRunningTimingsExcludingArchivedTasks(false, context), 0);
    EXPECT_EQ(inDays(march3, march5 + 7), 0);
    EXPECT_EQ(inPeriod(3), 0);
    // Stopped timings are not running time at all.
    stoppedTiming(newTask("Done"), berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 30));
    EXPECT_EQ(inPeriod(0), 0);
}

}  // namespace
}  // namespace ravelong

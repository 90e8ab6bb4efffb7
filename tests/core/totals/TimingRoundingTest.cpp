#include <gtest/gtest.h>

#include <cmath>

#include "core/totals/RoundingRule.h"
#include "core/totals/TimingTotals.h"
#include "tests/core/totals/TotalsTestSupport.h"

namespace ravelong {
namespace {

using namespace timing_totals;

class TimingRounding : public totals_testing::TotalsTest {};

// Shares of one timing across the days it touches, cut-off 0, round up to 60 minutes:
//
//            | 3 March                 | 4 March
//   A        |          23:00 ====== 01:00           2 h -> 2 units: 1 + 1
//   B        |          23:30 ===== 00:45            75 min -> 2 units: 0.4 * 2 -> 1, 0.6 * 2 -> 1
//   C        |   22:00 =================== 02:00 (5 March)   28 h: 2 + 24 + 2
TEST_F(TimingRounding, ARoundedTimingIsSharedOutByItsTimeInEachDay) {
    ZRCDTask* task = newTask("Consulting");
    task->setRounding(160);
    const ZRDate march3 = dayNumber(2024, 3, 3);

    ZRCDTiming* a = stoppedTiming(task, berlin(2024, 3, 3, 23), berlin(2024, 3, 4, 1));
    EXPECT_EQ(getDurationWithinZRDate(*a, march3), 3600);
    EXPECT_EQ(getDurationWithinZRDate(*a, march3 + 1), 3600);
    EXPECT_EQ(getDurationWithinZRDate(*a, march3 + 2), 0);
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*a, march3), 3600);
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*a, march3 + 1), 3600);
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*a, march3 + 2), 0);

    ZRCDTiming* b = stoppedTiming(task, berlin(2024, 3, 3, 23, 30), berlin(2024, 3, 4, 0, 45));
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*b, march3), 3600);
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*b, march3 + 1), 3600);

    ZRCDTiming* c = stoppedTiming(task, berlin(2024, 3, 3, 22), berlin(2024, 3, 5, 2));
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*c, march3), 2 * 3600);
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*c, march3 + 1), 24 * 3600);
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*c, march3 + 2), 2 * 3600);
}

TEST_F(TimingRounding, ATenMinuteTimingUnderEachRuleOfFifteenMinutes) {
    ZRCDTask* task = newTask("Calls");
    ZRCDTiming* timing = stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    const ZRDate day = dayNumber(2024, 3, 5);
    const struct {
        std::int16_t code;
        double share;
    } cases[] = {{315, 0}, {115, 900}, {215, 900}, {-1, 600}, {15, 600}};
    for (const auto& c : cases) {
        task->setRounding(c.code);
        EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*timing, day), c.share) << c.code;
    }
}

TEST_F(TimingRounding, RulesThatDoNotRoundAndEmptyTimingsGiveThePlainPart) {
    ZRCDTask* task = newTask("Odd codes");
    ZRCDTiming* timing = stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    ZRCDTiming* empty = stoppedTiming(task, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9));
    const ZRDate day = dayNumber(2024, 3, 5);
    // A type beyond 3 is no rule: the timing keeps its 10 minutes rather than a "unit" of 15.
    task->setRounding(415);
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*timing, day), 600);
    // A timing without length has no share, under any rule.
    for (std::int16_t code : {115, 215, 315}) {
        task->setRounding(code);
        const double share = getPerTaskRoundedDurationWithinZRDate(*empty, day);
        EXPECT_FALSE(std::isnan(share)) << code;
        EXPECT_EQ(share, 0) << code;
    }
}

TEST_F(TimingRounding, WholeTimingsAreRoundedByTheirTasksEffectiveRule) {
    ZRCDTask* parent = newTask("Client");
    ZRCDTask* child = newChild(parent, "Design");
    parent->setRounding(115);
    ZRCDTiming* timing =
        stoppedTiming(child, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 15, 1));  // 901 s
    EXPECT_EQ(getDurationWithRounding(*timing, 315), 900);
    EXPECT_EQ(durationWithRounding(*timing), 1800);
    EXPECT_EQ(*endDateWithRounding(*timing), berlin(2024, 3, 5, 8, 30));
    EXPECT_EQ(getRoundedDurationFromDuration(*timing, 60), 900);
    child->setRounding(20);  // explicitly no rounding
    EXPECT_EQ(durationWithRounding(*timing), 901);
    EXPECT_EQ(*endDateWithRounding(*timing), *timing->endDate());
}

TEST_F(TimingRounding, ARunningTimingIsRoundedAsItStandsNowAndSharedUnrounded) {
    ZRCDTask* task = newTask("Now");
    task->setRounding(115);
    ZRCDTiming* timing =
        runningTimingFrom(task, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9, 15, 1));
    EXPECT_EQ(getDurationWithRounding(*timing, 115), 1800);
    EXPECT_EQ(*endDateWithRounding(*timing), berlin(2024, 3, 5, 9, 30));
    EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*timing, dayNumber(2024, 3, 5)), 901);
}

TEST_F(TimingRounding, InstantNoiseDoesNotAddAUnit) {
    // The two ends lie on either side of 2^29 seconds after 2001, where doubles change their
    // spacing, so end - start is a hair over 15 minutes.
    ZRCDTask* task = newTask("Imported");
    task->setRounding(115);
    ZRCDTiming* timing = timingInZone(task, 536870461.7, 536871361.7, "UTC", 0);
    ASSERT_NE(*timing->endDate() - *timing->startDate(), 900.0);
    EXPECT_EQ(durationWithRounding(*timing), 900);
}

}  // namespace
}  // namespace ravelong

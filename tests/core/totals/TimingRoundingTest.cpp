#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/calendar/DayNumbers.h"
#include "core/totals/RoundingRule.h"
#include "core/totals/TimingTotals.h"
#include "tests/core/totals/TotalsTestSupport.h"

namespace ravelong {
namespace {

using namespace timing_totals;

class TimingRounding : public totals_testing::TotalsTest {};

// The days share the timing's rounded units; no day rounds its own part (cut-off 0):
//
//                  | 3 March              | 4 March               | 5 March
//   hour across    |          23:30 ===== 00:30                     1 unit  -> 1 + 0 (tie: earlier)
//   two hours      |          23:00 ====== 01:00                    2 units -> 1 + 1
//   late half      |          23:50 ===== 00:40                     1 unit  -> 0 + 1
//   three days     |          23:30 ==================== 00:30 (5 March)  25 units -> 1 + 24 + 0
//   28 hours       |   22:00 =========================== 02:00 (5 March)  28 units -> 2 + 24 + 2
// A share is the day's part of the units, by its time in the day: 23:30 to 00:45 rounded up to
// two hours is 0.4 * 2 -> 1 and 0.6 * 2 -> 1.
TEST_F(TimingRounding, DaySharesAddUpToTheRoundedTiming) {
    ZRCDTask* task = newTask("Night shift");
    const ZRDate march3 = dayNumber(2024, 3, 3);
    ZRCDTiming* plain = stoppedTiming(task, berlin(2024, 3, 3, 23), berlin(2024, 3, 4, 1));
    EXPECT_EQ(getDurationWithinZRDate(*plain, march3), 3600);
    EXPECT_EQ(getDurationWithinZRDate(*plain, march3 + 1), 3600);
    EXPECT_EQ(getDurationWithinZRDate(*plain, march3 + 2), 0);
    context.deleteObject(plain);
    const struct {
        const char* name;
        std::int16_t code;
        Instant start, end;
        double first, second, third;
    } cases[] = {
        {"hour across, nearest 60", 260, berlin(2024, 3, 3, 23, 30), berlin(2024, 3, 4, 0, 30),
         3600, 0, 0},
        {"hour across, up 60", 160, berlin(2024, 3, 3, 23, 30), berlin(2024, 3, 4, 0, 30), 3600, 0,
         0},
        {"two hours, up 60", 160, berlin(2024, 3, 3, 23), berlin(2024, 3, 4, 1), 3600, 3600, 0},
        {"two hours, nearest 60", 260, berlin(2024, 3, 3, 23), berlin(2024, 3, 4, 1), 3600, 3600,
         0},
        {"late half, nearest 60", 260, berlin(2024, 3, 3, 23, 50), berlin(2024, 3, 4, 0, 40), 0,
         3600, 0},
        {"hour across, down 45", 345, berlin(2024, 3, 3, 23, 30), berlin(2024, 3, 4, 0, 30), 2700,
         0, 0},
        {"three days, nearest 60", 260, berlin(2024, 3, 3, 23, 30), berlin(2024, 3, 5, 0, 30), 3600,
         24 * 3600, 0},
        {"quarter past, up 60", 160, berlin(2024, 3, 3, 23, 30), berlin(2024, 3, 4, 0, 45), 3600,
         3600, 0},
        {"28 hours, up 60", 160, berlin(2024, 3, 3, 22), berlin(2024, 3, 5, 2), 2 * 3600, 24 * 3600,
         2 * 3600},
    };
    for (const auto& c : cases) {
        task->setRounding(c.code);
        ZRCDTiming* timing = stoppedTiming(task, c.start, c.end);
        EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*timing, march3), c.first) << c.name;
        EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*timing, march3 + 1), c.second) << c.name;
        EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*timing, march3 + 2), c.third) << c.name;
        EXPECT_EQ(c.first + c.second + c.third, durationWithRounding(*timing)) << c.name;
        context.deleteObject(timing);
    }
}

// Random timings over 1 to 6 days under every kind of rule, cut-off and the summer-time change:
// whatever the parts, the shares of all days add up to the rounded whole.
TEST_F(TimingRounding, DaySharesOfRandomTimingsAlwaysSumToTheRoundedWhole) {
    ZRCDTask* task = newTask("Random");
    std::mt19937_64 random(20240303);
    const Instant from = berlin(2024, 3, 20);  // the clocks go forward on 31 March
    std::uniform_real_distribution<double> startAt(0.0, 20.0 * 86400.0);
    std::uniform_int_distribution<int> cutOffHour(0, 23);
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    const int minutes[] = {1, 7, 15, 45, 60, 99};
    int checked = 0;
    for (int round = 0; round < 400; ++round) {
        const Instant start = std::floor(from + startAt(random));
        const std::int32_t cutOff = cutOffHour(random) * 3600;
        // From a few seconds to five days: the timing touches one to six days.
        const double length = 6.0 + fraction(random) * (5.0 * 86400.0 - 7200.0);
        for (int type = 1; type <= 3; ++type) {
            const auto code = static_cast<std::int16_t>(type * 100 + minutes[round % 6]);
            task->setRounding(code);
            ZRCDTiming* timing = timingInZone(task, start, start + length, "Europe/Berlin", cutOff);
            const ZRDate first =
                date_additions::zrDateWithTimeZoneName(start, "Europe/Berlin", cutOff, false);
            double sum = 0.0;
            double plain = 0.0;
            for (ZRDate day = first - 1; day <= first + 7; ++day) {
                const double share = getPerTaskRoundedDurationWithinZRDate(*timing, day);
                EXPECT_EQ(std::fmod(share, minutes[round % 6] * 60.0), 0.0) << code;
                sum += share;
                plain += getDurationWithinZRDate(*timing, day);
            }
            ASSERT_NEAR(plain, length, 1e-6);
            ASSERT_EQ(sum, durationWithRounding(*timing))
                << "code " << code << " start " << start << " length " << length << " cut-off "
                << cutOff;
            context.deleteObject(timing);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 1200);
}

// A ten-minute timing under each kind of rule of 15 minutes, under rules that do not round (a
// type beyond 3 is no rule: the timing keeps its 10 minutes rather than a "unit" of 15), and a
// timing without length, which has no share under any rule.
TEST_F(TimingRounding, ATenMinuteTimingUnderEachRuleAndAnEmptyOneUnderAny) {
    ZRCDTask* task = newTask("Calls");
    ZRCDTiming* timing = stoppedTiming(task, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    ZRCDTiming* empty = stoppedTiming(task, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9));
    const ZRDate day = dayNumber(2024, 3, 5);
    const struct {
        std::int16_t code;
        double share;
    } cases[] = {{315, 0}, {115, 900}, {215, 900}, {-1, 600}, {15, 600}, {415, 600}};
    for (const auto& c : cases) {
        task->setRounding(c.code);
        EXPECT_EQ(getPerTaskRoundedDurationWithinZRDate(*timing, day), c.share) << c.code;
        const double none = getPerTaskRoundedDurationWithinZRDate(*empty, day);
        EXPECT_FALSE(std::isnan(none)) << c.code;
        EXPECT_EQ(none, 0) << c.code;
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

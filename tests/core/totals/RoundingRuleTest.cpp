#include <gtest/gtest.h>

#include "core/totals/RoundingRule.h"

namespace ravelong {
namespace {

using rounding_rule::roundDuration;
using rounding_rule::roundsDurations;

TEST(RoundingRule, EachTypeRoundsToWholeUnitsOfItsMinutes) {
    // 15 minutes = 900 s:      901 s    1350 s    449 s    450 s    1800 s
    //   up (115)               1800     1800      900      900      1800
    //   nearest (215)          900      1800      0        900      1800
    //   down (315)             900      900       0        0        1800
    EXPECT_EQ(roundDuration(901, 115), 1800);
    EXPECT_EQ(roundDuration(901, 215), 900);
    EXPECT_EQ(roundDuration(901, 315), 900);
    EXPECT_EQ(roundDuration(1350, 115), 1800);
    EXPECT_EQ(roundDuration(1350, 215), 1800);  // a half rounds away from zero
    EXPECT_EQ(roundDuration(1350, 315), 900);
    EXPECT_EQ(roundDuration(449, 215), 0);
    EXPECT_EQ(roundDuration(450, 215), 900);
    EXPECT_EQ(roundDuration(449, 115), 900);
    EXPECT_EQ(roundDuration(449, 315), 0);
    for (std::int16_t code : {115, 215, 315})
        EXPECT_EQ(roundDuration(1800, code), 1800) << code;
    // One minute and 99 minutes are the ends of the range.
    EXPECT_EQ(roundDuration(61, 101), 120);
    EXPECT_EQ(roundDuration(61, 399), 0);
    EXPECT_EQ(roundDuration(5941, 199), 11880);
    EXPECT_EQ(roundDuration(0, 115), 0);
}

TEST(RoundingRule, CodesThatDoNotRoundLeaveTheDurationAsItIs) {
    // Inherit, no rule, explicit "no rounding" with minutes, minutes 0, and types beyond 3.
    for (std::int16_t code : {-1, -7, 0, 15, 99, 100, 200, 300, 415, 999, 32767}) {
        EXPECT_FALSE(roundsDurations(code)) << code;
        EXPECT_EQ(roundDuration(901.25, code), 901.25) << code;
    }
    for (std::int16_t code : {101, 115, 199, 201, 260, 301, 399})
        EXPECT_TRUE(roundsDurations(code)) << code;
}

TEST(RoundingRule, TheNoiseOfSubtractingInstantsDoesNotCostOrGainAUnit) {
    // Two instants on either side of 2^29 seconds after 2001, where doubles change their spacing:
    // 15 minutes apart by the clock, a hair more by subtraction.
    const double start = 536870461.7;
    const double end = 536871361.7;
    ASSERT_NE(end - start, 900.0);
    EXPECT_EQ(roundDuration(end - start, 115), 900);
    EXPECT_EQ(roundDuration(900.0 - 2e-7, 315), 900);
    EXPECT_EQ(roundDuration(450.0 - 2e-7, 215), 900);
    // A real second beyond the unit still rounds up.
    EXPECT_EQ(roundDuration(901.0, 115), 1800);
}

}  // namespace
}  // namespace ravelong

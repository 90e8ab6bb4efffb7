#include <gtest/gtest.h>

#include "platform/ProcessUptime.h"

namespace ravelong {
namespace {

using process_uptime::startTimeTicksFromStat;

TEST(ProcessUptime, StartTimeIsTheTwentySecondField) {
    // pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime
    // stime cutime cstime priority nice threads itrealvalue starttime vsize ...
    EXPECT_EQ(startTimeTicksFromStat("4242 (ravelong) S 1 4242 4242 0 -1 4194560 812 0 0 0 3 1 0 0 "
                                     "20 0 4 0 1194531 123456789 2000"),
              1194531u);
}

TEST(ProcessUptime, CommandsWithBlanksAndParenthesesDoNotShiftTheFields) {
    EXPECT_EQ(startTimeTicksFromStat("7 (a) b (c)) R 1 7 7 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 "
                                     "987 4096 1"),
              987u);
}

TEST(ProcessUptime, MalformedLinesGiveNothing) {
    EXPECT_FALSE(startTimeTicksFromStat(""));
    EXPECT_FALSE(startTimeTicksFromStat("4242 ravelong S 1"));
    EXPECT_FALSE(startTimeTicksFromStat("4242 (ravelong) S 1 4242"));
    EXPECT_FALSE(
        startTimeTicksFromStat("4242 (ravelong) S 1 4242 4242 0 -1 4194560 812 0 0 0 3 1 "
                               "0 0 20 0 4 0 12x4 1"));
}

TEST(ProcessUptime, ThisProcessStartedInThePastAndTimeMovesOn) {
    const double first = process_uptime::secondsSinceProcessStart();
    const double second = process_uptime::secondsSinceProcessStart();
    EXPECT_GE(first, 0.0);
    // A test program is not running for hours; a misread field gives the machine's uptime.
    EXPECT_LT(first, 600.0);
    EXPECT_GE(second, first);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "app/PreferenceKeys.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "menubar/MenuBarTexts.h"
#include "tests/menubar/MenuBarTestFixture.h"

namespace ravelong::testing {
namespace {

using StatusItemView = MenuBarTest;

//                      2023-12-10 | 2024-02-20 | 03-04 (last week) | 03-11 (Mon) | 03-12 (Tue, now
//                      10:00)
//  task A (current)    2h         | 1h         | 30m               | 15m         | 10m + running
//  since 09:00 task B              .          | .          | .                 | .           | 20m
//  task C (archived)   .          | .          | .                 | .           | 5m
TEST_F(StatusItemView, ShowsEachOfTheTwelveTotals) {
    ZRCDTask* a = makeTask("Alpha");
    ZRCDTask* b = makeTask("Beta");
    ZRCDTask* c = makeTask("Gamma");
    addTiming(a, berlinWinter(2023, 12, 10, 10), berlinWinter(2023, 12, 10, 12));
    addTiming(a, berlinWinter(2024, 2, 20, 10), berlinWinter(2024, 2, 20, 11));
    addTiming(a, berlinWinter(2024, 3, 4, 9), berlinWinter(2024, 3, 4, 9, 30));
    addTiming(a, berlinWinter(2024, 3, 11, 14), berlinWinter(2024, 3, 11, 14, 15));
    addTiming(a, berlinWinter(2024, 3, 12, 8), berlinWinter(2024, 3, 12, 8, 10));
    addTiming(b, berlinWinter(2024, 3, 12, 7), berlinWinter(2024, 3, 12, 7, 20));
    addTiming(c, berlinWinter(2024, 3, 12, 6), berlinWinter(2024, 3, 12, 6, 5));
    c->setIsArchived(true);
    startTiming(a, berlinWinter(2024, 3, 12, 9));
    settle();

    struct Case {
        int value;
        double included;  // archived task counted
        double excluded;  // "ZRExcludeArchivedTimesInMenuBar"
    };
    const Case cases[] = {
        {0, 0, 0},
        {1, 3600, 3600},
        {2, 600 + 3600, 600 + 3600},
        {3, 1500 + 3600, 1500 + 3600},
        {4, 3300 + 3600, 3300 + 3600},
        {5, 6900 + 3600, 6900 + 3600},
        {6, 14100 + 3600, 14100 + 3600},
        {7, 2100 + 3600, 1800 + 3600},
        {8, 3000 + 3600, 2700 + 3600},
        {9, 4800 + 3600, 4500 + 3600},
        {10, 8400 + 3600, 8100 + 3600},
        {11, 15600 + 3600, 15300 + 3600},
    };
    for (const Case& c : cases) {
        for (bool exclude : {false, true}) {
            defaults.setBool(kZRExcludeArchivedTimesInMenuBar, exclude);
            defaults.setInteger(kZRStatusIconDuration, c.value);
            refreshView();
            EXPECT_DOUBLE_EQ(view->shownSeconds(), exclude ? c.excluded : c.included)
                << "value " << c.value << " exclude " << exclude;
            EXPECT_EQ(view->display().timeText.empty(), c.value == 0) << c.value;
            EXPECT_EQ(view->showTimeInStatusIcon(), c.value != 0);
            EXPECT_EQ(view->display().taskName, "Alpha");
            EXPECT_TRUE(view->display().running);
        }
    }
}

// R for a timer that began before the current period: only the part since the period began
// counts. Cut-off hour 4; weeks start on Monday.
//
//   value 2  start Tue 12 03:00 (still Monday's day)   now Tue 12 10:00  -> since Tue 04:00
//   value 2  start Tue 12 04:00 (today)                now Tue 12 10:00  -> since start
//   value 3  start Mon 11 03:00 (Sunday's day)         now Tue 12 10:00  -> since Mon 04:00
//   value 4  start Fri  1 03:00 (February's last day)  now Tue 12 10:00  -> since Mar 1 04:00
//   value 5  start Mon  1 Jan 03:00 (2023's last day)  now Tue 12 10:00  -> since Jan 1 04:00
//   value 6  start Mon  1 Jan 03:00                    now Tue 12 10:00  -> since start
TEST_F(StatusItemView, RunningPartStartsAtTheBeginningOfThePeriodUnderTheCutOff) {
    struct Case {
        int value;
        Instant start;
        Instant countedFrom;
    };
    const Case cases[] = {
        {2, berlinWinter(2024, 3, 12, 3), berlinWinter(2024, 3, 12, 4)},
        {2, berlinWinter(2024, 3, 12, 4), berlinWinter(2024, 3, 12, 4)},
        {3, berlinWinter(2024, 3, 11, 3), berlinWinter(2024, 3, 11, 4)},
        {3, berlinWinter(2024, 3, 11, 5), berlinWinter(2024, 3, 11, 5)},
        {4, berlinWinter(2024, 3, 1, 3), berlinWinter(2024, 3, 1, 4)},
        {5, berlinWinter(2024, 1, 1, 3), berlinWinter(2024, 1, 1, 4)},
        {6, berlinWinter(2024, 1, 1, 3), berlinWinter(2024, 1, 1, 3)},
        {7, berlinWinter(2024, 3, 12, 3), berlinWinter(2024, 3, 12, 4)},
    };
    setNewDayHour(4);
    ZRCDTask* task = makeTask("Night shift");
    settle();
    for (const Case& c : cases) {
        ZRCDTiming* timing = startTiming(task, c.start);
        defaults.setInteger(kZRStatusIconDuration, c.value);
        refreshView();
        EXPECT_DOUBLE_EQ(view->shownSeconds(), clock.now() - c.countedFrom) << "value " << c.value;
        ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context);
        settle();
    }
}

// Two timers of the current task, since 08:00 and 09:30 (topmost), now 10:00: the task's totals
// count both, the current timing only the topmost.
TEST_F(StatusItemView, TaskTotalsCountEveryRunningTimerOfTheTask) {
    ZRCDTask* task = makeTask("Pair work");
    startTiming(task, berlinWinter(2024, 3, 12, 8));
    startTiming(task, berlinWinter(2024, 3, 12, 9, 30));
    startTiming(makeTask("Other"), berlinWinter(2024, 3, 12, 7));
    settle();
    const std::pair<int, double> cases[] = {
        {1, 1800}, {2, 7200 + 1800}, {6, 7200 + 1800}, {7, 7200 + 1800 + 10800}};
    for (const auto& [value, shown] : cases) {
        defaults.setInteger(kZRStatusIconDuration, value);
        refreshView();
        EXPECT_DOUBLE_EQ(view->shownSeconds(), shown) << value;
    }
}

TEST_F(StatusItemView, ReadsTheBaseAgainWhenATickCrossesTheCutOff) {
    setNewDayHour(4);
    ZRCDTask* task = makeTask("Late");
    addTiming(task, berlinWinter(2024, 3, 12, 5), berlinWinter(2024, 3, 12, 6));
    startTiming(task, berlinWinter(2024, 3, 12, 9));
    settle();
    refreshView();  // value 2 by default: 1h today + 1h running
    EXPECT_DOUBLE_EQ(view->shownSeconds(), 7200);
    clock.set(berlinWinter(2024, 3, 13, 3, 59));
    view->timeTick();
    EXPECT_DOUBLE_EQ(view->shownSeconds(), 3600 + 18 * 3600 + 59 * 60);
    clock.set(berlinWinter(2024, 3, 13, 4, 1));
    view->timeTick();
    EXPECT_DOUBLE_EQ(view->shownSeconds(), 60) << "yesterday's hour left the base";
}

TEST_F(StatusItemView, CurrentTaskFallsBackToTheLastModifiedLeafAndToNoTask) {
    refreshView();
    EXPECT_EQ(view->display().taskName, menu_bar_texts::kNoTask);
    EXPECT_EQ(view->currentTask(), nullptr);
    EXPECT_FALSE(view->display().running);

    ZRCDTask* parent = makeTask("Client");
    ZRCDTask* leaf = makeTask("Design", parent);
    settle();
    refreshView();
    EXPECT_EQ(view->currentTask(), leaf);
    EXPECT_EQ(view->display().taskName, "Design");

    defaults.setBool(kZRShowTaskNameInStatusIcon, false);
    EXPECT_EQ(view->display().taskName, "") << "the preference change redraws at once";
}

TEST_F(StatusItemView, BadgeCountsRunningTimersFromTwoAndShowsPlusFromTen) {
    const std::pair<int, std::string> cases[] = {
        {1, ""}, {2, "2"}, {9, "9"}, {10, "\uFF0B"}, {11, "\uFF0B"}};
    for (const auto& [count, badge] : cases) {
        for (ZRCDTiming* timing : ZRCDTiming::getRunningTimings_inContext(context))
            ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context);
        for (int i = 0; i < count; ++i)
            startTiming(makeTask("Task " + std::to_string(i)), clock.now() - 600 + i);
        settle();
        refreshView();
        EXPECT_EQ(view->display().badgeText, badge) << count;
        EXPECT_EQ(view->numberOfRunningTimings(), static_cast<std::size_t>(count));
        // The latest started (modified) is topmost.
        EXPECT_EQ(view->display().taskName, "Task " + std::to_string(count - 1));
    }
}

TEST_F(StatusItemView, SecondsCounterRunsUntilTheLimitOnly) {
    defaults.setInteger(kZRStatusIconShowSecondsDuration, 60);
    std::vector<std::string> drawn;
    view->setDisplayObserver(
        [&](const StatusItemDisplay& display) { drawn.push_back(display.secondsText); });
    startTiming(makeTask("Quick"), clock.now());
    settle();
    refreshView();
    EXPECT_FALSE(view->display().secondsText.empty());
    const std::string first = view->display().secondsText;
    loop.advance(5);
    EXPECT_NE(view->display().secondsText, first) << "the counter redraws every second";
    loop.advance(56);
    EXPECT_EQ(view->display().secondsText, "") << "past the limit";
    EXPECT_EQ(loop.pendingCount(), 0u) << "no per-second timer once the counter is gone";
    EXPECT_GE(drawn.size(), 60u);

    defaults.setInteger(kZRStatusIconShowSecondsDuration, 0);
    startTiming(makeTask("Another"), clock.now());
    refreshView();
    EXPECT_EQ(view->display().secondsText, "");
}

TEST_F(StatusItemView, ShowsTheLengthOfATimerStoppedMinutesAgoOnce) {
    ZRCDTask* task = makeTask("Call");
    ZRCDTiming* timing = startTiming(task, clock.now() - 3600);
    settle();
    refreshView();
    ASSERT_TRUE(timer->stopTiming(timing, 600.0, 2, false, true));
    EXPECT_NE(view->display().lastStopText, "");
    EXPECT_NE(view->display().toolTipText().find(view->display().lastStopText), std::string::npos);
    view->updateTime();
    EXPECT_EQ(view->display().lastStopText, "");
}

TEST_F(StatusItemView, LabelAndToolTipCarryNameAndTotal) {
    defaults.setInteger(kZRStatusIconDuration, 1);
    ZRCDTask* a = makeTask("Write");
    startTiming(a, clock.now() - 3600);
    startTiming(makeTask("Read"), clock.now() - 60);
    settle();
    refreshView();
    const StatusItemDisplay& shown = view->display();
    EXPECT_EQ(shown.labelText(), "Read " + shown.timeText);
    EXPECT_EQ(shown.toolTipText(), "Read\nCurrent timer: " + shown.timeText + "\n2 timers running");
}

}  // namespace
}  // namespace ravelong::testing

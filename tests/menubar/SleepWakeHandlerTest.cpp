#include "app/PreferenceKeys.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "menubar/IdleTexts.h"
#include "menubar/SleepWakeHandler.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;

class SleepWakeTest : public stats_testing::StatsWorld {
protected:
    SleepWakeTest() {
        tree("Design Admin Write");
        center.addObserver(std::string(kMenuBarTableViewNeedsToReloadConcernedRows), nullptr,
                           [this](const Notification&) { ++rowReloads; });
    }
    ZRCDTiming* start(const std::string& task, Instant at) {
        clock.set(at);
        return ZRCDTiming::createRunningTimingNowForTask_andOrigin(tasks.at(task), 0, *context);
    }
    void sleepAndWake(Instant sleep, Instant wake) {
        clock.set(sleep);
        handler.receiveSleepNote();
        clock.set(wake);
        handler.wakeFromSleep();
    }

    int rowReloads = 0;
    int newDayTimers = 0;
    int totalReloads = 0;
    ZRTimerControllerOSX controller{*delegate};
    SleepWakeHandler handler{controller,
                             defaults,
                             center,
                             loop,
                             clock,
                             SleepWakeHandler::Hooks{[this] { ++newDayTimers; }, [this] { ++totalReloads; }}};
};

// Without timing while asleep, every running timer ends at the moment of sleep, in one step.
TEST_F(SleepWakeTest, SleepStopsEveryRunningTimerWhenTimingWhileAsleepIsOff) {
    defaults.setBool(kZRTimingWhenSleeping, false);
    for (const auto& [count, name] : {std::pair{1, "Stop Timer When Computer Went to Sleep"},
                                      std::pair{3, "Stop Timers When Computer Went to Sleep"}}) {
        std::vector<ZRCDTiming*> timings;
        const char* names[] = {"Design", "Admin", "Write"};
        for (int i = 0; i < count; ++i)
            timings.push_back(start(names[i], berlinTime(2024, 3, 13, 9, i)));
        settle();
        const int updates = delegate->statusItem.updates();
        clock.set(berlinTime(2024, 3, 13, 11));
        handler.receiveSleepNote();
        EXPECT_EQ(handler.lastPutToSleep(), berlinTime(2024, 3, 13, 11));
        EXPECT_EQ(undoName(), name);
        EXPECT_FALSE(context->hasChanges());
        for (ZRCDTiming* timing : timings)
            EXPECT_EQ(timing->endDate(), berlinTime(2024, 3, 13, 11));
        EXPECT_GT(delegate->statusItem.updates(), updates);
        context->undoManager()->undo();
        for (ZRCDTiming* timing : timings)
            EXPECT_TRUE(timing->running());
        for (ZRCDTiming* timing : timings)
            context->deleteObject(timing);
        settle();
    }
}

// With timing while asleep the timers run on; after waking the idle panel is offered when the
// idle time at sleep plus the time asleep is strictly above the limit (300 s):
//   idle at sleep  asleep   total   panel
//   100 s          200 s    300 s   no (equal)
//   100 s          201 s    301 s   yes, since now - 301 s
//   0 s            3600 s   3600 s  yes
//   limit 0        3600 s           no, and nothing is recorded at sleep
TEST_F(SleepWakeTest, WakingOffersTheIdlePanelOnlyPastTheLimit) {
    struct Case {
        std::int64_t limit;
        double idleAtSleep;
        double asleep;
        bool panel;
    };
    const Case cases[] = {
        {300, 100, 200, false}, {300, 100, 201, true}, {300, 0, 3600, true}, {0, 50, 3600, false}};
    ZRCDTiming* design = start("Design", berlinTime(2024, 3, 13, 9));
    settle();
    Instant at = berlinTime(2024, 3, 13, 10);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asleep);
        defaults.setInteger(kZRIdleTime, c.limit);
        delegate->idleSource.setAll(c.idleAtSleep);
        const std::size_t shown = delegate->idlePanel.shownSince().size();
        sleepAndWake(at, at + c.asleep);
        EXPECT_TRUE(design->running());
        EXPECT_EQ(handler.idleTimeWhenComputerWentToSleep(), c.limit > 0 ? c.idleAtSleep : 0.0);
        ASSERT_EQ(delegate->idlePanel.shownSince().size(), shown + (c.panel ? 1 : 0));
        if (c.panel) {
            EXPECT_EQ(delegate->idlePanel.shownSince().back(), at - c.idleAtSleep);
        }
        at += c.asleep + 3600;
    }
}

// A timer that appears while the computer sleeps (another device's, synchronised in) is not
// measured against what an earlier sleep remembered.
TEST_F(SleepWakeTest, IdleTimeIsNeverMeasuredFromAnEarlierSleep) {
    defaults.setInteger(kZRIdleTime, 300);
    delegate->idleSource.setAll(100);
    ZRCDTiming* design = start("Design", berlinTime(2024, 3, 13, 9));
    settle();
    sleepAndWake(berlinTime(2024, 3, 13, 10), berlinTime(2024, 3, 13, 10, 1));
    EXPECT_TRUE(delegate->idlePanel.shownSince().empty());
    context->deleteObject(design);
    settle();
    clock.set(berlinTime(2024, 3, 13, 12));
    handler.receiveSleepNote();
    start("Admin", berlinTime(2024, 3, 13, 12, 10));
    settle();
    clock.set(berlinTime(2024, 3, 13, 12, 30));
    handler.wakeFromSleep();
    EXPECT_TRUE(delegate->idlePanel.shownSince().empty());
}

TEST_F(SleepWakeTest, WakingRefreshesRunningTimersAndReloadsTotalsOnAnotherDay) {
    setCutoff(4);
    start("Design", berlinTime(2024, 3, 13, 9));
    settle();
    // 23:00 to 03:00 stays in the 13th under the 4 o'clock cut-off; to 05:00 it does not.
    sleepAndWake(berlinTime(2024, 3, 13, 23), berlinTime(2024, 3, 14, 3));
    EXPECT_EQ(totalReloads, 0);
    EXPECT_EQ(newDayTimers, 1);
    EXPECT_EQ(rowReloads, 1);
    sleepAndWake(berlinTime(2024, 3, 14, 3, 30), berlinTime(2024, 3, 14, 5));
    EXPECT_EQ(totalReloads, 1);
    EXPECT_EQ(newDayTimers, 2);
    EXPECT_EQ(handler.lastWakeFromSleep(), berlinTime(2024, 3, 14, 5));
    // A timer that started within 7 seconds of waking is not redrawn or checked.
    for (ZRCDTiming* running : ZRCDTiming::getRunningTimings_inContext(*context))
        context->deleteObject(running);
    start("Admin", berlinTime(2024, 3, 14, 6));
    settle();
    sleepAndWake(berlinTime(2024, 3, 14, 6), berlinTime(2024, 3, 14, 6, 0) + 5);
    EXPECT_EQ(rowReloads, 2);
}

// A timer left running across a long sleep is split at 96 hours on waking.
TEST_F(SleepWakeTest, WakingSplitsOverLongTimers) {
    ZRCDTiming* design = start("Design", berlinTime(2024, 3, 8, 9));
    settle();
    sleepAndWake(berlinTime(2024, 3, 8, 10), berlinTime(2024, 3, 13, 10));
    EXPECT_FALSE(design->running());
    EXPECT_NEAR(design->duration(), 96 * 3600.0, 0.001);
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(*context), 1u);
}

TEST_F(SleepWakeTest, IdleCheckWaitsWhileASyncConnectionIsInTransition) {
    defaults.setInteger(kZRIdleTime, 300);
    start("Design", berlinTime(2024, 3, 13, 9));
    settle();
    defaults.setInteger(kZRConnectionState, 201);
    sleepAndWake(berlinTime(2024, 3, 13, 10), berlinTime(2024, 3, 13, 11));
    EXPECT_TRUE(delegate->idlePanel.shownSince().empty());
    loop.advance(5);
    EXPECT_TRUE(delegate->idlePanel.shownSince().empty());
    defaults.setInteger(kZRConnectionState, 200);  // connected
    loop.advance(5);
    ASSERT_EQ(delegate->idlePanel.shownSince().size(), 1u);
    EXPECT_EQ(delegate->idlePanel.shownSince()[0], berlinTime(2024, 3, 13, 10));
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/SettableClock.h"
#include "ui/QtMainLoop.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::runFor;
using ui_testing::runUntil;

// The loop reads its time from a settable clock, so the tests decide when timers are due; the
// Qt timer underneath still waits real milliseconds for them, so the intervals here are short.
class QtMainLoopTest : public ::testing::Test {
protected:
    static constexpr Instant kStart = 1000.0;
    SettableClock clock{kStart};
    ScopedClock scopedClock{clock};
    QtMainLoop loop;
    ScopedMainLoop scopedLoop{loop};
};

TEST_F(QtMainLoopTest, QueuedWorkRunsLaterInOrderOnTheMainThreadFromAnyThread) {
    std::vector<int> order;
    bool onMainThread = true;
    loop.runOnMainThread([&] { order.push_back(0); });
    EXPECT_TRUE(order.empty()) << "work must not run inside the call that queued it";

    std::thread worker([&] {
        EXPECT_FALSE(loop.isMainThread());
        for (int i = 1; i <= 200; ++i) {
            loop.runOnMainThread([&, i] {
                onMainThread = onMainThread && loop.isMainThread();
                order.push_back(i);
            });
        }
    });
    worker.join();
    ASSERT_TRUE(runUntil([&] { return order.size() == 201; }));
    for (int i = 0; i <= 200; ++i)
        ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(onMainThread);
}

TEST_F(QtMainLoopTest, TimersFireByTimeAndEqualTimesInTheOrderScheduled) {
    std::string order;
    loop.runAfter(0.03, [&] { order += 'A'; });
    loop.runAfter(0.01, [&] { order += 'B'; });
    loop.runAfter(0.01, [&] { order += 'C'; });
    loop.runAfter(0.02, [&] { order += 'D'; });
    loop.runAfter(-5.0, [&] { order += 'E'; });  // counts as now

    ASSERT_TRUE(runUntil([&] { return order == "E"; }));
    runFor(60);
    EXPECT_EQ(order, "E") << "nothing else is due while the clock stands still";

    clock.advance(1.0);
    ASSERT_TRUE(runUntil([&] { return order.size() == 5; }));
    EXPECT_EQ(order, "EBCDA");
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST_F(QtMainLoopTest, CancelledTimersDoNotFireAndARepeatingTimerCanStopItself) {
    int cancelled = 0, kept = 0, repeating = 0;
    const MainLoop::TimerId doomed = loop.runAfter(0.01, [&] { ++cancelled; });
    loop.runAfter(0.01, [&] { ++kept; });
    MainLoop::TimerId self = 0;
    self = loop.runRepeating(0.01, 0.0, [&] {
        ++repeating;
        loop.cancel(self);
    });
    loop.cancel(doomed);
    loop.cancel(doomed);     // twice is harmless
    loop.cancel(987654321);  // and so is an unknown id

    clock.advance(0.015);
    ASSERT_TRUE(runUntil([&] { return kept == 1 && repeating == 1; }));
    clock.advance(1.0);
    runFor(80);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(kept, 1);
    EXPECT_EQ(repeating, 1);
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

// Interval 0.05 s from 1000.00, so the grid is 1000.05, 1000.10, 1000.15, 1000.20, ...
//
//   fire 1 at 1000.05, its callback takes until 1000.17
//   1000.10 and 1000.15 were missed: skipped, not made up
//   fire 2 at 1000.20 (the grid), not at 1000.22 (callback end + interval)
TEST_F(QtMainLoopTest, RepeatingTimersKeepToTheirGridAndSkipMissedFires) {
    std::vector<Instant> fires;
    loop.runRepeating(0.05, 0.0, [&] {
        fires.push_back(clock.now());
        if (fires.size() == 1)
            clock.set(kStart + 0.17);  // a slow callback
    });

    clock.set(kStart + 0.049);
    runFor(100);
    EXPECT_TRUE(fires.empty());

    clock.set(kStart + 0.05);
    ASSERT_TRUE(runUntil([&] { return fires.size() == 1; }));
    EXPECT_DOUBLE_EQ(fires[0], kStart + 0.05);

    clock.set(kStart + 0.199);
    runFor(150);
    EXPECT_EQ(fires.size(), 1u) << "the missed fires at .10 and .15 must not be made up";

    clock.set(kStart + 0.20);
    ASSERT_TRUE(runUntil([&] { return fires.size() == 2; }));
    runFor(100);
    EXPECT_EQ(fires.size(), 2u);

    clock.set(kStart + 0.25);
    ASSERT_TRUE(runUntil([&] { return fires.size() == 3; }));
    EXPECT_EQ(loop.pendingTimers(), 1u);
}

TEST_F(QtMainLoopTest, ATimerScheduledFromAnotherThreadStillWakesTheLoop) {
    bool fired = false;
    std::thread worker([&] { loop.runAfter(0.01, [&] { fired = loop.isMainThread(); }); });
    worker.join();
    clock.advance(0.02);
    EXPECT_TRUE(runUntil([&] { return fired; }));
}

}  // namespace
}  // namespace ravelong

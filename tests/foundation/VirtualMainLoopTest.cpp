#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Log.h"
#include "support/VirtualMainLoop.h"

namespace ravelong {
namespace {

class VirtualMainLoopTest : public ::testing::Test {
protected:
    SettableClock clock{1000.0};
    VirtualMainLoop loop{clock};
};

TEST_F(VirtualMainLoopTest, NothingRunsUntilTheTestDrivesTheLoop) {
    bool ran = false;
    loop.runOnMainThread([&] { ran = true; });
    loop.runAfter(0, [&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(loop.pendingCount(), 2u);
}

TEST_F(VirtualMainLoopTest, TimerRunsWithTheClockAtItsFireTime) {
    std::vector<double> seen;
    loop.runAfter(5, [&] { seen.push_back(clock.now()); });
    loop.runAfter(2.5, [&] { seen.push_back(clock.now()); });

    loop.advance(4);
    EXPECT_EQ(seen, (std::vector<double>{1002.5}));
    EXPECT_EQ(clock.now(), 1004.0);

    loop.advance(10);
    EXPECT_EQ(seen, (std::vector<double>{1002.5, 1005.0}));
    EXPECT_EQ(clock.now(), 1014.0);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(VirtualMainLoopTest, TimersDueAtTheSameInstantRunInSchedulingOrder) {
    std::string order;
    loop.runAfter(2, [&] { order += 'a'; });
    loop.runAfter(1, [&] { order += 'x'; });
    loop.runAfter(2, [&] { order += 'b'; });
    loop.runAfter(2, [&] { order += 'c'; });
    loop.advance(2);
    EXPECT_EQ(order, "xabc");
}

TEST_F(VirtualMainLoopTest, QueuedWorkRunsInOrderBeforeTimeMovesOn) {
    std::string order;
    loop.runAfter(1, [&] {
        order += 't';
        loop.runOnMainThread([&] { order += '2'; });
    });
    loop.runAfter(1, [&] { order += 'u'; });
    loop.runOnMainThread([&] { order += '1'; });
    loop.advance(1);
    // Work queued by the first timer runs before the second timer of the same instant.
    EXPECT_EQ(order, "1t2u");
}

TEST_F(VirtualMainLoopTest, RepeatingTimerFiresTheRightNumberOfTimesOverALongAdvance) {
    // Ten days of the 60-second tick: 14,400 fires, the last one at exactly +864000 s.
    int ticks = 0;
    double lastTick = 0;
    loop.runRepeating(60, 1, [&] {
        ++ticks;
        lastTick = clock.now();
    });
    loop.advance(10 * 86400);
    EXPECT_EQ(ticks, 14400);
    EXPECT_EQ(lastTick, 1000.0 + 864000.0);
    EXPECT_EQ(loop.pendingCount(), 1u);
}

TEST_F(VirtualMainLoopTest, TimersKeepTheirGridAndFireAtTheEndOfTheWindow) {
    std::vector<double> fires;
    loop.runRepeating(3, 0, [&] { fires.push_back(clock.now() - 1000.0); });
    int once = 0;
    loop.runAfter(3, [&] { ++once; });
    loop.advance(2.999);
    EXPECT_EQ(once, 0);
    loop.advance(0.001);  // due exactly at the end of the window
    EXPECT_EQ(once, 1);
    loop.advance(5);
    loop.advance(1);
    EXPECT_EQ(fires, (std::vector<double>{3, 6, 9}));

    // A fractional interval does not drift.
    int ticks = 0;
    loop.runRepeating(0.1, 0, [&] { ++ticks; });
    loop.advance(100);
    EXPECT_EQ(ticks, 1000);
}

TEST_F(VirtualMainLoopTest, TimerScheduledWhileFiringRunsWhenDueInsideTheWindow) {
    std::vector<double> fires;
    loop.runAfter(1, [&] {
        fires.push_back(clock.now());
        loop.runAfter(2, [&] { fires.push_back(clock.now()); });
        loop.runAfter(20, [&] { fires.push_back(clock.now()); });
    });
    loop.advance(5);
    EXPECT_EQ(fires, (std::vector<double>{1001, 1003}));
    EXPECT_EQ(loop.pendingCount(), 1u);
}

TEST_F(VirtualMainLoopTest, TimersCancelledFromCallbacksOrTwiceStopOrAreHarmless) {
    int ticks = 0;
    MainLoop::TimerId repeating = 0;
    repeating = loop.runRepeating(1, 0, [&] {
        if (++ticks == 3)
            loop.cancel(repeating);
    });
    // Cancelled by an earlier callback of the same instant: never runs.
    bool secondRan = false;
    MainLoop::TimerId second = 0;
    loop.runAfter(1, [&] { loop.cancel(second); });
    second = loop.runAfter(1, [&] { secondRan = true; });
    int fired = 0;
    MainLoop::TimerId self = 0;
    self = loop.runAfter(1, [&] {
        ++fired;
        loop.cancel(self);
    });
    loop.advance(10);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(secondRan);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(loop.pendingCount(), 0u);
    // Finished and unknown timers.
    loop.cancel(self);
    loop.cancel(0);
    loop.cancel(987654);
    EXPECT_EQ(fired, 1);
}

TEST_F(VirtualMainLoopTest, TimerIdsAreNeverZeroOrReused) {
    const auto a = loop.runAfter(1, [] {});
    loop.cancel(a);
    const auto b = loop.runAfter(1, [] {});
    const auto c = loop.runRepeating(1, 0, [] {});
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
}

TEST_F(VirtualMainLoopTest, WorkScheduledFromAnotherThreadRunsOnRunPending) {
    std::atomic<bool> ranOnMainThread{false};
    std::thread worker([&] {
        EXPECT_FALSE(loop.isMainThread());
        loop.runOnMainThread([&] { ranOnMainThread = loop.isMainThread(); });
    });
    worker.join();
    EXPECT_EQ(loop.pendingCount(), 1u);
    EXPECT_EQ(loop.runPending(), 1u);
    EXPECT_TRUE(ranOnMainThread);
    EXPECT_TRUE(loop.isMainThread());
}

TEST_F(VirtualMainLoopTest, RunPendingRunsTimersDueNowButDoesNotMoveTheClock) {
    std::string order;
    loop.runAfter(0, [&] { order += 't'; });
    loop.runAfter(1, [&] { order += 'l'; });
    loop.runOnMainThread([&] {
        order += 'w';
        loop.runOnMainThread([&] { order += 'v'; });
    });
    loop.runAfter(-5, [&] { order += 'n'; });  // a negative delay means now
    EXPECT_EQ(loop.runPending(), 4u);
    EXPECT_EQ(order, "wvtn");
    EXPECT_EQ(clock.now(), 1000.0);
}

TEST_F(VirtualMainLoopTest, RunPendingFiresOverdueTimersInTimeOrderAfterTheClockWasSetByHand) {
    std::string order;
    loop.runAfter(5, [&] { order += 'b'; });
    loop.runAfter(3, [&] { order += 'a'; });
    clock.set(1010.0);
    loop.runPending();
    EXPECT_EQ(order, "ab");
    EXPECT_EQ(clock.now(), 1010.0);
}

TEST_F(VirtualMainLoopTest, NestedAdvanceFromACallbackIsRefusedAndLogged) {
    LogCapture capture;
    loop.runAfter(1, [&] { loop.advance(100); });
    loop.advance(2);
    EXPECT_EQ(clock.now(), 1002.0);
    EXPECT_TRUE(capture.contains("virtual main loop advance"));
}

TEST_F(VirtualMainLoopTest, ThrowingRepeatingTimerStaysScheduled) {
    int ticks = 0;
    loop.runRepeating(1, 0, [&] {
        if (++ticks == 1) {
            throw std::runtime_error("first tick fails");
        }
    });
    EXPECT_THROW(loop.advance(1), std::runtime_error);
    loop.advance(2);
    EXPECT_EQ(ticks, 3);
}

TEST(MainLoop, ScopedMainLoopInstallsAndRestoresNested) {
    SettableClock clock;
    VirtualMainLoop outer(clock);
    VirtualMainLoop inner(clock);
    MainLoop& processLoop = MainLoop::current();
    {
        ScopedMainLoop scopedOuter(outer);
        EXPECT_EQ(&MainLoop::current(), &outer);
        {
            ScopedMainLoop scopedInner(inner);
            EXPECT_EQ(&MainLoop::current(), &inner);
        }
        EXPECT_EQ(&MainLoop::current(), &outer);
    }
    EXPECT_EQ(&MainLoop::current(), &processLoop);
}

TEST(MainLoop, WithoutAnInstalledLoopCurrentIsOneProcessWideLoop) {
    MainLoop& first = MainLoop::current();
    MainLoop* fromAnotherThread = nullptr;
    std::thread([&] { fromAnotherThread = &MainLoop::current(); }).join();
    EXPECT_EQ(&first, fromAnotherThread);
}

}  // namespace
}  // namespace ravelong

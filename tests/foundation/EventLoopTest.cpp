#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "foundation/Clock.h"
#include "foundation/EventLoop.h"

namespace ravelong {
namespace {

// These tests run on the system clock with delays of a few milliseconds, so they stay fast.

TEST(EventLoop, RunReturnsAfterQuitFromATimer) {
    EventLoop loop;
    const Instant start = Clock::current().now();
    Instant fired = 0;
    loop.runAfter(0.02, [&] {
        fired = Clock::current().now();
        loop.quit();
    });
    loop.run();
    EXPECT_GE(fired - start, 0.019);
    EXPECT_FALSE(loop.isRunning());
}

TEST(EventLoop, WorkFromAnotherThreadRunsOnTheLoopThread) {
    EventLoop loop;
    std::thread::id ranOn;
    bool wasMainThread = false;
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(loop.isMainThread());
        loop.runOnMainThread([&] {
            ranOn = std::this_thread::get_id();
            wasMainThread = loop.isMainThread();
            loop.quit();
        });
    });
    loop.run();  // sleeps with nothing to do until the worker's work arrives
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(wasMainThread);
}

TEST(EventLoop, QuitFromAnotherThreadStopsAnIdleLoop) {
    EventLoop loop;
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        loop.quit();
    });
    loop.run();  // returns, or the test hangs
    worker.join();
    EXPECT_FALSE(loop.isRunning());
}

TEST(EventLoop, QuitBeforeRunMakesRunReturnAtOnce) {
    EventLoop loop;
    bool ran = false;
    loop.runOnMainThread([&] { ran = true; });
    loop.quit();
    loop.run();
    EXPECT_FALSE(ran);  // still queued for the next run
    loop.runOnMainThread([&] { loop.quit(); });
    loop.run();
    EXPECT_TRUE(ran);
}

TEST(EventLoop, TimersFireUntilCancelled) {
    EventLoop loop;
    bool ran = false;
    loop.cancel(loop.runAfter(0.005, [&] { ran = true; }));
    int ticks = 0;
    MainLoop::TimerId id = 0;
    id = loop.runRepeating(0.005, 0, [&] {
        if (++ticks == 3) {
            loop.cancel(id);
            loop.runAfter(0.02, [&] { loop.quit(); });
        }
    });
    loop.run();
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(ran);
}

TEST(EventLoop, TimersRunInFireTimeOrderAndWorkInQueueOrder) {
    EventLoop loop;
    std::string order;
    loop.runAfter(0.02, [&] {
        order += 'c';
        loop.quit();
    });
    loop.runAfter(0.01, [&] { order += 'b'; });
    loop.runOnMainThread([&] { order += '1'; });
    loop.runOnMainThread([&] { order += '2'; });
    loop.run();
    EXPECT_EQ(order, "12bc");
}

TEST(EventLoop, ThrowingWorkLeavesTheLoopUsable) {
    EventLoop loop;
    bool later = false;
    loop.runOnMainThread([] { throw std::runtime_error("boom"); });
    loop.runOnMainThread([&] {
        later = true;
        loop.quit();
    });
    EXPECT_THROW(loop.run(), std::runtime_error);
    EXPECT_FALSE(loop.isRunning());
    loop.run();
    EXPECT_TRUE(later);
}

TEST(EventLoop, ReschedulingZeroDelayTimersCannotStarveQueuedWork) {
    // Without the per-round limit the loop would fire the ever-renewed timer forever and the
    // quit below would never run (the test would hang).
    EventLoop loop;
    std::atomic<int> spins{0};
    std::function<void()> spin = [&] {
        ++spins;
        loop.runAfter(0, spin);
    };
    loop.runAfter(0, spin);
    std::thread worker([&] {
        while (spins < 100) {
            std::this_thread::yield();
        }
        loop.runOnMainThread([&] { loop.quit(); });
    });
    loop.run();
    worker.join();
    EXPECT_GE(spins, 100);
}

}  // namespace
}  // namespace ravelong

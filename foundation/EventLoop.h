#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "foundation/Instant.h"
#include "foundation/MainLoop.h"
#include "foundation/TimerQueue.h"

namespace ravelong {

// A real main loop for programs without Qt (the command-line tool, benchmarks): run() blocks the
// calling thread, running queued work and due timers, until quit().
//
// Time is read from Clock::current() each time the loop looks at its timers; between events the
// thread sleeps on a condition variable, waking when work is queued, a timer is scheduled or quit
// is called, and at least once a second so that a clock that jumps (a wall-clock change, a
// SettableClock moved by a test) is noticed. Queued work and due timers take turns, so neither
// can starve the other. An exception thrown by a callback propagates out of run(); the loop stays
// usable and run() may be called again.
//
// The main thread is the thread that constructed the loop until run() is called, and from then on
// the thread that last called run(). All other members are safe from any thread. The loop must
// outlive every thread that may still schedule work on it, and must not be destroyed while run()
// is executing.
class EventLoop final : public MainLoop {
public:
    EventLoop();

    void runOnMainThread(std::function<void()> work) override;
    TimerId runAfter(double seconds, std::function<void()> work) override;
    // The tolerance is ignored: timers fire as soon as they are due.
    TimerId runRepeating(double intervalSeconds, double toleranceSeconds,
                         std::function<void()> work) override;
    void cancel(TimerId id) override;
    bool isMainThread() const override;

    // Processes work and timers until quit() is called. Not reentrant.
    void run();

    // Makes run() return once the callback now running (if any) has finished; work still queued
    // stays queued for the next run(). Called before run() starts, it makes that run() return at
    // once, so a thread can never miss a quit issued just before the loop started.
    void quit();

    bool isRunning() const;

private:
    static Instant now();
    // Runs the work queued when it is called, then the timers due; false when quit was requested.
    bool runOneRound(std::unique_lock<std::mutex>& lock);

    std::atomic<std::thread::id> mainThread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> work_;
    TimerQueue timers_;
    bool quitRequested_ = false;
    bool running_ = false;
};

}  // namespace ravelong

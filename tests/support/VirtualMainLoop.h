#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "foundation/MainLoop.h"
#include "foundation/TimerQueue.h"
#include "support/SettableClock.h"

namespace ravelong {

// A main loop in virtual time for tests: nothing runs until the test calls advance() or
// runPending(), and time moves only on the SettableClock it was given, so a test can play ten
// days of 60-second ticks in milliseconds.
//
//     SettableClock clock(1000.0);
//     ScopedClock scopedClock(clock);
//     VirtualMainLoop loop(clock);
//     ScopedMainLoop scopedLoop(loop);
//     loop.runAfter(5, [] { ... });   // runs inside the next advance() that reaches t = 1005
//
// The main thread is the thread that created the loop. Scheduling is safe from any thread;
// advance() and runPending() belong to the main thread and must not be called from inside a
// callback (such a nested call logs an error and does nothing). The tolerance of repeating timers
// is ignored: every timer fires exactly on time. An exception thrown by a callback leaves the
// loop consistent (a repeating timer stays scheduled) and propagates to the caller.
class VirtualMainLoop final : public MainLoop {
public:
    explicit VirtualMainLoop(SettableClock& clock);

    void runOnMainThread(std::function<void()> work) override;
    TimerId runAfter(double seconds, std::function<void()> work) override;
    TimerId runRepeating(double intervalSeconds, double toleranceSeconds,
                         std::function<void()> work) override;
    void cancel(TimerId id) override;
    bool isMainThread() const override;

    // Moves the clock `seconds` forward (negative counts as 0), stopping at every fire time on
    // the way: the timer due at t runs with the clock reading exactly t; timers due at the same
    // instant run in the order they were scheduled; queued work runs before time moves on; and
    // work or timers scheduled by a callback that fall due inside the window run too. The clock
    // ends at start + seconds.
    void advance(double seconds);

    // Runs queued work and the timers due at the clock's current reading (including overdue
    // ones, when the clock was moved by hand), repeatedly until nothing is left to do now. The
    // clock does not move. Returns how many callbacks ran.
    std::size_t runPending();

    // Queued work items plus live timers (a repeating timer counts until cancelled).
    std::size_t pendingCount() const;

    SettableClock& clock() { return clock_; }

private:
    // Runs one queued work item, or else the earliest timer due by `limit` (moving the clock
    // forward to its fire time). False when there was nothing to run.
    bool runNext(Instant limit);
    bool enterDispatch(const char* operation);

    SettableClock& clock_;
    const std::thread::id mainThread_;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> work_;
    TimerQueue timers_;
    bool dispatching_ = false;  // main thread only
};

}  // namespace ravelong

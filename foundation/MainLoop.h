#pragma once

#include <cstdint>
#include <functional>

namespace ravelong {

// The main thread's event loop, as every part of the program sees it: delayed calls, repeating
// ticks (the 60 s timer tick, the 1958 s maintenance tick) and hand-offs from background threads.
// Implementations: EventLoop for programs without Qt, VirtualMainLoop for tests (virtual time),
// and the Qt adapter of the user interface.
//
// Times are seconds measured on Clock::current() (VirtualMainLoop: on its own SettableClock).
// Work always runs on the main thread, never inside the call that scheduled it.
class MainLoop {
public:
    // Identifies a timer. Ids are never reused by a loop and 0 is never an id, so 0 can stand
    // for "no timer".
    using TimerId = std::uint64_t;

    virtual ~MainLoop() = default;

    // Queues work to run soon on the main thread, after work queued before it. Callable from any
    // thread; this is how background work hands its results to the main thread.
    virtual void runOnMainThread(std::function<void()> work) = 0;

    // Runs work once, `seconds` from now (negative counts as 0).
    virtual TimerId runAfter(double seconds, std::function<void()> work) = 0;

    // Runs work every intervalSeconds, first one interval from now. Fire times are fixed on the
    // grid start + n * interval, so a slow callback does not make the timer drift; fires missed
    // while the loop was blocked are skipped, not made up. The tolerance is how late a fire may
    // be so that the loop can coalesce wake-ups (a hint; an implementation may ignore it).
    // Intervals below kMinimumInterval are raised to it.
    virtual TimerId runRepeating(double intervalSeconds, double toleranceSeconds,
                                 std::function<void()> work) = 0;

    // Stops a timer: it will not fire again. Safe from inside the timer's own callback or any
    // other, and for an id that is unknown, already finished or already cancelled.
    virtual void cancel(TimerId id) = 0;

    // True on the thread that runs this loop's work.
    virtual bool isMainThread() const = 0;

    // The loop the program uses; safe to call from any thread. When none is installed it is a
    // process-wide EventLoop made on first use: work scheduled on it runs only once a thread
    // calls its run(). Applications install their own loop at start (the Qt adapter; the
    // command-line tool its EventLoop); tests install a VirtualMainLoop with ScopedMainLoop.
    static MainLoop& current();
    // nullptr restores the process-wide EventLoop. The caller keeps ownership and must keep the
    // loop alive while it is installed.
    static void setCurrent(MainLoop* loop);

    static constexpr double kMinimumInterval = 0.001;
};

// Installs a loop as MainLoop::current() for the lifetime of this object, then restores the one
// installed before it (so scopes nest).
class ScopedMainLoop {
public:
    explicit ScopedMainLoop(MainLoop& loop);
    ~ScopedMainLoop();
    ScopedMainLoop(const ScopedMainLoop&) = delete;
    ScopedMainLoop& operator=(const ScopedMainLoop&) = delete;

private:
    MainLoop* previous_;
};

}  // namespace ravelong

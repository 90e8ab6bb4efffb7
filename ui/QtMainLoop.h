#pragma once

#include <QObject>
#include <QTimer>
#include <mutex>
#include <thread>

#include "foundation/MainLoop.h"
#include "foundation/TimerQueue.h"

namespace ravelong {

// The main loop of the Qt program: MainLoop work runs inside Qt's event loop of the thread that
// made this object (the GUI thread).
//
// runOnMainThread posts a queued call, so work runs in the order it was queued, after the events
// already waiting. Timers live in a TimerQueue (fire times on the grid of MainLoop.h, equal times
// in scheduling order) and one single-shot QTimer wakes the loop for the earliest. Times are read
// from Clock::current(); since a QTimer counts on the monotonic clock, which stands still while
// the computer sleeps, the loop looks at the clock at least every kMaximumWaitSeconds, so a fire
// that came due during sleep or after a clock change runs within that time. The tolerance hint
// is not used. Every member is safe from any thread; the object must outlive every thread that
// may still schedule work on it.
class QtMainLoop final : public QObject, public MainLoop {
    Q_OBJECT

public:
    explicit QtMainLoop(QObject* parent = nullptr);
    ~QtMainLoop() override;

    void runOnMainThread(std::function<void()> work) override;
    TimerId runAfter(double seconds, std::function<void()> work) override;
    TimerId runRepeating(double intervalSeconds, double toleranceSeconds,
                         std::function<void()> work) override;
    void cancel(TimerId id) override;
    bool isMainThread() const override;

    // Timers that will still fire.
    std::size_t pendingTimers() const;

    static constexpr double kMaximumWaitSeconds = 5.0;

private:
    TimerId schedule(double firstFireDelay, double interval, std::function<void()> work);
    // Sets the wake-up timer for the earliest fire; on the main thread only.
    void rearm();
    void rearmFromAnyThread();
    void fireDueTimers();

    const std::thread::id mainThread_;
    mutable std::mutex mutex_;
    TimerQueue timers_;
    QTimer wake_;
};

}  // namespace ravelong

#include "ui/QtMainLoop.h"

#include <QMetaObject>
#include <algorithm>
#include <cmath>

#include "foundation/Clock.h"

namespace ravelong {

QtMainLoop::QtMainLoop(QObject* parent) : QObject(parent), mainThread_(std::this_thread::get_id()) {
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, &QtMainLoop::fireDueTimers);
}

QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::runOnMainThread(std::function<void()> work) {
    // Queued even on the main thread: work never runs inside the call that scheduled it.
    QMetaObject::invokeMethod(
        this, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

MainLoop::TimerId QtMainLoop::runAfter(double seconds, std::function<void()> work) {
    return schedule(std::max(seconds, 0.0), 0.0, std::move(work));
}

MainLoop::TimerId QtMainLoop::runRepeating(double intervalSeconds, double,
                                           std::function<void()> work) {
    const double interval = std::max(intervalSeconds, kMinimumInterval);
    return schedule(interval, interval, std::move(work));
}

MainLoop::TimerId QtMainLoop::schedule(double firstFireDelay, double interval,
                                       std::function<void()> work) {
    TimerId id;
    {
        std::lock_guard lock(mutex_);
        id = timers_.schedule(Clock::current().now() + firstFireDelay, interval, std::move(work));
    }
    rearmFromAnyThread();
    return id;
}

void QtMainLoop::cancel(TimerId id) {
    std::lock_guard lock(mutex_);
    timers_.cancel(id);
    // A wake-up for a cancelled timer finds nothing due and sets itself for the next one.
}

bool QtMainLoop::isMainThread() const {
    return std::this_thread::get_id() == mainThread_;
}

std::size_t QtMainLoop::pendingTimers() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

void QtMainLoop::rearmFromAnyThread() {
    if (isMainThread())
        rearm();
    else
        QMetaObject::invokeMethod(this, &QtMainLoop::rearm, Qt::QueuedConnection);
}

void QtMainLoop::rearm() {
    std::optional<Instant> next;
    {
        std::lock_guard lock(mutex_);
        next = timers_.nextFireTime();
    }
    if (!next) {
        wake_.stop();
        return;
    }
    const double wait = std::clamp(*next - Clock::current().now(), 0.0, kMaximumWaitSeconds);
    // Rounded up: a wake-up a little early would find nothing due and only wake again.
    const int milliseconds = static_cast<int>(std::ceil(wait * 1000.0));
    if (wake_.isActive() && wake_.remainingTime() <= milliseconds)
        return;
    wake_.start(milliseconds);
}

void QtMainLoop::fireDueTimers() {
    // At most as many fires as there are timers now, so a callback that keeps scheduling
    // runAfter(0) cannot keep the loop from its other events.
    std::size_t budget;
    {
        std::lock_guard lock(mutex_);
        budget = timers_.size();
    }
    for (; budget > 0; --budget) {
        std::optional<TimerQueue::Firing> firing;
        {
            std::lock_guard lock(mutex_);
            firing = timers_.takeDue(Clock::current().now());
        }
        if (!firing)
            break;
        struct Finish {
            QtMainLoop& loop;
            const TimerQueue::Firing& firing;
            // Also when the callback throws, so a repeating timer keeps its schedule.
            ~Finish() {
                std::lock_guard lock(loop.mutex_);
                loop.timers_.finishFiring(firing, Clock::current().now());
            }
        } finish{*this, *firing};
        (*firing->work)();
    }
    rearm();
}

}  // namespace ravelong

#include "support/VirtualMainLoop.h"

#include <algorithm>

#include "foundation/Log.h"

namespace ravelong {

VirtualMainLoop::VirtualMainLoop(SettableClock& clock)
    : clock_(clock), mainThread_(std::this_thread::get_id()) {}

void VirtualMainLoop::runOnMainThread(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    work_.push_back(std::move(work));
}

MainLoop::TimerId VirtualMainLoop::runAfter(double seconds, std::function<void()> work) {
    std::lock_guard lock(mutex_);
    return timers_.schedule(clock_.now() + std::max(seconds, 0.0), 0.0, std::move(work));
}

MainLoop::TimerId VirtualMainLoop::runRepeating(double intervalSeconds, double,
                                                std::function<void()> work) {
    const double interval = std::max(intervalSeconds, kMinimumInterval);
    std::lock_guard lock(mutex_);
    return timers_.schedule(clock_.now() + interval, interval, std::move(work));
}

void VirtualMainLoop::cancel(TimerId id) {
    std::lock_guard lock(mutex_);
    timers_.cancel(id);
}

bool VirtualMainLoop::isMainThread() const {
    return std::this_thread::get_id() == mainThread_;
}

std::size_t VirtualMainLoop::pendingCount() const {
    std::lock_guard lock(mutex_);
    return work_.size() + timers_.size();
}

bool VirtualMainLoop::enterDispatch(const char* operation) {
    if (dispatching_) {
        logError(operation, "called from inside a main-loop callback; ignored");
        return false;
    }
    dispatching_ = true;
    return true;
}

void VirtualMainLoop::advance(double seconds) {
    if (!enterDispatch("virtual main loop advance")) {
        return;
    }
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{dispatching_};

    const Instant target = clock_.now() + std::max(seconds, 0.0);
    while (runNext(target)) {
    }
    if (clock_.now() < target) {
        clock_.set(target);
    }
}

std::size_t VirtualMainLoop::runPending() {
    if (!enterDispatch("virtual main loop run pending")) {
        return 0;
    }
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{dispatching_};

    std::size_t count = 0;
    while (runNext(clock_.now())) {
        ++count;
    }
    return count;
}

bool VirtualMainLoop::runNext(Instant limit) {
    std::unique_lock lock(mutex_);
    if (!work_.empty()) {
        std::function<void()> work = std::move(work_.front());
        work_.pop_front();
        lock.unlock();
        work();
        return true;
    }
    std::optional<TimerQueue::Firing> firing = timers_.takeDue(limit);
    if (!firing) {
        return false;
    }
    // A timer that was overdue when the clock was set by hand runs at the clock's reading; time
    // never moves backwards.
    if (firing->fireTime > clock_.now()) {
        clock_.set(firing->fireTime);
    }
    lock.unlock();
    struct Finish {
        VirtualMainLoop& loop;
        const TimerQueue::Firing& firing;
        ~Finish() {
            std::lock_guard relock(loop.mutex_);
            loop.timers_.finishFiring(firing, loop.clock_.now());
        }
    } finish{*this, *firing};
    (*firing->work)();
    return true;
}

}  // namespace ravelong

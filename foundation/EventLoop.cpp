#include "foundation/EventLoop.h"

#include <algorithm>
#include <chrono>

#include "foundation/Clock.h"

namespace ravelong {

namespace {

// The longest sleep between two looks at the clock.
constexpr double kMaximumWaitSeconds = 1.0;

}  // namespace

EventLoop::EventLoop() : mainThread_(std::this_thread::get_id()) {}

Instant EventLoop::now() {
    return Clock::current().now();
}

void EventLoop::runOnMainThread(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
    }
    wake_.notify_all();
}

MainLoop::TimerId EventLoop::runAfter(double seconds, std::function<void()> work) {
    TimerId id;
    {
        std::lock_guard lock(mutex_);
        id = timers_.schedule(now() + std::max(seconds, 0.0), 0.0, std::move(work));
    }
    wake_.notify_all();  // the new timer may be due before the loop meant to wake
    return id;
}

MainLoop::TimerId EventLoop::runRepeating(double intervalSeconds, double,
                                          std::function<void()> work) {
    const double interval = std::max(intervalSeconds, kMinimumInterval);
    TimerId id;
    {
        std::lock_guard lock(mutex_);
        id = timers_.schedule(now() + interval, interval, std::move(work));
    }
    wake_.notify_all();
    return id;
}

void EventLoop::cancel(TimerId id) {
    std::lock_guard lock(mutex_);
    timers_.cancel(id);
}

bool EventLoop::isMainThread() const {
    return std::this_thread::get_id() == mainThread_.load();
}

void EventLoop::quit() {
    {
        std::lock_guard lock(mutex_);
        quitRequested_ = true;
    }
    wake_.notify_all();
}

bool EventLoop::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void EventLoop::run() {
    mainThread_.store(std::this_thread::get_id());
    std::unique_lock lock(mutex_);
    running_ = true;
    struct Stop {
        EventLoop& loop;
        // Runs with the lock held, on a normal return and when a callback throws.
        ~Stop() {
            loop.running_ = false;
            loop.quitRequested_ = false;
        }
    } stop{*this};

    while (runOneRound(lock)) {
        if (!work_.empty()) {
            continue;
        }
        const std::optional<Instant> next = timers_.nextFireTime();
        if (next && *next <= now()) {
            continue;
        }
        if (next) {
            const double wait = std::clamp(*next - now(), 0.0, kMaximumWaitSeconds);
            wake_.wait_for(lock, std::chrono::duration<double>(wait));
        } else {
            wake_.wait(lock);
        }
    }
}

bool EventLoop::runOneRound(std::unique_lock<std::mutex>& lock) {
    // Work queued while this round runs waits for the next round, after the due timers.
    std::deque<std::function<void()>> batch;
    batch.swap(work_);
    while (!batch.empty() && !quitRequested_) {
        std::function<void()> work = std::move(batch.front());
        batch.pop_front();
        lock.unlock();
        try {
            work();
        } catch (...) {
            lock.lock();
            work_.insert(work_.begin(), std::make_move_iterator(batch.begin()),
                         std::make_move_iterator(batch.end()));
            throw;
        }
        lock.lock();
    }
    // After a quit, what was not run goes back in front of anything queued meanwhile.
    work_.insert(work_.begin(), std::make_move_iterator(batch.begin()),
                 std::make_move_iterator(batch.end()));

    // A round fires at most as many timers as there were when it began, so a callback that keeps
    // scheduling runAfter(0) cannot starve queued work or quit().
    for (std::size_t budget = timers_.size(); budget > 0 && !quitRequested_; --budget) {
        std::optional<TimerQueue::Firing> firing = timers_.takeDue(now());
        if (!firing) {
            break;
        }
        lock.unlock();
        try {
            (*firing->work)();
        } catch (...) {
            lock.lock();
            timers_.finishFiring(*firing, now());
            throw;
        }
        lock.lock();
        timers_.finishFiring(*firing, now());
    }
    return !quitRequested_;
}

}  // namespace ravelong

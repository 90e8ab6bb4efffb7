#include "foundation/TimerQueue.h"

#include <cmath>

namespace ravelong {

TimerQueue::TimerId TimerQueue::schedule(Instant firstFire, double intervalSeconds,
                                         std::function<void()> work) {
    const TimerId id = ++lastId_;
    Timer timer;
    timer.start = firstFire;
    timer.interval = intervalSeconds;
    timer.fireTime = firstFire;
    timer.work = std::make_shared<std::function<void()>>(std::move(work));
    enqueue(id, timers_.emplace(id, std::move(timer)).first->second);
    return id;
}

void TimerQueue::enqueue(TimerId id, Timer& timer) {
    timer.sequence = ++lastSequence_;
    schedule_.emplace(timer.fireTime, timer.sequence, id);
}

bool TimerQueue::cancel(TimerId id) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) {
        return false;
    }
    // Absent from the schedule while its callback runs; erasing a missing key is harmless.
    schedule_.erase(Key{found->second.fireTime, found->second.sequence, id});
    timers_.erase(found);
    return true;
}

std::optional<Instant> TimerQueue::nextFireTime() const {
    if (schedule_.empty()) {
        return std::nullopt;
    }
    return std::get<0>(*schedule_.begin());
}

std::optional<TimerQueue::Firing> TimerQueue::takeDue(Instant now) {
    if (schedule_.empty() || std::get<0>(*schedule_.begin()) > now) {
        return std::nullopt;
    }
    const auto [fireTime, sequence, id] = *schedule_.begin();
    schedule_.erase(schedule_.begin());
    const auto found = timers_.find(id);
    Firing firing{id, fireTime, found->second.work};
    if (found->second.interval <= 0.0) {
        timers_.erase(found);
    }
    return firing;
}

void TimerQueue::finishFiring(const Firing& firing, Instant now) {
    const auto found = timers_.find(firing.id);
    if (found == timers_.end() || found->second.interval <= 0.0) {
        return;  // one-shot, or cancelled while it ran
    }
    Timer& timer = found->second;
    // Fire n is computed from the start rather than by adding the interval n times, so a 0.1 s
    // timer still fires exactly 1000 times in 100 s. Fires whose time has passed are skipped.
    std::uint64_t next = timer.fires + 1;
    const double behind = std::floor((now - timer.start) / timer.interval) + 1.0;
    if (behind > static_cast<double>(next) && behind < 9.0e18) {
        next = static_cast<std::uint64_t>(behind);
    }
    timer.fires = next;
    timer.fireTime = timer.start + static_cast<double>(next) * timer.interval;
    enqueue(firing.id, timer);
}

}  // namespace ravelong

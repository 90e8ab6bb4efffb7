#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>

#include "foundation/Instant.h"
#include "foundation/MainLoop.h"

namespace ravelong {

// The timers of a main loop, ordered by fire time and, at equal times, by the order in which they
// were scheduled (a repeating timer counts as scheduled again each time it fires). Not
// thread-safe: the owning loop guards it with its own mutex.
//
// A fire is taken out with takeDue, run by the loop without any lock held, and closed with
// finishFiring, which schedules a repeating timer's next fire unless it was cancelled meanwhile.
class TimerQueue {
public:
    using TimerId = MainLoop::TimerId;
    using Work = std::shared_ptr<std::function<void()>>;

    struct Firing {
        TimerId id = 0;
        Instant fireTime = 0.0;
        Work work;  // shared so that cancelling during the call cannot destroy the running callable
    };

    // intervalSeconds 0 schedules a one-shot timer; a positive one repeats from firstFire.
    TimerId schedule(Instant firstFire, double intervalSeconds, std::function<void()> work);
    bool cancel(TimerId id);

    std::optional<Instant> nextFireTime() const;
    // The earliest timer due at `now`, if any. A one-shot timer is gone after this.
    std::optional<Firing> takeDue(Instant now);
    // Schedules a repeating timer's next fire on its grid after `now`.
    void finishFiring(const Firing& firing, Instant now);

    // Timers that will still fire, including a repeating one whose callback is running.
    std::size_t size() const { return timers_.size(); }

private:
    struct Timer {
        Instant start = 0.0;      // firstFire; fire n is at start + n * interval
        std::uint64_t fires = 0;  // n of the next fire
        double interval = 0.0;
        Instant fireTime = 0.0;
        std::uint64_t sequence = 0;
        Work work;
    };
    using Key = std::tuple<Instant, std::uint64_t, TimerId>;

    void enqueue(TimerId id, Timer& timer);

    std::unordered_map<TimerId, Timer> timers_;
    std::set<Key> schedule_;
    TimerId lastId_ = 0;
    std::uint64_t lastSequence_ = 0;
};

}  // namespace ravelong

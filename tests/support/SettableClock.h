#pragma once

#include <atomic>

#include "foundation/Clock.h"

namespace ravelong {

// A clock that only moves when told to. Thread-safe.
class SettableClock final : public Clock {
public:
    explicit SettableClock(Instant start = 0.0) : now_(start) {}
    Instant now() const override { return now_.load(); }
    void set(Instant instant) { now_.store(instant); }
    void advance(double seconds) { now_.store(now_.load() + seconds); }

private:
    std::atomic<double> now_;
};

}  // namespace ravelong

#pragma once

#include "foundation/Instant.h"

namespace ravelong {

// Where "now" comes from. Nothing in the program reads the system clock directly, so tests can
// run days of timer activity on a SettableClock in microseconds.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Instant now() const = 0;

    // The clock the program uses. Defaults to the system clock; tests install their own with
    // ScopedClock. Safe to call from any thread.
    static Clock& current();
    static void setCurrent(Clock* clock);  // nullptr restores the system clock
};

class SystemClock final : public Clock {
public:
    Instant now() const override;
};

// Installs a clock as Clock::current() for the lifetime of this object.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { Clock::setCurrent(&clock); }
    ~ScopedClock() { Clock::setCurrent(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace ravelong

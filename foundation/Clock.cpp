#include "foundation/Clock.h"

#include <atomic>
#include <chrono>

namespace ravelong {

namespace {
SystemClock gSystemClock;
std::atomic<Clock*> gCurrentClock{&gSystemClock};
}  // namespace

Clock& Clock::current() {
    return *gCurrentClock.load();
}

void Clock::setCurrent(Clock* clock) {
    gCurrentClock.store(clock ? clock : &gSystemClock);
}

Instant SystemClock::now() const {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<microseconds>(system_clock::now().time_since_epoch());
    return instantFromUnixTime(static_cast<double>(sinceEpoch.count()) / 1e6);
}

}  // namespace ravelong

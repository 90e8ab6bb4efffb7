#pragma once

#include <functional>
#include <optional>

#include "foundation/Instant.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class Clock;
class NotificationCenter;
class UserDefaults;
class ZRTimerControllerOSX;

// What the tray item does around sleep: stop the timers (or note how idle the user already was)
// when the computer goes to sleep, and on waking split over-long timers, redraw, and offer the
// idle panel when the user was away past the idle limit.
//
// The platform's sleep watcher calls receiveSleepNote() before the machine sleeps (while it
// still holds its delay inhibitor) and wakeFromSleep() after it woke. lastPutToSleep() and
// lastWakeFromSleep() feed the tray menu's sleep and wake entries. Main thread only; every
// service must outlive the handler.
class SleepWakeHandler {
public:
    // What waking asks of the tray item and the task panel; empty functions are skipped.
    struct Hooks {
        std::function<void()> setNewDayTimer;         // re-arm the new-day timer
        std::function<void()> reloadAllMenuBarTimes;  // woke on another day
    };

    SleepWakeHandler(ZRTimerControllerOSX& timerController, UserDefaults& defaults,
                     NotificationCenter& center, MainLoop& loop, Clock& clock, Hooks hooks);
    ~SleepWakeHandler();
    SleepWakeHandler(const SleepWakeHandler&) = delete;
    SleepWakeHandler& operator=(const SleepWakeHandler&) = delete;

    // Going to sleep. With timers running and "ZRTimingWhenSleeping" off, every running timing
    // stops now in one undo step ("Stop Timer When Computer Went to Sleep" / "Stop Timers ...")
    // and the store is saved. With it on, the timers keep running and, when the idle limit is
    // set, the idle seconds so far are remembered for the check after waking.
    void receiveSleepNote();
    // Woke up: over-long timers are split; with a timer running since more than 7 seconds, the
    // tray item's time and the running rows are redrawn and the idle check after waking runs
    // (when the idle limit is set); the new-day timer is re-armed; totals are reloaded when the
    // computer slept into another day under the cut-off.
    void wakeFromSleep();
    // Offers the idle panel when idle-at-sleep plus the time asleep is strictly above the limit.
    // While a synchronisation is connecting ("ZRConnectionState" not a multiple of 100 with a
    // service set) it tries again 5 seconds later.
    void checkIdleTimeAfterWakeFromSleep();

    std::optional<Instant> lastPutToSleep() const { return lastPutToSleep_; }
    std::optional<Instant> lastWakeFromSleep() const { return lastWakeFromSleep_; }
    double idleTimeWhenComputerWentToSleep() const { return idleTimeWhenComputerWentToSleep_; }

private:
    ZRTimerControllerOSX& timerController_;
    UserDefaults& defaults_;
    NotificationCenter& center_;
    MainLoop& loop_;
    Clock& clock_;
    Hooks hooks_;
    std::optional<Instant> lastPutToSleep_;
    std::optional<Instant> lastWakeFromSleep_;
    double idleTimeWhenComputerWentToSleep_ = 0.0;
    std::optional<Instant> timestampWhenComputerWentToSleep_;
    MainLoop::TimerId retryTimer_ = 0;
};

}  // namespace ravelong

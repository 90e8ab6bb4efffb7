#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/services/StatusItemTime.h"
#include "foundation/Instant.h"
#include "foundation/MainLoop.h"
#include "foundation/UserDefaults.h"
#include "menubar/StatusItemDisplay.h"

namespace ravelong {

class Clock;
class ManagedObjectContext;
class ZRCDTask;
class ZRCDTiming;

// The tray item's behaviour: which task is current, which total it shows, the seconds counter
// and the badge. It turns the store and the preferences into a StatusItemDisplay and hands every
// changed display to the observer the drawing code set.
//
// The total is a base B, read from the store's day aggregates whenever timings change
// (updateTimeIntervalWithoutCurrentTiming, also from updateTime), plus a running part R that a
// tick computes from the running timings alone (timeTick), so a tick does not read totals.
// "ZRStatusIconDuration": 0 nothing, 1 the current timing, 2-6 the current task today, this
// week, month, year, ever (with every running timer of that task), 7-11 all tasks over the same
// periods (see the .cpp for R). A tick that
// finds the day (under the cut-off hour of the context's preferences) changed since B was read
// reads B again.
//
// The seconds counter shows while the topmost timer has run for less than
// "ZRStatusIconShowSecondsDuration" seconds; while it shows, the item redraws every second on
// the main loop. Preferences are watched on `defaults` for as long as the item lives.
// Instants are seconds since 2001; main thread only.
class ZRStatusItemView final : public StatusItemTime {
public:
    using DisplayObserver = std::function<void(const StatusItemDisplay&)>;

    ZRStatusItemView(ManagedObjectContext& context, UserDefaults& defaults, const Clock& clock,
                     MainLoop& loop);
    ~ZRStatusItemView() override;
    ZRStatusItemView(const ZRStatusItemView&) = delete;
    ZRStatusItemView& operator=(const ZRStatusItemView&) = delete;

    // Called with every display that differs from the one before (and once at once).
    void setDisplayObserver(DisplayObserver observer);
    const StatusItemDisplay& display() const { return display_; }

    // The running timings, most recently modified first: the first is the topmost, its task the
    // current one; without any the current task is the last modified unarchived leaf task.
    void handleRunningTimingsChanged(const std::vector<ZRCDTiming*>& timings);
    // Reads B again.
    void updateTimeIntervalWithoutCurrentTiming();
    // The timer ticked: R again (B again when the day changed), and a redraw.
    void timeTick();

    // StatusItemTime: B and R again and a redraw; the next display carries the stop's length.
    void updateTime() override;
    void setSecondsOfLastStopXMinutesAgo(double seconds) override;

    // Preference reactions (also called by the preference observers).
    void handleShowXInStatusIconChanged();
    void handleStatusIconDurationChanged();
    void handleStatusIconShowSecondsDurationChanged();
    // "ZRStatusIconDuration" is not 0.
    bool showTimeInStatusIcon() const;

    // The machine went to sleep or woke; the stack menu offers these instants.
    void receiveSleepNote();
    void wakeFromSleep();
    std::optional<Instant> lastPutToSleep() const { return lastPutToSleep_; }
    std::optional<Instant> lastWakeFromSleep() const { return lastWakeFromSleep_; }

    ZRCDTask* currentTask() const { return currentTask_; }
    ZRCDTiming* topmostRunningTiming() const { return topmost_; }
    std::size_t numberOfRunningTimings() const { return runningCount_; }
    double baseSeconds() const { return base_; }
    // B + R as shown (0 when no time is shown).
    double shownSeconds() const { return shown_; }

    // The badge for a number of running timers: "" below two, "2" to "9", U+FF0B from ten on.
    static std::string badgeTextForCount(std::size_t count);

private:
    void refreshCurrent();
    double runningPart(Instant now) const;
    Instant periodBeginning(Instant now, int value) const;
    void redraw(bool forgetLastStop);
    void updateSecondsTimer();
    std::string totalLineFor(int value, const std::string& time) const;
    int hourCutoff() const;
    bool isUsable(const ZRCDTiming* timing) const;

    ManagedObjectContext& context_;
    UserDefaults& defaults_;
    const Clock& clock_;
    MainLoop& loop_;
    DisplayObserver observer_;
    std::vector<UserDefaults::ObserverId> preferenceObservers_;

    ZRCDTask* currentTask_ = nullptr;
    ZRCDTiming* topmost_ = nullptr;
    std::vector<ZRCDTiming*> running_;
    std::size_t runningCount_ = 0;
    std::optional<Instant> lastPutToSleep_;
    std::optional<Instant> lastWakeFromSleep_;
    std::optional<double> lastStopSeconds_;

    int value_ = 0;                  // "ZRStatusIconDuration", 0...11
    std::int64_t secondsLimit_ = 0;  // "ZRStatusIconShowSecondsDuration"
    bool showName_ = true;
    double base_ = 0.0;
    double shown_ = 0.0;
    Instant baseValidUntil_ = 0.0;  // the end of the day B was read in
    MainLoop::TimerId secondsTimer_ = 0;
    StatusItemDisplay display_;
};

}  // namespace ravelong

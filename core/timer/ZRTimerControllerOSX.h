#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Instant.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class ApplicationDelegate;
class ManagedObjectContext;
class ZRCDTask;
class ZRCDTiming;

// Starts and stops timers and keeps the once-a-minute tick that refreshes every running display.
// Every caller (menu bar item and task list, hot keys, script commands, sleep handling, idle
// resolution, crash recovery) goes through it. One long-lived controller is made by the
// application at launch.
//
// Everything the controller needs from higher layers it gets from its ApplicationDelegate, at
// the moment it needs it: the store context, the preferences record, the save path, the alert
// sound, the add-note and idle-time panels, the menu bar item's time, the main window's timing
// table, the idle time source. A service the delegate does not have (nullptr) is skipped.
//
// The tick, the delayed panels (0.3 s after a stop, 0.75 s after a start) and the user script
// calls (0.2 s) run on MainLoop::current(); nothing reads the system clock but Clock::current().
// Main thread only, except startTimer and stopTimer, which move themselves to the main thread.
// Work still scheduled when the controller is destroyed does nothing.
//
// Parameters of the stop and toggle calls:
// - stopSecondsAgo: the stop instant is now minus this (0: now). A start is refused unless it
//   is 0; a non-finite value is refused everywhere.
// - noteOverride: kNoteOverrideNone (the panel's rule decides), kNoteOverrideAlternative (the
//   panel opens regardless), kNoteOverrideNoPanel.
// - considerModifierKeys: passed on to the add-note panel.
// - saveContext: make the change one named undo step and save it.
// The bool results say whether something happened.
//
// Implementation: ZRTimerControllerOSX.cpp (tick, panels, idle check), ZRTimerControllerToggle.cpp
// (stops and toggles), ZRTimerControllerOvertime.cpp (over-long timers).
class ZRTimerControllerOSX {
public:
    // Starts the tick when the store holds a running timing. The delegate must outlive the
    // controller.
    explicit ZRTimerControllerOSX(ApplicationDelegate& delegate);
    ~ZRTimerControllerOSX();
    ZRTimerControllerOSX(const ZRTimerControllerOSX&) = delete;
    ZRTimerControllerOSX& operator=(const ZRTimerControllerOSX&) = delete;

    ApplicationDelegate& delegate() const { return delegate_; }

    // --- The tick ---

    // Without a tick: starts one that calls timeUpdate every 60 seconds, first a minute from
    // now. With one: calls timeUpdate at once (a new timer shows up in the displays immediately).
    void startTimer();
    // Stops the tick and closes the idle-time panel; nothing when no tick runs.
    void stopTimer();
    bool isTimerRunning() const { return timeUpdateTimer_ != 0; }
    // startTimer when the store holds a running timing, else stopTimer: what the application's
    // save path calls whenever the running timings changed.
    void updateTimerForRunningTimings();

    // One tick: when the user default "ZRIdleTime" is above 0, the idle check (which may show the
    // idle-time panel), then "ZRTimeUpdate" is posted with this controller as object.
    void timeUpdate();

    // --- Stopping and toggling ---

    // Stops a running timing (see timing_stop::stopThisTimingSecondsAgo), as one undo step "Stop
    // Timer" with a save when saveContext is set, after ending a timing edit in progress in the
    // main window. A kept timing gets the add-note panel 0.3 s later (type 3, or 6 with the
    // alternative override) unless the override is kNoteOverrideNoPanel. False for a timing
    // that is not running; false with the alert sound for none (or a deleted one). True also when
    // the stop deleted the timing for being shorter than 10 seconds.
    bool stopTiming(ZRCDTiming* timing, double stopSecondsAgo, std::int64_t noteOverride,
                    bool considerModifierKeys, bool saveContext);
    // Now, no override, modifier keys considered.
    bool stopTiming(ZRCDTiming* timing, bool saveContext);

    // Stops each timing as stopTiming does, without its own undo step, and saves once at the end
    // when asked. True when any stop happened; false with the alert sound for an empty list.
    bool stopTimings(const std::vector<ZRCDTiming*>& timings, double stopSecondsAgo,
                     std::int64_t noteOverride, bool considerModifierKeys, bool saveContext);
    bool stopTimings(const std::vector<ZRCDTiming*>& timings, bool saveContext);

    // What a click on a task does:
    // - a task with running timings of its own: they stop ("Stop Timers" when several);
    // - a task with subtasks: the running timings below it stop ("Stop Timer" / "Stop Timers");
    //   false when none runs. A parent task is never started;
    // - a task without subtasks and without a running timing starts (stopSecondsAgo must be 0).
    //   When the preferences allow one timer only, every running timing stops at the same
    //   moment, in the same undo step ("Stop and Start Timer", or "Start Timer" when nothing
    //   ran). The new timing becomes the add-note panel's timing, and the panel is asked 0.75 s
    //   later (type 2, or 5 with the alternative override) unless the override is
    //   kNoteOverrideNoPanel, or a timer was stopped and "ZRShowAddNoteToTiming" is 1 or 3 (the
    //   stop's panel opens instead).
    // False with the alert sound for no task (or a deleted one).
    bool toggleTask(ZRCDTask* task, double stopSecondsAgo, std::int64_t noteOverride,
                    bool considerModifierKeys, bool saveContext);
    bool toggleTask(ZRCDTask* task, bool saveContext);

    // --- Panels ---

    void showAddNotePanelConsideringModifierKeysWithType(int type, ZRCDTiming* timing);
    void showAddNotePanelNOTConsideringModifierKeysWithType(int type, ZRCDTiming* timing);
    // Shows the idle-time panel for an idle stretch that began idleSeconds ago.
    void showIdleTimePanel(double idleSeconds);

    // --- Over-long timers ---

    // Cuts every running timing that has run for more than 96 hours: it stops exactly 96 hours
    // after its start, and a running timing of the same task and origin type, with its uuid
    // followed by "-001" and its note, continues from that instant; a continuation that is itself
    // over-long is cut again. No undo step (the undo history is cleared); saved; "ZRTimeUpdate" is
    // posted when anything was cut. Returns the number of cuts.
    int checkForAndHandleOvertimeTimings();

private:
    ManagedObjectContext& context() const;
    void playFunk() const;
    bool allowsMultipleTimers() const;
    void runIdleCheck();
    // Asks the add-note panel after `delay` seconds, for `timing` as it is then (nothing when it
    // has been deleted meanwhile).
    void scheduleNotePanel(double delay, int type, ZRCDTiming* timing, bool considerModifierKeys);
    bool startTimingForTask(ZRCDTask* task, std::int64_t noteOverride, bool considerModifierKeys,
                            bool saveContext);
    bool stopRunningTimingsBelow(ZRCDTask* task, double stopSecondsAgo, std::int64_t noteOverride,
                                 bool considerModifierKeys, bool saveContext);
    ZRCDTiming* splitOvertimeTiming(ZRCDTiming& timing);

    ApplicationDelegate& delegate_;
    MainLoop::TimerId timeUpdateTimer_ = 0;
    MainLoop* timerLoop_ = nullptr;  // the loop the tick runs on
    // Scheduled work holds a weak reference and does nothing once the controller is gone.
    std::shared_ptr<ZRTimerControllerOSX*> self_;
};

}  // namespace ravelong

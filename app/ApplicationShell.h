#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ravelong {

class AddNotePanel;
class AlertSound;
class IdleTimePanel;
class IdleTimeSource;
class StatusItemTime;
class TimingEditSession;
class ZRCDTask;
class ZRCDTiming;

// What the application delegate needs from the user interface: the tray item and its panel, the
// windows, and the application object itself. The Qt program implements it in ui/; tests use
// RecordingApplicationShell. Windows that do not exist (yet) are ignored by the implementation,
// and services it does not have are nullptr. Main thread only.
class ApplicationShell {
public:
    virtual ~ApplicationShell() = default;

    // --- The application object ---

    // Asks the application to quit: the shell calls AppDelegate::applicationShouldTerminate and,
    // when the answer is to quit now, AppDelegate::applicationWillTerminate, then ends its loop.
    // Returns at once; the request is handled on the main loop.
    virtual void requestQuit() = 0;
    // Ends the process at once, without the quit sequence (after a fatal save failure), so that
    // the system records a crash report.
    [[noreturn]] virtual void terminateImmediately() = 0;
    // Brings the application and its windows to the front.
    virtual void activate() = 0;
    // Whether one of the application's windows has the keyboard focus.
    virtual bool isActive() const = 0;
    // Gives the application a blank icon again (after a detached panel was closed).
    virtual void resetApplicationIcon() = 0;
    // Whether pending edits in the windows could be committed before a quit.
    virtual bool commitEditing() = 0;

    // Display layout changes make the panel reposition itself and redraw; registered at launch,
    // removed at the end.
    virtual void registerDisplayReconfigurationCallback() = 0;
    virtual void removeDisplayReconfigurationCallback() = 0;

    // --- Tray item and panel ---

    // Makes the menu-bar controller (the tray item) and the panel controller.
    virtual void createMenuBarControllers() = 0;
    // Removes the tray item.
    virtual void closeMenuBarController() = 0;
    virtual void togglePanel() = 0;
    virtual void closePanel() = 0;
    // Whether the panel was torn off the tray item into a window of its own.
    virtual bool isPanelDetached() const = 0;
    virtual void reattachPanel() = 0;
    // Reloads the panel's task table, or only the given rows.
    virtual void reloadPanelTable() = 0;
    virtual void reloadPanelRows(const std::vector<int>& rows) = 0;
    // Hands the tray item the running timings (most recently changed first) and the panel the
    // tasks whose running state changed.
    virtual void setRunningTimings(const std::vector<ZRCDTiming*>& timings) = 0;
    virtual void runningStateChangedForTasks(const std::vector<ZRCDTask*>& tasks) = 0;

    // --- Windows ---

    virtual void showMainWindow() = 0;
    virtual void closeMainWindow() = 0;
    virtual bool isMainWindowOpen() const = 0;

    // The window asking what to do with running timers on quit; its two buttons call
    // AppDelegate::timersRunningOnQuitStop and timersRunningOnQuitKeep.
    virtual void showTimersRunningWindow(const std::string& messageText,
                                         const std::string& informativeText) = 0;
    virtual void closeTimersRunningWindow() = 0;

    // The window shown while the legacy data is upgraded: a text and a progress bar from 0 to
    // maximum, indeterminate until the first progress value.
    virtual void showDatabaseUpdateWindow(const std::string& text, double maximum) = 0;
    virtual void setDatabaseUpdateProgress(double value) = 0;
    virtual void closeDatabaseUpdateWindow() = 0;

    // The window that explains the restricted mode (a calendar that is not Gregorian).
    virtual void showRestrictedModeWindow(const std::string& text) = 0;
    virtual void closeRestrictedModeWindow() = 0;

    // The sync indicator of the panel (while it is shown) and of the main window (while it is
    // open): 0 hidden, 1 spinning, any other value shown still.
    virtual void setSyncIndicatorState(std::int32_t state, bool animate) = 0;

    // --- Services for the timer controller (nullptr when absent) ---

    virtual AlertSound* alertSound() = 0;
    virtual AddNotePanel* addNotePanel() = 0;
    virtual IdleTimePanel* idleTimePanel() = 0;
    virtual IdleTimeSource* idleTimeSource() = 0;
    virtual StatusItemTime* statusItemTime() = 0;
    virtual TimingEditSession* timingEditSession() = 0;
};

}  // namespace ravelong

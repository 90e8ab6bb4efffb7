#pragma once

#include "app/AppLifecycleState.h"
#include "app/AppServices.h"

namespace ravelong {

class AppDelegate;
class AppMaintenanceTick;
class AppSavePath;
class ApplicationShell;
class SettingsSaving;

// The process's exit status when changes could not be saved at the end of a session (a full
// disk or a busy file at logout or SIGTERM): the data file keeps the state of the last good
// save, and what was given up is in the log.
inline constexpr int kExitStatusChangesNotSaved = 3;

// The answer to a quit request.
enum class TerminateReply { TerminateCancel, TerminateNow, TerminateLater };

// Quit and shutdown: decides whether a quit request is honoured (asking about running timers
// first), carries out the two answers of the timers-running window, and stops or keeps the
// running timers when the computer shuts down, restarts or logs out.
//
// Once the session ends (shutdown, restart, logout, SIGTERM) nothing waits for a person: no
// question is asked, a save that fails is logged and given up, and the process still ends, with
// kExitStatusChangesNotSaved. Main thread only.
class AppTermination {
public:
    AppTermination(AppDelegate& delegate, ApplicationShell& shell, AppLifecycleState& state,
                   AppMaintenanceTick& maintenance, AppSavePath& savePath, SettingsSaving& settings,
                   AppServices services);

    // The quit menu item: a quit that is really meant (sets menubarPanelIsVisible, then asks the
    // shell to quit).
    void quitApplication();
    TerminateReply applicationShouldTerminate();
    void timersRunningOnQuitStop();
    void timersRunningOnQuitKeep();
    // The last step before the process ends: only here does the run count as quit properly
    // (unless changes were given up, which the next launch's crash check then sees).
    void applicationWillTerminate();
    void computerWillShutdownRestartLogout();

    // 0, or kExitStatusChangesNotSaved when changes were given up.
    int exitStatus() const;

private:
    AppDelegate& delegate_;
    ApplicationShell& shell_;
    AppLifecycleState& state_;
    AppMaintenanceTick& maintenance_;
    AppSavePath& savePath_;
    SettingsSaving& settings_;
    AppServices services_;
};

}  // namespace ravelong

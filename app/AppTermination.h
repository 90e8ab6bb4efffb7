#pragma once

#include "app/AppLifecycleState.h"
#include "app/AppServices.h"

namespace ravelong {

class AppDelegate;
class AppMaintenanceTick;
class ApplicationShell;

// The answer to a quit request.
enum class TerminateReply { TerminateCancel, TerminateNow, TerminateLater };

// Quit and shutdown: decides whether a quit request is honoured (asking about running timers
// first), carries out the two answers of the timers-running window, and stops or keeps the
// running timers when the computer shuts down, restarts or logs out. Main thread only.
class AppTermination {
public:
    AppTermination(AppDelegate& delegate, ApplicationShell& shell, AppLifecycleState& state,
                   AppMaintenanceTick& maintenance, AppServices services);

    // The quit menu item: a quit that is really meant (sets menubarPanelIsVisible, then asks the
    // shell to quit).
    void quitApplication();
    TerminateReply applicationShouldTerminate();
    void timersRunningOnQuitStop();
    void timersRunningOnQuitKeep();
    // The last step before the process ends.
    void applicationWillTerminate();
    void computerWillShutdownRestartLogout();

private:
    AppDelegate& delegate_;
    ApplicationShell& shell_;
    AppLifecycleState& state_;
    AppMaintenanceTick& maintenance_;
    AppServices services_;
};

}  // namespace ravelong

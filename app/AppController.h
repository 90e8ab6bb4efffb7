#pragma once

#include <string>

#include "foundation/MainLoop.h"

namespace ravelong {

class AppDelegate;
class ApplicationShell;

// Made with the main interface: watches for locale changes and owns the restricted mode that
// applies while the user's calendar is not Gregorian (the day and week arithmetic of the whole
// program assumes it). In restricted mode the main window does not open, the timer actions
// refuse, and the quit question about running timers is skipped. Main thread only.
class AppController {
public:
    AppController(AppDelegate& delegate, ApplicationShell& shell);
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // Mode 0 at launch, 1 when the locale changed: enters the restricted mode (the explaining
    // window follows 0.5 s later) while the calendar is not Gregorian, leaves it when it is again.
    void handleGregorianAlertWithMode(int mode);

    // `codds`: true while the restricted mode is on.
    bool codds() const { return codds_; }

private:
    AppDelegate& delegate_;
    ApplicationShell& shell_;
    bool codds_ = false;
    bool restrictedModeActive_ = false;
    MainLoop::TimerId windowTimer_ = 0;  // the explaining window, still to come
    MainLoop* windowLoop_ = nullptr;     // the loop it was scheduled on
};

}  // namespace ravelong

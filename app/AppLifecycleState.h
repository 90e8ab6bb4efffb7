#pragma once

#include <cstdint>

#include "foundation/Instant.h"

namespace ravelong {

// The flags that carry the application from launch to quit, shared by the parts of the
// application delegate. Main thread only.
struct AppLifecycleState {
    // Set once the launch sequence has run through (repair pass and crash check included).
    bool launched = false;
    bool firstRun = false;
    // False until the store, the migration and the repairs of the launch are done.
    bool allowTogglePanel = false;
    // Despite its name: a quit is really meant (set by every path that wants the process to end).
    bool menubarPanelIsVisible = false;
    bool keepTimersRunningOnQuit = false;
    bool mainWindowIsOpen = false;
    bool allowCloseMainWindow = true;
    std::int32_t syncIndicatorState = 0;
    Instant lastUnsyncedClockAlertDate = kSentinelDate;
};

}  // namespace ravelong

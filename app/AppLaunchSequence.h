#pragma once

#include "app/AppLifecycleState.h"
#include "app/AppServices.h"
#include "app/MaintenanceServices.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class AppDelegate;
class AppMaintenanceTick;
class ApplicationShell;
class SettingsSaving;

// The launch sequence (applicationDidFinishLaunching): the version gate, the data-folder move,
// opening the store, the first-run test, the device and user names of this computer's origins,
// the long-lived controllers, the legacy upgrade, the repair pass, the crash check, and the
// maintenance tick. The tick and the timer controller's tick start only once the crash check is
// answered. Main thread only.
class AppLaunchSequence {
public:
    AppLaunchSequence(AppDelegate& delegate, ApplicationShell& shell, AppLifecycleState& state,
                      AppMaintenanceTick& maintenance, SettingsSaving& settings,
                      AppServices services);
    ~AppLaunchSequence();
    AppLaunchSequence(const AppLaunchSequence&) = delete;
    AppLaunchSequence& operator=(const AppLaunchSequence&) = delete;

    // False when the launch ended in a quit (outdated version, no store); the shell has then
    // been asked to quit.
    bool applicationDidFinishLaunching();

    void setLegacyUpgrade(LegacyUpgrade* upgrade);  // nullptr: the launch only decides

private:
    bool passVersionGate();
    void resetLaunchState();
    bool openStore();
    bool runFirstRunTest();
    void updateOriginNames();
    bool shouldMigrateLegacyStore();
    void migrateLegacyStore();
    void runRepairPass();
    void runCrashCheck();
    void applyLegacyNewDayKey();

    AppDelegate& delegate_;
    ApplicationShell& shell_;
    AppLifecycleState& state_;
    AppMaintenanceTick& maintenance_;
    SettingsSaving& settings_;
    AppServices services_;
    LegacyUpgrade* legacyUpgrade_ = nullptr;
    MainLoop::TimerId openMainWindowTimer_ = 0;  // openMainWindowAtStart, 0.5 s after launch
};

}  // namespace ravelong

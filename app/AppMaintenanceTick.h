#pragma once

#include <cstdint>

#include "app/AppServices.h"
#include "app/MaintenanceServices.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class AppDelegate;
class ApplicationShell;
class SettingsSaving;

// The repeating maintenance tick (reloadCloudData, every 1958 seconds): handles over-long
// timers, saves (or, while nobody is looking, repairs and saves), writes the settings, and asks
// for an automatic backup and a sync when they are due. Main thread only.
class AppMaintenanceTick {
public:
    static constexpr double kMaintenanceInterval = 1958.0;

    AppMaintenanceTick(AppDelegate& delegate, ApplicationShell& shell, SettingsSaving& settings,
                       AppServices services);
    ~AppMaintenanceTick();
    AppMaintenanceTick(const AppMaintenanceTick&) = delete;
    AppMaintenanceTick& operator=(const AppMaintenanceTick&) = delete;

    // Arms the repeating tick (again after stop()); arming it twice keeps one tick.
    void start();
    void stop();
    bool isArmed() const { return timer_ != 0; }

    void reloadCloudData();

    void setAutomaticBackup(AutomaticBackup* backup);  // nullptr: none
    void setSyncRequester(SyncRequester* sync);        // nullptr: none

private:
    AppDelegate& delegate_;
    ApplicationShell& shell_;
    SettingsSaving& settings_;
    AppServices services_;
    NoAutomaticBackup noBackup_;
    NoSyncRequester noSync_;
    AutomaticBackup* backup_ = &noBackup_;
    SyncRequester* sync_ = &noSync_;
    MainLoop::TimerId timer_ = 0;
};

}  // namespace ravelong

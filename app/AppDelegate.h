#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "app/AppChangeTracker.h"
#include "app/AppController.h"
#include "app/DataLocations.h"
#include "app/MaintenanceServices.h"
#include "app/StoreStack.h"
#include "core/services/ApplicationDelegate.h"
#include "foundation/Instant.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class ApplicationShell;
class NewDayHourFromPreferences;
class RoundingEnabledFlag;
class TimingSetDayIndex;
class ZRTimerControllerOSX;

// The answer to a quit request.
enum class TerminateReply { TerminateCancel, TerminateNow, TerminateLater };

// Owns the process from launch to quit: prepares the data folders, opens the store, repairs the
// data, checks for a crash while timers ran, makes the long-lived controllers, runs the
// maintenance tick, decides whether a quit request is honoured, and stops or keeps running
// timers when the computer shuts down or the user quits. Every save of the main context goes
// through saveContext, which tells the interface what changed.
//
// Qt-free: the interface is reached through the ApplicationShell. Main thread only.
//
// Implementation: AppDelegateLaunch.cpp (launch sequence, repair pass, crash check, legacy test),
// AppDelegateQuit.cpp (quit decision, termination, shutdown, maintenance tick, windows),
// AppDelegateSavePath.cpp (save path, automatic interface updates, fatal save alert).
class AppDelegate final : public ApplicationDelegate {
public:
    struct Options {
        DataLocations locations = DataLocations::standard();
        std::int64_t bundleVersion = 0;  // the build number
        StoreModels models = StoreModels::standard();
    };

    AppDelegate(ApplicationShell& shell, Options options);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // --- Launch ---

    // The launch sequence. False when the launch ended in a quit (outdated version, no store);
    // the shell has then been asked to quit.
    bool applicationDidFinishLaunching();
    // Set once the launch sequence has run through (also the repair pass and the crash check).
    bool isLaunched() const { return launched_; }

    // --- Quit ---

    // The quit menu item: a quit that is really meant (sets menubarPanelIsVisible, then asks the
    // shell to quit).
    void quitApplication();
    TerminateReply applicationShouldTerminate();
    void timersRunningOnQuitStop();
    void timersRunningOnQuitKeep();
    void applicationWillTerminate();
    void computerWillShutdownRestartLogout();

    // --- Save path ---

    // saveContext(context, true).
    bool saveContext(ManagedObjectContext& context) override;
    bool saveContext(ManagedObjectContext& context, bool andProcessObjects);
    void disableAutomaticUIUpdate();
    void enableAutomaticUIUpdate();
    void enableAutomaticUIUpdateWithoutReload();

    // --- Maintenance tick ---

    void reloadCloudData();
    static constexpr double kMaintenanceInterval = 1958.0;

    // --- Interface entry points ---

    void togglePanel();
    void openMainWindow();
    void closeMainWindow();

    // --- State ---

    bool allowTogglePanel() const { return allowTogglePanel_; }
    bool menubarPanelIsVisible() const { return menubarPanelIsVisible_; }
    bool keepTimersRunningOnQuit() const { return keepTimersRunningOnQuit_; }
    bool mainWindowIsOpen() const { return mainWindowIsOpen_; }
    // Restricted mode (a calendar that is not Gregorian), kept by the AppController.
    bool codds() const;
    bool roundingEnabled() const;
    bool automaticUIUpdate() const { return automaticUIUpdate_; }
    std::int32_t syncIndicatorState() const { return syncIndicatorState_; }

    ZRTimerControllerOSX* timerController() const { return timerController_.get(); }
    StoreStack& storeStack() { return storeStack_; }
    AppChangeTracker& changeTracker() { return changeTracker_; }
    AppController& appController() { return *appController_; }

    void setAutomaticBackup(AutomaticBackup* backup);  // nullptr: none
    void setSyncRequester(SyncRequester* sync);        // nullptr: none
    void setLegacyUpgrade(LegacyUpgrade* upgrade);     // nullptr: the launch only decides

    // --- ApplicationDelegate ---

    // Valid once the store is open (after a successful launch).
    ManagedObjectContext& managedObjectContext() override;
    bool hasManagedObjectContext() const { return mainContext_ != nullptr; }
    ZRCDPreferences* cdPreferences() override { return cdPreferences_; }
    AlertSound* alertSound() override;
    AddNotePanel* addNotePanel() override;
    IdleTimePanel* idleTimePanel() override;
    IdleTimeSource* idleTimeSource() override;
    StatusItemTime* statusItemTime() override;
    TimingEditSession* timingEditSession() override;

private:
    // Launch steps (AppDelegateLaunch.cpp).
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
    void makeContextHelpers();
    void dropContextHelpers();

    // Save path (AppDelegateSavePath.cpp).
    void updateUI_inContext(ManagedObjectContext& context);
    void postInterfaceUpdates(AppChangeTracker& changes);
    // Shows the alert on the main loop, logs the error and ends the process at once.
    void presentFatalSaveAlert(const Error& error);

    void playFunk();

    ApplicationShell& shell_;
    Options options_;
    StoreStack storeStack_;
    ManagedObjectContext* mainContext_ = nullptr;  // owned by storeStack_
    ZRCDPreferences* cdPreferences_ = nullptr;

    std::unique_ptr<RoundingEnabledFlag> roundingEnabled_;
    std::unique_ptr<NewDayHourFromPreferences> newDayHour_;
    std::unique_ptr<TimingSetDayIndex> dayIndex_;
    std::unique_ptr<ZRTimerControllerOSX> timerController_;
    AppChangeTracker changeTracker_;
    std::unique_ptr<AppController> appController_;

    NoAutomaticBackup noBackup_;
    NoSyncRequester noSync_;
    AutomaticBackup* backup_ = &noBackup_;
    SyncRequester* sync_ = &noSync_;
    LegacyUpgrade* legacyUpgrade_ = nullptr;

    MainLoop::TimerId maintenanceTimer_ = 0;
    MainLoop::TimerId openMainWindowTimer_ = 0;  // openMainWindowAtStart, 0.5 s after launch
    // Work the save path left on the main loop does nothing once the delegate is gone.
    std::shared_ptr<AppDelegate*> savePathGuard_ = std::make_shared<AppDelegate*>(this);

    bool launched_ = false;
    bool firstRun_ = false;
    bool allowTogglePanel_ = false;
    bool automaticUIUpdate_ = true;
    bool menubarPanelIsVisible_ = false;
    bool keepTimersRunningOnQuit_ = false;
    bool mainWindowIsOpen_ = false;
    bool allowCloseMainWindow_ = true;
    std::int32_t syncIndicatorState_ = 0;
    Instant lastUnsyncedClockAlertDate_ = kSentinelDate;
};

}  // namespace ravelong

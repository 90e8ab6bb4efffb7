#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "app/AppChangeTracker.h"
#include "app/AppController.h"
#include "app/AppLifecycleState.h"
#include "app/AppMaintenanceTick.h"
#include "app/AppServices.h"
#include "app/AppTermination.h"
#include "app/DataLocations.h"
#include "app/MaintenanceServices.h"
#include "app/SettingsSaving.h"
#include "app/StoreStack.h"
#include "core/services/ApplicationDelegate.h"

namespace ravelong {

class AppInterfaceUpdates;
class AppLaunchSequence;
class AppSavePath;
class ApplicationShell;
class NewDayHourFromPreferences;
class RoundingEnabledFlag;
class TimingSetDayIndex;
class ZRTimerControllerOSX;

// Owns the process from launch to quit, through its parts: the launch sequence
// (AppLaunchSequence), quit and shutdown (AppTermination), the maintenance tick
// (AppMaintenanceTick), the save path (AppSavePath) and the interface updates after saves
// (AppInterfaceUpdates). The delegate holds what they share: the store and its main context, the
// helpers that read it, the timer controller and the lifecycle flags; its operations of the same
// names hand on to the part that does the work. Every save of the main context goes through
// saveContext.
//
// Qt-free: the interface is reached through the ApplicationShell. The main loop, clock, alert
// presenter, notification center and settings installed when the delegate is made are the ones
// it works with. Main thread only.
class AppDelegate final : public ApplicationDelegate {
public:
    struct Options {
        DataLocations locations = DataLocations::standard();
        std::int64_t bundleVersion = 0;  // the build number
        StoreModels models = StoreModels::standard();
        // Writes the main context to its store; empty: the context's own save. Tests put in
        // failing ones.
        std::function<Status(ManagedObjectContext&)> storeSave;
    };

    AppDelegate(ApplicationShell& shell, Options options);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // --- Launch (AppLaunchSequence) ---

    bool applicationDidFinishLaunching();
    // Set once the launch sequence has run through (also the repair pass and the crash check).
    bool isLaunched() const { return state_.launched; }

    // --- Quit (AppTermination) ---

    void quitApplication();
    TerminateReply applicationShouldTerminate();
    void timersRunningOnQuitStop();
    void timersRunningOnQuitKeep();
    void applicationWillTerminate();
    void computerWillShutdownRestartLogout();
    // The status the process should exit with (kExitStatusChangesNotSaved when the end of a
    // session gave up changes that could not be saved; 0 otherwise).
    int exitStatus() const;

    // --- Save path (AppSavePath) ---

    // saveContext(context, true).
    bool saveContext(ManagedObjectContext& context) override;
    bool saveContext(ManagedObjectContext& context, bool andProcessObjects);
    void disableAutomaticUIUpdate();
    void enableAutomaticUIUpdate();
    void enableAutomaticUIUpdateWithoutReload();

    // --- Maintenance tick (AppMaintenanceTick) ---

    void reloadCloudData();
    static constexpr double kMaintenanceInterval = AppMaintenanceTick::kMaintenanceInterval;

    // --- Interface entry points ---

    void togglePanel();
    void openMainWindow();
    void closeMainWindow();

    // --- State ---

    bool allowTogglePanel() const { return state_.allowTogglePanel; }
    bool menubarPanelIsVisible() const { return state_.menubarPanelIsVisible; }
    bool keepTimersRunningOnQuit() const { return state_.keepTimersRunningOnQuit; }
    bool mainWindowIsOpen() const { return state_.mainWindowIsOpen; }
    // Restricted mode (a calendar that is not Gregorian), kept by the AppController.
    bool codds() const;
    bool roundingEnabled() const;
    bool automaticUIUpdate() const;
    std::int32_t syncIndicatorState() const { return state_.syncIndicatorState; }
    // Keeps the sync indicator's state (0 hidden, 1 spinning, other values shown still) and
    // shows it in the panel and the main window; what the sync driver calls.
    void setSyncStateTo(std::int32_t state, bool animate);

    ZRTimerControllerOSX* timerController() const { return timerController_.get(); }
    StoreStack& storeStack() { return storeStack_; }
    AppChangeTracker& changeTracker();
    AppController& appController() { return *appController_; }
    // The main context, or nullptr before the store is open.
    ManagedObjectContext* mainContextIfOpen() const { return mainContext_; }
    // The rounding flag of the open store, or nullptr before the store is open.
    RoundingEnabledFlag* roundingEnabledFlag() const { return roundingEnabled_.get(); }

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
    // The launch sequence opens the store and makes the long-lived controllers.
    friend class AppLaunchSequence;

    void makeContextHelpers();
    void dropContextHelpers();
    void playFunk();

    ApplicationShell& shell_;
    Options options_;
    AppServices services_;
    StoreStack storeStack_;
    ManagedObjectContext* mainContext_ = nullptr;  // owned by storeStack_
    ZRCDPreferences* cdPreferences_ = nullptr;

    std::unique_ptr<RoundingEnabledFlag> roundingEnabled_;
    std::unique_ptr<NewDayHourFromPreferences> newDayHour_;
    std::unique_ptr<TimingSetDayIndex> dayIndex_;
    std::unique_ptr<ZRTimerControllerOSX> timerController_;
    std::unique_ptr<AppController> appController_;
    AppLifecycleState state_;
    SettingsSaving settings_;

    std::unique_ptr<AppInterfaceUpdates> interfaceUpdates_;
    std::unique_ptr<AppSavePath> savePath_;
    std::unique_ptr<AppMaintenanceTick> maintenance_;
    std::unique_ptr<AppTermination> termination_;
    std::unique_ptr<AppLaunchSequence> launchSequence_;
};

}  // namespace ravelong

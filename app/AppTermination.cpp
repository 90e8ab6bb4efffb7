#include "app/AppTermination.h"

#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "app/AppMaintenanceTick.h"
#include "app/AppSavePath.h"
#include "app/AppStrings.h"
#include "app/ApplicationShell.h"
#include "app/LaunchTexts.h"
#include "app/SettingsSaving.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

AppTermination::AppTermination(AppDelegate& delegate, ApplicationShell& shell,
                               AppLifecycleState& state, AppMaintenanceTick& maintenance,
                               AppSavePath& savePath, SettingsSaving& settings,
                               AppServices services)
    : delegate_(delegate),
      shell_(shell),
      state_(state),
      maintenance_(maintenance),
      savePath_(savePath),
      settings_(settings),
      services_(services) {}

int AppTermination::exitStatus() const {
    return savePath_.changesWereLost() ? kExitStatusChangesNotSaved : 0;
}

void AppTermination::quitApplication() {
    state_.menubarPanelIsVisible = true;
    shell_.requestQuit();
}

TerminateReply AppTermination::applicationShouldTerminate() {
    ManagedObjectContext* main = delegate_.mainContextIfOpen();
    if (!main)
        return TerminateReply::TerminateNow;
    ManagedObjectContext& context = *main;

    const std::size_t running = ZRCDTiming::numberOfRunningTimings_inContext(context);
    const bool unattended = savePath_.unattended();
    if (running > 0 && state_.menubarPanelIsVisible && !state_.keepTimersRunningOnQuit &&
        !delegate_.codds() && !unattended) {
        std::string message;
        std::string question(launch_texts::kDoYouWantToStopThem);
        if (running == 1) {
            message = launch_texts::kATimerIsRunning;
            question = launch_texts::kDoYouWantToStopIt;
        } else if (running == 2) {
            message = launch_texts::kTwoTimersRunning;
        } else {
            message = launch_texts::kTimersRunning;
            message.replace(message.find("%lu"), 3, std::to_string(running));
        }
        shell_.showTimersRunningWindow(message, question);
        return TerminateReply::TerminateLater;
    }

    if (!shell_.commitEditing()) {
        logError("applicationShouldTerminate",
                 formatText(launch_texts::kUnableToCommitEditing,
                            {"AppDelegate", "applicationShouldTerminate"}));
        return TerminateReply::TerminateCancel;
    }
    if (!context.hasChanges() && state_.menubarPanelIsVisible)
        return TerminateReply::TerminateNow;

    Status saved = savePath_.saveToStore(context);
    if (!saved && unattended) {
        // The session ends whether or not this save works; the file keeps its last good state.
        savePath_.giveUpUnsavedChanges(context, saved.error());
        return TerminateReply::TerminateNow;
    }
    if (!saved) {
        services_.alerts.presentError(saved.error());
        Alert alert;
        alert.messageText = launch_texts::kCouldNotSaveWhileQuitting;
        alert.informativeText = launch_texts::kQuittingLosesChanges;
        alert.buttons = {std::string(launch_texts::kQuitAnyway),
                         std::string(launch_texts::kCancel)};
        if (services_.alerts.runModal(alert).buttonIndex != 0)
            return TerminateReply::TerminateCancel;
    }
    if (state_.menubarPanelIsVisible)
        return TerminateReply::TerminateNow;

    // Not one of the real quit paths (the standard quit shortcut while one of the windows has the
    // focus): only close what is open in front.
    const bool mainWindowOpen = shell_.isMainWindowOpen();
    const bool panelDetached = shell_.isPanelDetached();
    if (!mainWindowOpen && !panelDetached)
        return TerminateReply::TerminateNow;
    if (mainWindowOpen) {
        delegate_.closeMainWindow();
        return TerminateReply::TerminateCancel;
    }
    shell_.closePanel();
    shell_.resetApplicationIcon();
    shell_.reattachPanel();
    return TerminateReply::TerminateCancel;
}

void AppTermination::timersRunningOnQuitStop() {
    shell_.closeTimersRunningWindow();
    ManagedObjectContext* main = delegate_.mainContextIfOpen();
    ZRTimerControllerOSX* timerController = delegate_.timerController();
    if (main && timerController) {
        ScopedUndoRegistrationOff undoOff(*main);
        timerController->stopTimings(ZRCDTiming::getRunningTimings_inContext(*main), 0.0,
                                     kNoteOverrideNoPanel, false, true);
    }
    state_.menubarPanelIsVisible = true;
    shell_.requestQuit();
}

void AppTermination::timersRunningOnQuitKeep() {
    shell_.closeTimersRunningWindow();
    state_.keepTimersRunningOnQuit = true;
    state_.menubarPanelIsVisible = true;
    shell_.requestQuit();
}

void AppTermination::applicationWillTerminate() {
    // Only a run that opened the store may say it left the running timers in order: a quit
    // before that (an outdated build, a store that would not open) knows nothing about them, and
    // must leave the crash check of the next launch to the last run's own answer.
    // A run that gave up changes leaves the store as it was at the last good save, running timers
    // included; the next launch's crash check offers to stop them.
    if (delegate_.mainContextIfOpen() && !savePath_.changesWereLost())
        ZRUserDefaults2::setDidQuitProperly(true);
    maintenance_.stop();
    shell_.removeDisplayReconfigurationCallback();
    shell_.closeMenuBarController();
    settings_.synchronize(false);
}

void AppTermination::computerWillShutdownRestartLogout() {
    // The quit is not done yet: the flag that says so is written on the way out
    // (applicationWillTerminate), and a process that dies before keeps the crash check armed.
    ManagedObjectContext* main = delegate_.mainContextIfOpen();
    savePath_.setUnattended(true);
    ZRTimerControllerOSX* timerController = delegate_.timerController();
    if (main && timerController) {
        std::vector<ZRCDTiming*> running = ZRCDTiming::getRunningTimings_inContext(*main);
        if (!running.empty()) {
            if (!ZRUserDefaults2::timingWhenSleeping()) {
                timerController->stopTimings(running, 0.0, kNoteOverrideNone, false, true);
            } else {
                // The user keeps timing while the computer is off; asking whether to stop the
                // timers would only hold up the shutdown.
                state_.keepTimersRunningOnQuit = true;
            }
        }
    }
    state_.menubarPanelIsVisible = true;
    shell_.requestQuit();
}

}  // namespace ravelong

#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "app/AppStrings.h"
#include "app/ApplicationShell.h"
#include "app/LaunchTexts.h"
#include "app/SavePathTexts.h"
#include "app/ZRUserDefaults2.h"
#include "core/chain/ChainRepair.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDTiming.h"
#include "core/repairs/OriginRepairs.h"
#include "core/repairs/TimingSetRepairs.h"
#include "core/services/StatusItemTime.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/tree/TreeRepairs.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

constexpr std::int64_t kSyncMergeOptions = 32;

}  // namespace

void AppDelegate::quitApplication() {
    menubarPanelIsVisible_ = true;
    shell_.requestQuit();
}

TerminateReply AppDelegate::applicationShouldTerminate() {
    if (!mainContext_)
        return TerminateReply::TerminateNow;
    ManagedObjectContext& context = *mainContext_;

    const std::size_t running = ZRCDTiming::numberOfRunningTimings_inContext(context);
    if (running > 0 && menubarPanelIsVisible_ && !keepTimersRunningOnQuit_ && !codds()) {
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
    if (!context.hasChanges() && menubarPanelIsVisible_)
        return TerminateReply::TerminateNow;

    Status saved = context.save();
    if (!saved) {
        AlertPresenter& presenter = AlertPresenter::current();
        presenter.presentError(saved.error());
        Alert alert;
        alert.messageText = launch_texts::kCouldNotSaveWhileQuitting;
        alert.informativeText = launch_texts::kQuittingLosesChanges;
        alert.buttons = {std::string(launch_texts::kQuitAnyway),
                         std::string(launch_texts::kCancel)};
        if (presenter.runModal(alert).buttonIndex != 0)
            return TerminateReply::TerminateCancel;
    }
    if (menubarPanelIsVisible_)
        return TerminateReply::TerminateNow;

    // Not one of the real quit paths (the standard quit shortcut while one of the windows has the
    // focus): only close what is open in front.
    const bool mainWindowOpen = shell_.isMainWindowOpen();
    const bool panelDetached = shell_.isPanelDetached();
    if (!mainWindowOpen && !panelDetached)
        return TerminateReply::TerminateNow;
    if (mainWindowOpen) {
        closeMainWindow();
        return TerminateReply::TerminateCancel;
    }
    shell_.closePanel();
    shell_.resetApplicationIcon();
    shell_.reattachPanel();
    return TerminateReply::TerminateCancel;
}

void AppDelegate::timersRunningOnQuitStop() {
    shell_.closeTimersRunningWindow();
    if (mainContext_ && timerController_) {
        ScopedUndoRegistrationOff undoOff(*mainContext_);
        timerController_->stopTimings(ZRCDTiming::getRunningTimings_inContext(*mainContext_), 0.0,
                                      kNoteOverrideNoPanel, false, true);
    }
    menubarPanelIsVisible_ = true;
    shell_.requestQuit();
}

void AppDelegate::timersRunningOnQuitKeep() {
    shell_.closeTimersRunningWindow();
    keepTimersRunningOnQuit_ = true;
    menubarPanelIsVisible_ = true;
    shell_.requestQuit();
}

void AppDelegate::applicationWillTerminate() {
    // Only a run that opened the store may say it left the running timers in order: a quit
    // before that (an outdated build, a store that would not open) knows nothing about them, and
    // must leave the crash check of the next launch to the last run's own answer.
    if (mainContext_)
        ZRUserDefaults2::setDidQuitProperly(true);
    MainLoop::current().cancel(maintenanceTimer_);
    maintenanceTimer_ = 0;
    shell_.removeDisplayReconfigurationCallback();
    shell_.closeMenuBarController();
    (void)UserDefaults::standard().synchronize();  // failures are logged there
}

void AppDelegate::computerWillShutdownRestartLogout() {
    if (mainContext_)
        ZRUserDefaults2::setDidQuitProperly(true);
    if (mainContext_ && timerController_) {
        std::vector<ZRCDTiming*> running = ZRCDTiming::getRunningTimings_inContext(*mainContext_);
        if (!running.empty()) {
            if (!ZRUserDefaults2::timingWhenSleeping()) {
                timerController_->stopTimings(running, 0.0, kNoteOverrideNone, false, true);
            } else {
                // The user keeps timing while the computer is off; asking whether to stop the
                // timers would only hold up the shutdown.
                keepTimersRunningOnQuit_ = true;
            }
        }
    }
    menubarPanelIsVisible_ = true;
    shell_.requestQuit();
}

void AppDelegate::reloadCloudData() {
    if (!mainContext_)
        return;
    ManagedObjectContext& context = *mainContext_;
    if (timerController_)
        timerController_->checkForAndHandleOvertimeTimings();

    if (shell_.isActive()) {
        ScopedUndoRegistrationOff undoOff(context);
        context.processPendingChanges();
        saveContext(context);
    } else {
        // Nobody is looking: a good moment for the repairs that merges from other computers may
        // call for. They cannot be undone, so neither can anything before them.
        if (ZRUndoManager* undoManager = context.undoManager())
            undoManager->removeAllActions();
        bool timingSetsChanged = false;
        {
            ScopedUndoRegistrationOff undoOff(context);
            timingSetsChanged = store_repairs::fixTimingSetsAndTimings_inContext(context);
            task_tree_repairs::fixParentTaskTimingsAndArchive_inContext(context);
            store_repairs::consolidateOrigins_inContext(context);
            task_chain::fixTaskChain_inContext(context);
            context.processPendingChanges();
            saveContext(context);
        }
        if (timingSetsChanged) {
            if (StatusItemTime* time = shell_.statusItemTime())
                time->updateTime();
            NotificationCenter& center = NotificationCenter::defaultCenter();
            center.post(std::string(kMenuBarNeedsToReloadTotalTime));
            center.post(std::string(kZRRedrawDatePicker));
            shell_.reloadPanelTable();
        }
    }

    (void)UserDefaults::standard().synchronize();  // failures are logged there
    if (ZRUserDefaults2::autoBackupEnabled())
        backup_->backupForce(false);
    if (sync_->readyToSync())
        sync_->forceSyncWithMergeOptions(kSyncMergeOptions);
}

}  // namespace ravelong

#include <string>
#include <utility>

#include "app/AppDelegate.h"
#include "app/AppStrings.h"
#include "app/ApplicationShell.h"
#include "app/LaunchTexts.h"
#include "app/SavePathTexts.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/StatusItemTime.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/TotalsTexts.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"

namespace ravelong {

namespace {

using TaskSet = AppChangeTracker::TaskSet;

void post(std::string_view name, const void* object = nullptr) {
    NotificationCenter::defaultCenter().post(std::string(name), object);
}

// Everything a user can report about a failed save, for the alert's details field.
std::string errorDetails(const Error& error) {
    std::string details = error.description;
    if (!error.failureReason.empty())
        details += "\n" + error.failureReason;
    details += "\n(" + error.domain + " " + std::to_string(error.code) + ")";
    return details;
}

}  // namespace

bool AppDelegate::saveContext(ManagedObjectContext& context) {
    return saveContext(context, true);
}

bool AppDelegate::saveContext(ManagedObjectContext& context, bool andProcessObjects) {
    if (!context.hasChanges())
        return true;
    if (andProcessObjects) {
        changeTracker_.processInsertedObjects(context.insertedObjects(), context.deletedObjects(),
                                              context.updatedObjects(), false);
    }
    const Status saved = context.save();
    if (!saved) {
        presentFatalSaveAlert(saved.error());
        return false;
    }
    if (automaticUIUpdate_)
        updateUI_inContext(context);
    return true;
}

void AppDelegate::disableAutomaticUIUpdate() {
    automaticUIUpdate_ = false;
}

void AppDelegate::enableAutomaticUIUpdate() {
    if (mainContext_ && roundingEnabled_)
        roundingEnabled_->refreshRoundingEnabled_inContext(*mainContext_);
    shell_.reloadPanelTable();
    // Bulk work (a restore resets the context) may have left the sets with records that are
    // gone; the full reload below covers what they would have refreshed.
    changeTracker_.forgetTasks();
    AppChangeTracker::Flags& flags = changeTracker_.flags;
    flags.statusItemTime = true;
    flags.menuBarTotalTime = true;
    flags.datePicker = true;
    flags.dataDisplay = true;
    flags.taskNames = true;
    // The tray item may still hold running timings of the records a restore replaced.
    flags.runningTimings = true;
    if (mainContext_)
        updateUI_inContext(*mainContext_);
    automaticUIUpdate_ = true;
}

void AppDelegate::enableAutomaticUIUpdateWithoutReload() {
    if (mainContext_ && roundingEnabled_)
        roundingEnabled_->refreshRoundingEnabled_inContext(*mainContext_);
    changeTracker_.forgetTasks();
    automaticUIUpdate_ = true;
}

void AppDelegate::updateUI_inContext(ManagedObjectContext& context) {
    // A receiver of the notifications may save again; that save collects its own changes.
    AppChangeTracker changes = std::move(changeTracker_);
    changeTracker_.reset();
    AppChangeTracker::Flags& flags = changes.flags;

    const bool updateAddNotePanel =
        addNotePanel() != nullptr && (!changes.tasks(TaskSet::changedRunningTimings).empty() ||
                                      !changes.tasks(TaskSet::changedTotalTime).empty());

    if (roundingEnabled_) {
        if (flags.roundingAdded && !roundingEnabled_->roundingEnabled())
            roundingEnabled_->setRoundingEnabled(true);
        if (flags.roundingDeleted)
            roundingEnabled_->refreshRoundingEnabled_inContext(context);
    }

    if (flags.runningTimings) {
        shell_.setRunningTimings(
            ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context));
        const auto& tasks = changes.tasks(TaskSet::changedRunningTimings);
        if (!tasks.empty())
            shell_.runningStateChangedForTasks(tasks);
        if (timerController_)
            timerController_->updateTimerForRunningTimings();
        flags.dataDisplay = true;
        changes.clearRunningTimingTasks();
    } else if (flags.tasksAddedOrDeleted || flags.archivedState) {
        shell_.setRunningTimings(
            ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context));
    }

    // The statistics' own list of considered tasks refetches itself once the main window keeps
    // one; until then every change of membership or selection is passed on.
    if (mainWindowIsOpen_ && (flags.recalculateConsideredTasks || flags.consideredTasksChanged))
        post(kConsideredTasksChanged);

    changes.calculateUpdates_inContext(context);
    if (!changes.rowsToReload().empty())
        shell_.reloadPanelRows(changes.rowsToReload());

    postInterfaceUpdates(changes);
    if (updateAddNotePanel)
        post(kZRUpdateAddNotePanelPopupButton);
}

void AppDelegate::postInterfaceUpdates(AppChangeTracker& changes) {
    const AppChangeTracker::Flags& flags = changes.flags;
    if (flags.taskNames)
        post(kZRTaskNameDidChange);
    if (flags.statusItemTime) {
        if (StatusItemTime* item = statusItemTime())
            item->updateTime();
    }
    if (flags.menuBarTotalTime)
        post(kMenuBarNeedsToReloadTotalTime);
    if (flags.datePicker)
        post(kZRRedrawDatePicker);
    const bool redrawDataDisplay = flags.dataDisplay || flags.roundingChanged;
    if (redrawDataDisplay)
        post(kZRRedrawDataDisplay);
    // A full redraw draws the new colours too.
    if (flags.taskColors && !redrawDataDisplay)
        post(kZRTaskColorChangedNotification);
    if (flags.timingNotes)
        post(kZRReloadTimingNotes);
    if (flags.taskOrder)
        post(kZRRearrangeTaskArrays);
    if (flags.timingDeleted)
        post(kZRTimingDeleted);
    if (flags.roundingChanged)
        post(kZRRoundingModified);
}

void AppDelegate::presentFatalSaveAlert(const Error& error) {
    std::weak_ptr<AppDelegate*> guard = savePathGuard_;
    MainLoop::current().runOnMainThread([guard, error] {
        const auto alive = guard.lock();
        if (!alive)
            return;
        AppDelegate& self = **alive;
        Alert alert;
        alert.messageText = std::string(kThereWasAProblemSaving);
        alert.informativeText = std::string(kFatalSaveInformativeStart) +
                                std::string(kSupportAddress) +
                                std::string(kFatalSaveInformativeEnd);
        alert.buttons = {std::string(launch_texts::kQuit)};
        alert.style = Alert::Style::Critical;
        alert.accessoryText = errorDetails(error);
        AlertPresenter::current().runModal(alert);
        logError("saveContext",
                 formatText(kUnresolvedError, {error.description, errorDetails(error)}));
        // Without the quit sequence: it would save again, and the system should see a crash.
        self.shell_.terminateImmediately();
    });
}

}  // namespace ravelong

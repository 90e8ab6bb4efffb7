#include "app/AppInterfaceUpdates.h"

#include <string>

#include "app/AppDelegate.h"
#include "app/AppStrings.h"
#include "app/ApplicationShell.h"
#include "app/SavePathTexts.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/StatusItemTime.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/TotalsTexts.h"
#include "foundation/NotificationCenter.h"

namespace ravelong {

namespace {

using TaskSet = AppChangeTracker::TaskSet;

}  // namespace

AppInterfaceUpdates::AppInterfaceUpdates(AppDelegate& delegate, ApplicationShell& shell,
                                         AppServices services)
    : delegate_(delegate), shell_(shell), services_(services) {}

void AppInterfaceUpdates::post(std::string_view name) {
    services_.notifications.post(std::string(name), nullptr);
}

void AppInterfaceUpdates::updateUI_inContext(ManagedObjectContext& context,
                                             AppChangeTracker changes) {
    AppChangeTracker::Flags& flags = changes.flags;

    const bool updateAddNotePanel = shell_.addNotePanel() != nullptr &&
                                    (!changes.tasks(TaskSet::changedRunningTimings).empty() ||
                                     !changes.tasks(TaskSet::changedTotalTime).empty());

    if (RoundingEnabledFlag* rounding = delegate_.roundingEnabledFlag()) {
        if (flags.roundingAdded && !rounding->roundingEnabled())
            rounding->setRoundingEnabled(true);
        if (flags.roundingDeleted)
            rounding->refreshRoundingEnabled_inContext(context);
    }

    if (flags.runningTimings) {
        shell_.setRunningTimings(
            ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context));
        const auto& tasks = changes.tasks(TaskSet::changedRunningTimings);
        if (!tasks.empty())
            shell_.runningStateChangedForTasks(tasks);
        // During the launch the tick waits for the crash question (the launch starts it).
        ZRTimerControllerOSX* timerController = delegate_.timerController();
        if (timerController && delegate_.isLaunched())
            timerController->updateTimerForRunningTimings();
        flags.dataDisplay = true;
        changes.clearRunningTimingTasks();
    } else if (flags.tasksAddedOrDeleted || flags.archivedState) {
        shell_.setRunningTimings(
            ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context));
    }

    // The statistics' own list of considered tasks refetches itself once the main window keeps
    // one; until then every change of membership or selection is passed on.
    if (delegate_.mainWindowIsOpen() &&
        (flags.recalculateConsideredTasks || flags.consideredTasksChanged))
        post(kConsideredTasksChanged);

    changes.calculateUpdates_inContext(context);
    if (!changes.rowsToReload().empty())
        shell_.reloadPanelRows(changes.rowsToReload());

    postInterfaceUpdates(changes);
    if (updateAddNotePanel)
        post(kZRUpdateAddNotePanelPopupButton);
}

void AppInterfaceUpdates::postInterfaceUpdates(AppChangeTracker& changes) {
    const AppChangeTracker::Flags& flags = changes.flags;
    if (flags.taskNames)
        post(kZRTaskNameDidChange);
    if (flags.statusItemTime) {
        if (StatusItemTime* item = shell_.statusItemTime())
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

}  // namespace ravelong

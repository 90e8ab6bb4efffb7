#include "app/AppSavePath.h"

#include <string>
#include <utility>

#include "app/AppDelegate.h"
#include "app/AppInterfaceUpdates.h"
#include "app/AppStrings.h"
#include "app/ApplicationShell.h"
#include "app/LaunchTexts.h"
#include "app/SavePathTexts.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/MainLoop.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

// Everything a user can report about a failed save, for the alert's details field.
std::string errorDetails(const Error& error) {
    std::string details = error.description;
    if (!error.failureReason.empty())
        details += "\n" + error.failureReason;
    details += "\n(" + error.domain + " " + std::to_string(error.code) + ")";
    return details;
}

}  // namespace

AppSavePath::AppSavePath(AppDelegate& delegate, ApplicationShell& shell,
                         AppInterfaceUpdates& updates, AppServices services)
    : delegate_(delegate), shell_(shell), updates_(updates), services_(services) {}

AppSavePath::~AppSavePath() = default;

bool AppSavePath::saveContext(ManagedObjectContext& context, bool andProcessObjects) {
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

void AppSavePath::updateUI_inContext(ManagedObjectContext& context) {
    // A receiver of the notifications may save again; that save collects its own changes.
    AppChangeTracker changes = std::move(changeTracker_);
    changeTracker_.reset();
    updates_.updateUI_inContext(context, std::move(changes));
}

void AppSavePath::resetForLaunch() {
    automaticUIUpdate_ = true;
    changeTracker_.reset();
}

void AppSavePath::disableAutomaticUIUpdate() {
    automaticUIUpdate_ = false;
}

void AppSavePath::enableAutomaticUIUpdate() {
    ManagedObjectContext* context = delegate_.mainContextIfOpen();
    RoundingEnabledFlag* rounding = delegate_.roundingEnabledFlag();
    if (context && rounding)
        rounding->refreshRoundingEnabled_inContext(*context);
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
    if (context)
        updateUI_inContext(*context);
    automaticUIUpdate_ = true;
}

void AppSavePath::enableAutomaticUIUpdateWithoutReload() {
    ManagedObjectContext* context = delegate_.mainContextIfOpen();
    RoundingEnabledFlag* rounding = delegate_.roundingEnabledFlag();
    if (context && rounding)
        rounding->refreshRoundingEnabled_inContext(*context);
    changeTracker_.forgetTasks();
    automaticUIUpdate_ = true;
}

void AppSavePath::presentFatalSaveAlert(const Error& error) {
    std::weak_ptr<AppSavePath*> guard = guard_;
    services_.loop.runOnMainThread([guard, error] {
        const auto alive = guard.lock();
        if (!alive)
            return;
        AppSavePath& self = **alive;
        Alert alert;
        alert.messageText = std::string(kThereWasAProblemSaving);
        alert.informativeText = std::string(kFatalSaveInformativeStart) +
                                std::string(kSupportAddress) +
                                std::string(kFatalSaveInformativeEnd);
        alert.buttons = {std::string(launch_texts::kQuit)};
        alert.style = Alert::Style::Critical;
        alert.accessoryText = errorDetails(error);
        self.services_.alerts.runModal(alert);
        logError("saveContext",
                 formatText(kUnresolvedError, {error.description, errorDetails(error)}));
        // Without the quit sequence: it would save again, and the system should see a crash.
        self.shell_.terminateImmediately();
    });
}

}  // namespace ravelong

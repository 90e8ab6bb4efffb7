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
#include "foundation/NotificationCenter.h"
#include "store/ManagedObjectContext.h"
#include "store/StoreError.h"

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

bool isStoreError(const Error& error, StoreErrorCode code) {
    return error.domain == kStoreErrorDomain && error.code == static_cast<int>(code);
}

// A busy file, a full disk and a file that may not be written (a store opened for looking, a
// folder whose permissions changed) are the user's to fix; the change waits in memory meanwhile.
bool saveMayWait(const Error& error) {
    return isStoreError(error, StoreErrorCode::Busy) ||
           isStoreError(error, StoreErrorCode::DiskFull) ||
           isStoreError(error, StoreErrorCode::NoPermission) ||
           isStoreError(error, StoreErrorCode::ReadOnlyFileSystem);
}

struct WaitingSaveTexts {
    std::string_view message;
    std::string_view advice;
};

WaitingSaveTexts waitingSaveTexts(const Error& error) {
    if (isStoreError(error, StoreErrorCode::Busy))
        return {kStoreBusyMessage, kStoreBusyAdvice};
    if (isStoreError(error, StoreErrorCode::DiskFull))
        return {kDiskFullMessage, kDiskFullAdvice};
    return {kStoreNotWritableMessage, kStoreNotWritableAdvice};
}

}  // namespace

AppSavePath::AppSavePath(AppDelegate& delegate, ApplicationShell& shell,
                         AppInterfaceUpdates& updates, AppServices services, StoreSave storeSave)
    : delegate_(delegate),
      shell_(shell),
      updates_(updates),
      services_(services),
      storeSave_(std::move(storeSave)) {}

AppSavePath::~AppSavePath() {
    services_.loop.cancel(retryTimer_);
}

Status AppSavePath::saveToStore(ManagedObjectContext& context) {
    return storeSave_ ? storeSave_(context) : context.save();
}

bool AppSavePath::saveContext(ManagedObjectContext& context, bool andProcessObjects) {
    if (!context.hasChanges())
        return true;
    if (andProcessObjects) {
        changeTracker_.processInsertedObjects(context.insertedObjects(), context.deletedObjects(),
                                              context.updatedObjects(), false);
    }
    const Status saved = saveToStore(context);
    if (!saved) {
        if (unattended_) {
            giveUpUnsavedChanges(context, saved.error());
            return false;
        }
        if (!saveMayWait(saved.error())) {
            presentFatalSaveAlert(saved.error());
            return false;
        }
        deferSave(saved.error());
        // The change is real to the user (a timer started); the interface shows it meanwhile.
        if (automaticUIUpdate_)
            updateUI_inContext(context);
        return false;
    }
    if (retryTimer_ != 0) {
        services_.loop.cancel(retryTimer_);
        retryTimer_ = 0;
        logInfo("saveContext", "the changes that waited have been saved");
    }
    waitingToldToUser_ = false;
    if (automaticUIUpdate_)
        updateUI_inContext(context);
    services_.notifications.post(std::string(kRavelongChangesSaved));
    return true;
}

void AppSavePath::deferSave(const Error& error) {
    logError("saveContext", "the save waits: " + errorDetails(error));
    if (retryTimer_ == 0) {
        std::weak_ptr<AppSavePath*> guard = guard_;
        retryTimer_ = services_.loop.runAfter(kRetryInterval, [guard] {
            if (const auto alive = guard.lock())
                (*alive)->retrySave();
        });
    }
    if (waitingToldToUser_)
        return;
    waitingToldToUser_ = true;
    const WaitingSaveTexts texts = waitingSaveTexts(error);
    Alert alert;
    alert.messageText = std::string(texts.message);
    std::string details = error.description;
    if (!error.failureReason.empty())
        details += "\n" + error.failureReason;
    alert.informativeText = details + "\n\n" + std::string(texts.advice);
    alert.buttons = {std::string(kOK)};
    alert.style = Alert::Style::Warning;
    // Not from inside the save: its caller is in the middle of its work.
    std::weak_ptr<AppSavePath*> guard = guard_;
    services_.loop.runOnMainThread([guard, alert] {
        const auto alive = guard.lock();
        if (alive && !(*alive)->unattended_)
            (*alive)->services_.alerts.runModal(alert);
    });
}

void AppSavePath::retrySave() {
    retryTimer_ = 0;
    if (ManagedObjectContext* context = delegate_.mainContextIfOpen())
        saveContext(*context, true);
}

void AppSavePath::giveUpUnsavedChanges(ManagedObjectContext& context, const Error& error) {
    changesLost_ = true;
    const std::size_t records = context.insertedObjects().size() + context.updatedObjects().size() +
                                context.deletedObjects().size();
    logError("saveContext",
             formatText(kUnsavedAtExit, {std::to_string(records), errorDetails(error)}));
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

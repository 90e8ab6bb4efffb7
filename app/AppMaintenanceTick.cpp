#include "app/AppMaintenanceTick.h"

#include <string>

#include "app/AppDelegate.h"
#include "app/AppStrings.h"
#include "app/ApplicationShell.h"
#include "app/SavePathTexts.h"
#include "app/SettingsSaving.h"
#include "app/ZRUserDefaults2.h"
#include "core/chain/ChainRepair.h"
#include "core/model/UndoSuppression.h"
#include "core/repairs/OriginRepairs.h"
#include "core/repairs/TimingSetRepairs.h"
#include "core/services/StatusItemTime.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/tree/TreeRepairs.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

constexpr double kMaintenanceTolerance = 60.0;

}  // namespace

AppMaintenanceTick::AppMaintenanceTick(AppDelegate& delegate, ApplicationShell& shell,
                                       SettingsSaving& settings, AppServices services)
    : delegate_(delegate), shell_(shell), settings_(settings), services_(services) {}

AppMaintenanceTick::~AppMaintenanceTick() {
    stop();
}

void AppMaintenanceTick::start() {
    if (timer_ != 0)
        return;
    timer_ = services_.loop.runRepeating(kMaintenanceInterval, kMaintenanceTolerance,
                                         [this] { reloadCloudData(); });
}

void AppMaintenanceTick::stop() {
    if (timer_ == 0)
        return;
    services_.loop.cancel(timer_);
    timer_ = 0;
}

void AppMaintenanceTick::setAutomaticBackup(AutomaticBackup* backup) {
    backup_ = backup ? backup : &noBackup_;
}

void AppMaintenanceTick::setSyncRequester(SyncRequester* sync) {
    sync_ = sync ? sync : &noSync_;
}

void AppMaintenanceTick::reloadCloudData() {
    ManagedObjectContext* main = delegate_.mainContextIfOpen();
    if (!main)
        return;
    ManagedObjectContext& context = *main;
    if (ZRTimerControllerOSX* timerController = delegate_.timerController())
        timerController->checkForAndHandleOvertimeTimings();

    if (shell_.isActive()) {
        ScopedUndoRegistrationOff undoOff(context);
        context.processPendingChanges();
        delegate_.saveContext(context);
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
            delegate_.saveContext(context);
        }
        if (timingSetsChanged) {
            if (StatusItemTime* time = shell_.statusItemTime())
                time->updateTime();
            services_.notifications.post(std::string(kMenuBarNeedsToReloadTotalTime));
            services_.notifications.post(std::string(kZRRedrawDatePicker));
            shell_.reloadPanelTable();
        }
    }

    settings_.synchronize();
    if (ZRUserDefaults2::autoBackupEnabled())
        backup_->backupForce(false);
    if (sync_->readyToSync())
        sync_->forceSyncWithMergeOptions(kSyncMergeOptions);
}

}  // namespace ravelong

#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "app/AppChangeTracker.h"
#include "app/AppServices.h"
#include "foundation/Error.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class AppDelegate;
class AppInterfaceUpdates;
class ApplicationShell;
class ManagedObjectContext;
struct Error;

// The single save path of the main context: collects what a save changes, saves, and has the
// interface told about it (while automatic updates are on).
//
// A save that fails because another program holds the store's file (Busy) or because the disk is
// full (DiskFull) loses nothing: the change stays in the context, the interface shows it, the
// user is told once what holds the save up, and the save is tried again every minute and at the
// next save. Any other failure shows the fatal save alert on the main loop and ends the process.
// While the session ends (unattended) no failure asks anything: it is logged and remembered for
// the exit status. Main thread only.
class AppSavePath {
public:
    // Writes a context to its store; ManagedObjectContext::save unless a test puts in another.
    using StoreSave = std::function<Status(ManagedObjectContext&)>;

    static constexpr double kRetryInterval = 60.0;

    AppSavePath(AppDelegate& delegate, ApplicationShell& shell, AppInterfaceUpdates& updates,
                AppServices services, StoreSave storeSave = {});
    ~AppSavePath();
    AppSavePath(const AppSavePath&) = delete;
    AppSavePath& operator=(const AppSavePath&) = delete;

    // True when the context had nothing to save or was saved.
    bool saveContext(ManagedObjectContext& context, bool andProcessObjects);
    // The one write of a context to its store every save of the delegate goes through.
    Status saveToStore(ManagedObjectContext& context);

    // Whether changes wait in memory for a save held up by a busy file or a full disk.
    bool hasPendingRetry() const { return retryTimer_ != 0; }

    // From now on nobody waits for an answer (the session ends): failures are logged only.
    void setUnattended(bool unattended) { unattended_ = unattended; }
    bool unattended() const { return unattended_; }
    // Logs that the changes still in `context` are given up, with `error`, and remembers it.
    void giveUpUnsavedChanges(ManagedObjectContext& context, const Error& error);
    // Whether changes were given up (see giveUpUnsavedChanges).
    bool changesWereLost() const { return changesLost_; }

    // Bracket bulk changes (restore, import, migration): no interface updates in between.
    void disableAutomaticUIUpdate();
    void enableAutomaticUIUpdate();
    void enableAutomaticUIUpdateWithoutReload();
    bool automaticUIUpdate() const { return automaticUIUpdate_; }

    AppChangeTracker& changeTracker() { return changeTracker_; }
    // Back to the state of a new launch: automatic updates on, nothing collected.
    void resetForLaunch();

private:
    void updateUI_inContext(ManagedObjectContext& context);
    // Shows the alert on the main loop, logs the error and ends the process at once.
    void presentFatalSaveAlert(const Error& error);
    // Keeps the change in memory for a later save, and tells the user once why it waits.
    void deferSave(const Error& error);
    void retrySave();

    AppDelegate& delegate_;
    ApplicationShell& shell_;
    AppInterfaceUpdates& updates_;
    AppServices services_;
    AppChangeTracker changeTracker_;
    StoreSave storeSave_;
    bool automaticUIUpdate_ = true;
    bool unattended_ = false;
    bool changesLost_ = false;
    bool waitingToldToUser_ = false;  // the user knows why saves wait; reset by a good save
    MainLoop::TimerId retryTimer_ = 0;
    // Work left on the main loop does nothing once the save path is gone.
    std::shared_ptr<AppSavePath*> guard_ = std::make_shared<AppSavePath*>(this);
};

}  // namespace ravelong

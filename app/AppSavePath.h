#pragma once

#include <memory>

#include "app/AppChangeTracker.h"
#include "app/AppServices.h"

namespace ravelong {

class AppDelegate;
class AppInterfaceUpdates;
class ApplicationShell;
class ManagedObjectContext;
struct Error;

// The single save path of the main context: collects what a save changes, saves, and has the
// interface told about it (while automatic updates are on). A failed save shows the fatal save
// alert on the main loop and ends the process. Main thread only.
class AppSavePath {
public:
    AppSavePath(AppDelegate& delegate, ApplicationShell& shell, AppInterfaceUpdates& updates,
                AppServices services);
    ~AppSavePath();
    AppSavePath(const AppSavePath&) = delete;
    AppSavePath& operator=(const AppSavePath&) = delete;

    // True when the context had nothing to save or was saved.
    bool saveContext(ManagedObjectContext& context, bool andProcessObjects);

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

    AppDelegate& delegate_;
    ApplicationShell& shell_;
    AppInterfaceUpdates& updates_;
    AppServices services_;
    AppChangeTracker changeTracker_;
    bool automaticUIUpdate_ = true;
    // Work left on the main loop does nothing once the save path is gone.
    std::shared_ptr<AppSavePath*> guard_ = std::make_shared<AppSavePath*>(this);
};

}  // namespace ravelong

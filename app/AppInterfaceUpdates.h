#pragma once

#include "app/AppChangeTracker.h"
#include "app/AppServices.h"

namespace ravelong {

class AppDelegate;
class ApplicationShell;
class ManagedObjectContext;

// Tells the interface what a save of the main context changed: hands the tray item its running
// timings, reloads the panel rows that show changed tasks, starts or stops the timer
// controller's tick, and posts the change notifications, each only when its flag is set. Main
// thread only.
class AppInterfaceUpdates {
public:
    AppInterfaceUpdates(AppDelegate& delegate, ApplicationShell& shell, AppServices services);

    // Works through the flags and sets of `changes` (collected by the save that just succeeded)
    // in their order, then forgets them. A receiver of the notifications may save again; that
    // save collects into a tracker of its own.
    void updateUI_inContext(ManagedObjectContext& context, AppChangeTracker changes);

private:
    void postInterfaceUpdates(AppChangeTracker& changes);
    void post(std::string_view name);

    AppDelegate& delegate_;
    ApplicationShell& shell_;
    AppServices services_;
};

}  // namespace ravelong

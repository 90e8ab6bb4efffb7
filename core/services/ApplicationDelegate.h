#pragma once

#include "store/ManagedObjectContext.h"

namespace ravelong {

class AddNotePanel;
class AlertSound;
class IdleTimePanel;
class IdleTimeSource;
class StatusItemTime;
class TimingEditSession;
class ZRCDPreferences;

// The application object as the tracking core sees it: the owner of the main store context, of
// the preferences record and of the single save path, and the way to the windows and panels
// that live in higher layers. The application implements it at launch; the core never reaches
// the interface any other way, so tests hand in an object with recording fakes.
//
// The service accessors return nullptr for what does not exist at the moment (the main window
// while it is closed, the panels before the interface is loaded, an idle source on a desktop
// without one); callers then skip that part. Objects returned stay owned by the delegate. Main
// thread only.
class ApplicationDelegate : public ContextDelegate {
public:
    virtual ManagedObjectContext& managedObjectContext() = 0;
    // The preferences record the application holds (fetched at launch and after repairs), or
    // nullptr before it has one.
    virtual ZRCDPreferences* cdPreferences() = 0;

    // The single save path of the main context. An override may add what the application does
    // around a save (change sets, notifications), but must end in context.save() so that every
    // change reaches the file. This one just saves, and logs a failure; the result says whether
    // the changes were written.
    bool saveContext(ManagedObjectContext& context) override;

    virtual AlertSound* alertSound() = 0;
    virtual AddNotePanel* addNotePanel() = 0;
    virtual IdleTimePanel* idleTimePanel() = 0;
    virtual IdleTimeSource* idleTimeSource() = 0;
    virtual StatusItemTime* statusItemTime() = 0;
    // The main window's timing table while the window is open.
    virtual TimingEditSession* timingEditSession() = 0;
};

}  // namespace ravelong

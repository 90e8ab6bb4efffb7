#pragma once

#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

// Switches undo registration of a context off for its lifetime (a context without an undo
// manager registers nothing anyway). Disabling counts, so these nest.
class ScopedUndoRegistrationOff {
public:
    explicit ScopedUndoRegistrationOff(ManagedObjectContext& context)
        : undoManager_(context.undoManager()) {
        if (undoManager_)
            undoManager_->disableUndoRegistration();
    }
    ~ScopedUndoRegistrationOff() {
        if (undoManager_)
            undoManager_->enableUndoRegistration();
    }
    ScopedUndoRegistrationOff(const ScopedUndoRegistrationOff&) = delete;
    ScopedUndoRegistrationOff& operator=(const ScopedUndoRegistrationOff&) = delete;

private:
    ZRUndoManager* undoManager_;
};

}  // namespace ravelong

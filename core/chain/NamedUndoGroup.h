#pragma once

#include <string>
#include <string_view>

#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

// Gathers every change made during its lifetime into one undo step with the given name ("Delete
// Task"), as the Edit menu shows it. A context without an undo manager records nothing. Groups
// nest: inside another group the changes fold into the outer step, which keeps its own name.
class NamedUndoGroup {
public:
    NamedUndoGroup(ManagedObjectContext& context, std::string_view actionName)
        : context_(context), undoManager_(context.undoManager()) {
        if (undoManager_) {
            undoManager_->beginUndoGrouping();
            outermost_ = undoManager_->groupingLevel() == 1;
        }
        setActionName(actionName);
    }
    ~NamedUndoGroup() { close(); }
    NamedUndoGroup(const NamedUndoGroup&) = delete;
    NamedUndoGroup& operator=(const NamedUndoGroup&) = delete;

    // Renames the step, for actions whose name depends on what they found ("Delete Tasks").
    void setActionName(std::string_view actionName) {
        if (undoManager_ && open_ && outermost_)
            undoManager_->setActionName(std::string(actionName));
    }

    // Ends the step now (so that a save that follows sees it closed).
    void close() {
        if (!open_)
            return;
        open_ = false;
        context_.processPendingChanges();
        if (undoManager_)
            undoManager_->endUndoGrouping();
    }

private:
    ManagedObjectContext& context_;
    ZRUndoManager* undoManager_;
    bool open_ = true;
    bool outermost_ = false;
};

}  // namespace ravelong

#include "scripting/ZRScriptTask.h"

#include "core/chain/ChainTreeChanges.h"
#include "core/chain/NamedUndoGroup.h"
#include "core/chain/TaskTree.h"
#include "core/model/ContextSaving.h"
#include "core/model/ZRCDTask.h"
#include "core/tree/TreeTexts.h"
#include "scripting/ScriptTexts.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

ZRScriptTask ZRScriptTask::createNew(ManagedObjectContext& context) {
    context.processPendingChanges();
    NamedUndoGroup group(context, kAddTaskScript);
    ZRCDTask* task =
        ZRCDTask::createCoreDataTaskWithName(std::string(kUntitledTask), false, context);
    group.close();
    saveThroughDelegateLoggingFailure(context, "adding a task by script");
    return ZRScriptTask(task);
}

std::string ZRScriptTask::uniqueID() const {
    return task_ ? task_->uuid().value_or("") : "";
}

std::string ZRScriptTask::name() const {
    return task_ ? task_->taskName().value_or("") : "";
}

std::string ZRScriptTask::parentTaskID() const {
    if (!task_ || !task_->parentTask())
        return {};
    return task_->parentTask()->uuid().value_or("");
}

bool ZRScriptTask::setName(const std::optional<std::string>& name) {
    if (!name || !task_ || task_->isDeleted() || !task_->managedObjectContext())
        return false;
    ManagedObjectContext& context = *task_->managedObjectContext();
    NamedUndoGroup group(context, kRenameTaskScript);
    task_->setTaskName(*name);
    group.close();
    saveThroughDelegateLoggingFailure(context, "renaming a task by script");
    return true;
}

bool ZRScriptTask::setParentTaskID(const std::optional<std::string>& parentTaskID) {
    if (!parentTaskID || !task_ || task_->isDeleted() || !task_->managedObjectContext())
        return false;
    ManagedObjectContext& context = *task_->managedObjectContext();
    ZRCDTask* target = ZRCDTask::getCoreDataTaskWithUUIDOrUID(*parentTaskID, context);
    if (!target || target == task_ || target->timings().size() > 0)
        return false;
    if (task_tree::numberOfAncestorTiers(target) + task_tree::numberOfDescendantTiers(task_) >= 2)
        return false;
    // A descendant as the new parent would make the tree a loop; the tier rule above already
    // refuses every such case in a sound tree, this guards damaged ones.
    if (task_tree::isDescendantOf(target, task_))
        return false;
    NamedUndoGroup group(context, kRearrangeTaskScript);
    const bool moved = task_chain::makeChildOfTask(task_, target);
    group.close();
    if (moved)
        saveThroughDelegateLoggingFailure(context, "moving a task by script");
    return moved;
}

}  // namespace ravelong

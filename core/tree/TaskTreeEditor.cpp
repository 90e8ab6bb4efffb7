#include "core/tree/TaskTreeEditor.h"

#include <algorithm>
#include <bit>
#include <cstdio>

#include "core/chain/ChainTreeChanges.h"
#include "core/chain/NamedUndoGroup.h"
#include "core/chain/TaskTree.h"
#include "core/model/ContextSaving.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/TimingStop.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/tree/TaskTreeEditing.h"
#include "core/tree/TreeTexts.h"
#include "foundation/AlertPresenter.h"

namespace ravelong {

namespace {

bool isLive(const ZRCDTask* task) {
    return task && !task->isDeleted() && task->managedObjectContext();
}

bool hasRunningTiming(const ZRCDTask* task) {
    const auto timings = task->timings();
    return std::any_of(timings.begin(), timings.end(),
                       [](const ZRCDTiming* t) { return t->running(); });
}

std::vector<ZRCDTask*> withDescendants(ZRCDTask* task) {
    std::vector<ZRCDTask*> tasks{task};
    const std::vector<ZRCDTask*> descendants = task_tree::descendants(task);
    tasks.insert(tasks.end(), descendants.begin(), descendants.end());
    return tasks;
}

void setArchived(ZRCDTask* task, bool archived) {
    if (task->isArchived() != archived)
        task->setIsArchived(archived);
}

std::string archivedSubtasksText(long count) {
    std::string text(kDeleteArchivedSubtasksInformative);
    const std::size_t at = text.find("%ld");
    if (at != std::string::npos)
        text.replace(at, 3, std::to_string(count));
    return text;
}

}  // namespace

TaskTreeEditor::TaskTreeEditor(ApplicationDelegate& delegate, ZRTimerControllerOSX* timerController)
    : delegate_(delegate), timerController_(timerController) {}

ManagedObjectContext& TaskTreeEditor::context() const {
    return delegate_.managedObjectContext();
}

void TaskTreeEditor::refuse() const {
    if (AlertSound* sound = delegate_.alertSound())
        sound->playSound(kFunkSound);
}

void TaskTreeEditor::save() const {
    saveThroughDelegateLoggingFailure(context(), "TaskTreeEditor");
}

void TaskTreeEditor::stopRunningTimingsOf(const std::vector<ZRCDTask*>& tasks) {
    std::vector<ZRCDTiming*> running;
    for (const ZRCDTask* task : tasks) {
        for (ZRCDTiming* timing : task->timings()) {
            if (timing->running())
                running.push_back(timing);
        }
    }
    if (running.empty())
        return;
    if (timerController_) {
        timerController_->stopTimings(running, false);
        return;
    }
    for (ZRCDTiming* timing : running)
        timing_stop::stopThisTimingNow(*timing);
}

ZRCDTask* TaskTreeEditor::addTask() {
    ZRCDTask* task = nullptr;
    {
        NamedUndoGroup undo(context(), kUndoAddTask);
        task = ZRCDTask::createCoreDataTaskWithName(std::string(kUntitledTask), false, context());
    }
    save();
    return task;
}

ZRCDTask* TaskTreeEditor::addChildTaskToTask(ZRCDTask* parent, bool searchTermActive) {
    if (!isLive(parent) || task_tree::numberOfAncestorTiers(parent) >= 2 ||
        !parent->timingSets().empty() || hasRunningTiming(parent)) {
        refuse();
        return nullptr;
    }
    const auto children = parent->childTasks();
    const bool hadRegularChild = std::any_of(children.begin(), children.end(),
                                             [](const ZRCDTask* c) { return !c->isArchived(); });
    ZRCDTask* child = nullptr;
    {
        NamedUndoGroup undo(context(), kUndoAddSubtask);
        child =
            ZRCDTask::createCoreDataTaskWithName(std::string(kUntitledSubtask), false, context());
        task_chain::makeChildOfTask(child, parent);
        if ((!searchTermActive || !hadRegularChild) && !child->isVisibleInMenuBar())
            child->setIsVisibleInMenuBar(true);
    }
    save();
    return child;
}

bool TaskTreeEditor::deleteTaskAndSubtasks(ZRCDTask* task) {
    if (!isLive(task)) {
        refuse();
        return false;
    }
    const std::vector<ZRCDTask*> descendants = task_tree::descendants(task);
    const long archived = std::count_if(descendants.begin(), descendants.end(),
                                        [](const ZRCDTask* d) { return d->isArchived(); });
    if (archived > 0) {
        Alert alert;
        alert.messageText = std::string(archived == 1 ? kDeleteArchivedSubtaskMessage
                                                      : kDeleteArchivedSubtasksMessage);
        alert.informativeText = archived == 1 ? std::string(kDeleteArchivedSubtaskInformative)
                                              : archivedSubtasksText(archived);
        alert.buttons = {std::string(kDeleteButton), std::string(kCancelButton)};
        if (AlertPresenter::current().runModal(alert).buttonIndex != 0)
            return false;
    }
    return task_chain::removeCoreDataTaskAndDescendants(task);
}

bool TaskTreeEditor::deleteTaskKeepingSubtasks(ZRCDTask* task) {
    if (!isLive(task)) {
        refuse();
        return false;
    }
    return task_chain::removeCoreDataTaskAndKeepDescendants(task);
}

bool TaskTreeEditor::archive(ZRCDTask* task) {
    if (!isLive(task)) {
        refuse();
        return false;
    }
    {
        NamedUndoGroup undo(context(), kUndoArchiveTask);
        const std::vector<ZRCDTask*> tasks = withDescendants(task);
        stopRunningTimingsOf(tasks);
        for (ZRCDTask* t : tasks)
            setArchived(t, true);
    }
    save();
    return true;
}

bool TaskTreeEditor::unArchive(ZRCDTask* task) {
    if (!isLive(task)) {
        refuse();
        return false;
    }
    {
        NamedUndoGroup undo(context(), kUndoUnarchiveTask);
        for (ZRCDTask* t : withDescendants(task))
            setArchived(t, false);
        if (ZRCDTask* parent = task->parentTask()) {
            setArchived(parent, false);
            if (ZRCDTask* grandparent = parent->parentTask())
                setArchived(grandparent, false);
        }
    }
    save();
    return true;
}

bool TaskTreeEditor::archiveSubtasks(ZRCDTask* task) {
    if (!isLive(task)) {
        refuse();
        return false;
    }
    {
        NamedUndoGroup undo(context(), kUndoArchiveSubtasks);
        const std::vector<ZRCDTask*> descendants = task_tree::descendants(task);
        stopRunningTimingsOf(descendants);
        for (ZRCDTask* d : descendants) {
            setArchived(d, true);
            if (d->isVisibleInMenuBar())
                d->setIsVisibleInMenuBar(false);
        }
    }
    save();
    return true;
}

bool TaskTreeEditor::unArchiveSubtasks(ZRCDTask* task) {
    if (!isLive(task)) {
        refuse();
        return false;
    }
    {
        NamedUndoGroup undo(context(), kUndoUnarchiveSubtasks);
        for (ZRCDTask* d : task_tree::descendants(task))
            setArchived(d, false);
        if (ZRCDTask* parent = task->parentTask())
            setArchived(parent, false);
    }
    save();
    return true;
}

bool TaskTreeEditor::dropTaskBetweenRows(ZRCDTask* task, int droppedIntoRow, int originRow,
                                         const std::vector<ZRCDTask*>& tasksArray) {
    if (!isLive(task)) {
        refuse();
        return false;
    }
    bool changed = false;
    {
        NamedUndoGroup undo(context(), kUndoRearrangeTask);
        changed = task_tree_editing::rebuildTaskChainWithTask(task, droppedIntoRow, originRow,
                                                              tasksArray, context());
    }
    if (changed)
        save();
    return changed;
}

TaskTreeEditor::DropResult TaskTreeEditor::dropTaskOnTask(ZRCDTask* dragged, ZRCDTask* target,
                                                          unsigned modifierKeys) {
    const int keys = std::popcount(modifierKeys & 0xFu);
    if (keys == 1) {
        if (!task_tree_editing::canMerge(target, dragged)) {
            refuse();
            return DropResult::refused;
        }
        {
            NamedUndoGroup undo(context(), kUndoMergeTasks);
            task_tree_editing::mergeWithTask(target, dragged);
        }
        save();
        return DropResult::merged;
    }
    if (keys != 0 || !task_tree_editing::canMakeChildOnDrop(dragged, target)) {
        refuse();
        return DropResult::refused;
    }
    const bool targetHoldsTime =
        target->childTasks().empty() && (!target->timingSets().empty() || hasRunningTiming(target));
    DropResult result = DropResult::refused;
    {
        NamedUndoGroup undo(context(), kUndoRearrangeTask);
        if (targetHoldsTime) {
            if (task_tree_editing::makeChildOfNewParentTaskWithSibling(dragged, target))
                result = DropResult::madeChildOfNewParent;
        } else if (task_chain::makeChildOfTask(dragged, target)) {
            result = DropResult::madeChild;
        }
    }
    if (result == DropResult::refused) {
        refuse();
        return result;
    }
    save();
    return result;
}

}  // namespace ravelong

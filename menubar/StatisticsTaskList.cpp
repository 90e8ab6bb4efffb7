#include "menubar/StatisticsTaskList.h"

#include <bit>
#include <unordered_set>

#include "app/ZRUserDefaults2.h"
#include "core/chain/TaskChain.h"
#include "core/model/ContextSaving.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDTask.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "stats/TaskSelection.h"

namespace ravelong {

StatisticsTaskList::StatisticsTaskList(ApplicationDelegate& delegate, TaskTreeEditor& editor,
                                       MainLoop& loop)
    : delegate_(delegate), editor_(editor), loop_(loop) {}

void StatisticsTaskList::reload() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    const std::int64_t showTasks = ZRUserDefaults2::showTasks();
    showsPrompt_ = showTasks < 1 || showTasks > 3;
    std::function<bool(const ZRCDTask&)> listed;
    if (showTasks == 3) {
        ScopedUndoRegistrationOff off(context);
        task_selection::fixTaskIsSelectedStates_inContext(context);
        context.processPendingChanges();
        listed = [](const ZRCDTask& task) { return task.isVisibleInDataSelection(); };
    } else if (showTasks == 2) {
        listed = [](const ZRCDTask& task) {
            return task.isVisibleInDataSelection() && !task.isArchived();
        };
    } else if (showTasks == 1) {
        listed = [](const ZRCDTask& task) { return task.isArchived(); };
    }
    tasks_.clear();
    if (listed)
        tasks_ = task_chain::sortArrayOfTasksByViewPosition(
            context.fetch<ZRCDTask>({.predicate = listed}), context);
    if (onChange_)
        onChange_();
}

StatisticsTaskList::Mark StatisticsTaskList::markOfRow(std::size_t row) const {
    const ZRCDTask* task = taskAtRow(row);
    if (!task)
        return Mark::unchecked;
    if (task->taskIsSelected())
        return Mark::checked;
    return task_selection::hasASelectedDescendantTask(*task) ? Mark::partlyChecked
                                                             : Mark::unchecked;
}

bool StatisticsTaskList::rowIsHighlighted(std::size_t row) const {
    const ZRCDTask* task = taskAtRow(row);
    const auto uuid = ZRUserDefaults2::selectedTaskInDataSelection();
    return task && uuid && task->uuid() == uuid;
}

void StatisticsTaskList::toggleSelectionOfTaskAtRowIndex(std::size_t row, unsigned modifierKeys) {
    if (!loop_.isMainThread() || row >= tasks_.size())
        return;
    ManagedObjectContext& context = delegate_.managedObjectContext();
    context.processPendingChanges();
    ZRCDTask* task = tasks_[row];
    const std::int64_t state = ZRUserDefaults2::selectionState();
    std::optional<std::int64_t> newState;
    bool reloadList = false;
    {
        ScopedUndoRegistrationOff off(context);
        switch (state) {
            case 0:
                task_selection::deselectAllTasks_inContext(context);
                task->setTaskIsSelected(true);
                newState = 2;
                break;
            case 1:
                if (task->uuid() &&
                    task->uuid() == ZRUserDefaults2::selectedTaskInDataSelection()) {
                    if (AlertSound* sound = delegate_.alertSound())
                        sound->playSound(kFunkSound);
                    return;
                }
                ZRUserDefaults2::setSelectedTaskInDataSelection(task->uuid());
                reloadList = true;
                break;
            case 2: {
                const unsigned keys =
                    modifierKeys & (TaskTreeEditor::kShiftKey | TaskTreeEditor::kControlKey |
                                    TaskTreeEditor::kOptionKey | TaskTreeEditor::kCommandKey);
                if (std::popcount(keys) == 1 && !task->taskIsSelected()) {
                    checkRangeTo(task);
                    reloadList = true;
                    break;
                }
                const bool nowChecked =
                    !task->taskIsSelected() && !task_selection::hasASelectedDescendantTask(*task);
                task->setTaskIsSelected(nowChecked);
                if (nowChecked) {
                    // A checked task never sits under a checked one: its ancestors show as partly.
                    for (ZRCDTask* up = task->parentTask(); up; up = up->parentTask()) {
                        if (up == task)
                            break;
                        if (up->taskIsSelected())
                            up->setTaskIsSelected(false);
                    }
                } else {
                    for (ZRCDTask* below : task_selection::descendantsOf(*task))
                        if (below->taskIsSelected())
                            below->setTaskIsSelected(false);
                }
                break;
            }
            case 3:
                task_selection::selectAllVisibleInDataSelectionTasksThatDontHaveAVisibleChild(
                    tasks_);
                task->setTaskIsSelected(false);
                for (ZRCDTask* below : task_selection::descendantsOf(*task))
                    if (below->taskIsSelected())
                        below->setTaskIsSelected(false);
                newState = 2;
                reloadList = true;
                break;
            default:
                break;
        }
        context.processPendingChanges();
    }
    if (newState)
        ZRUserDefaults2::setSelectionState(*newState);
    saveThroughDelegateLoggingFailure(context, "StatisticsTaskList:toggleSelection");
    if (reloadList)
        reload();
    else if (onChange_)
        onChange_();
}

void StatisticsTaskList::checkRangeTo(ZRCDTask* clicked) {
    const std::unordered_set<const ZRCDTask*> listed(tasks_.begin(), tasks_.end());
    const std::size_t limit = delegate_.managedObjectContext().count<ZRCDTask>();
    // Walks one way along the chain over the listed tasks until a checked one; the tasks passed
    // on the way, or nothing when no checked task lies that way.
    auto walk = [&](auto step) {
        std::vector<ZRCDTask*> passed;
        std::size_t steps = 0;
        for (ZRCDTask* task = step(clicked); task && steps <= limit; task = step(task), ++steps) {
            if (!listed.contains(task))
                continue;
            if (task->taskIsSelected())
                return std::optional<std::vector<ZRCDTask*>>(passed);
            passed.push_back(task);
        }
        return std::optional<std::vector<ZRCDTask*>>();
    };
    auto passed = walk([](ZRCDTask* task) { return task->prevTask(); });
    if (!passed)
        passed = walk([](ZRCDTask* task) { return task->nextTask(); });
    clicked->setTaskIsSelected(true);
    if (passed)
        for (ZRCDTask* task : *passed)
            task->setTaskIsSelected(true);
    task_selection::fixTaskIsSelectedStates_inContext(delegate_.managedObjectContext());
}

void StatisticsTaskList::selectAllTasks() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    context.processPendingChanges();
    {
        ScopedUndoRegistrationOff off(context);
        // Hidden subtasks of a listed task are covered by it.
        task_selection::deselectAllTasks_inContext(context);
        task_selection::selectAllVisibleInDataSelectionTasksThatDontHaveAVisibleChild(tasks_);
        context.processPendingChanges();
    }
    ZRUserDefaults2::setSelectionState(2);
    saveThroughDelegateLoggingFailure(context, "StatisticsTaskList:selectAll");
    if (onChange_)
        onChange_();
}

void StatisticsTaskList::deselectAllTasks() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    context.processPendingChanges();
    {
        ScopedUndoRegistrationOff off(context);
        task_selection::deselectAllTasks_inContext(context);
        context.processPendingChanges();
    }
    ZRUserDefaults2::setSelectionState(2);
    saveThroughDelegateLoggingFailure(context, "StatisticsTaskList:deselectAll");
    if (onChange_)
        onChange_();
}

ZRCDTask* StatisticsTaskList::addTask() {
    ZRCDTask* task = editor_.addTask();
    reload();
    return task;
}

ZRCDTask* StatisticsTaskList::addSubtaskToRow(std::size_t row) {
    ZRCDTask* parent = taskAtRow(row);
    if (!parent)
        return nullptr;
    ZRCDTask* task = editor_.addChildTaskToTask(parent, false);
    reload();
    return task;
}

bool StatisticsTaskList::deleteRow(std::size_t row, bool keepSubtasks) {
    ZRCDTask* task = taskAtRow(row);
    const bool deleted = keepSubtasks ? editor_.deleteTaskKeepingSubtasks(task)
                                      : editor_.deleteTaskAndSubtasks(task);
    reload();
    return deleted;
}

bool StatisticsTaskList::dropRowBetweenRows(std::size_t originRow, int droppedIntoRow) {
    ZRCDTask* task = taskAtRow(originRow);
    const bool moved = task && editor_.dropTaskBetweenRows(task, droppedIntoRow,
                                                           static_cast<int>(originRow), tasks_);
    reload();
    return moved;
}

TaskTreeEditor::DropResult StatisticsTaskList::dropRowOnRow(std::size_t draggedRow,
                                                            std::size_t targetRow,
                                                            unsigned modifierKeys) {
    ZRCDTask* dragged = taskAtRow(draggedRow);
    ZRCDTask* target = taskAtRow(targetRow);
    const auto result = dragged && target ? editor_.dropTaskOnTask(dragged, target, modifierKeys)
                                          : TaskTreeEditor::DropResult::refused;
    reload();
    return result;
}

}  // namespace ravelong

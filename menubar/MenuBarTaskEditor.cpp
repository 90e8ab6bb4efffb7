#include "menubar/MenuBarTaskEditor.h"

#include <bit>

#include "app/AppStrings.h"
#include "core/chain/NamedUndoGroup.h"
#include "core/model/ContextSaving.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/tree/TaskTreeEditing.h"
#include "foundation/AlertPresenter.h"
#include "menubar/MenuBarTaskList.h"
#include "menubar/TaskListTexts.h"

namespace ravelong {

namespace {

// Outer white space of a typed name: blanks, tabs and line breaks.
std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

bool holdsTime(const ZRCDTask& task) {
    if (!task.timingSets().empty())
        return true;
    for (const ZRCDTiming* timing : task.timings())
        if (timing->running())
            return true;
    return false;
}

}  // namespace

MenuBarTaskEditor::MenuBarTaskEditor(MenuBarTaskList& list)
    : list_(list), editor_(list.delegate(), list.timerController()) {}

ZRCDTask* MenuBarTaskEditor::taskOrRefuse(int row) const {
    ZRCDTask* task = list_.taskAtRow(row);
    if (!task)
        list_.refuse();
    return task;
}

bool MenuBarTaskEditor::finish(bool changed) {
    list_.reload();
    return changed;
}

int MenuBarTaskEditor::addTask() {
    // The new task must be in the list to be named: it matches no search.
    if (list_.searchActive())
        list_.clearSearchTerm();
    ZRCDTask* task = editor_.addTask();
    list_.reload();
    return list_.rowOfTask(task);
}

int MenuBarTaskEditor::addSubtaskToRow(int row) {
    ZRCDTask* parent = taskOrRefuse(row);
    if (!parent)
        return -1;
    const bool searching = list_.searchActive();
    ZRCDTask* child = editor_.addChildTaskToTask(parent, searching);
    if (!child)
        return -1;
    if (searching) {
        // The new subtask matches no search yet: listed under its parent for naming.
        list_.reload();
        return list_.insertRowForTask(child, list_.rowOfTask(parent) + 1);
    }
    {
        // Shown at once for naming: a folded parent unfolds.
        ScopedUndoRegistrationOff undoOff(list_.context());
        for (ZRCDTask* sibling : parent->childTasks())
            if (!sibling->isArchived() && !sibling->isVisibleInMenuBar())
                sibling->setIsVisibleInMenuBar(true);
        list_.context().processPendingChanges();
    }
    if (list_.context().hasChanges())
        saveThroughDelegateLoggingFailure(list_.context(), "MenuBarTaskEditor");
    list_.reload();
    return list_.rowOfTask(child);
}

bool MenuBarTaskEditor::renameRow(int row, std::string_view name) {
    ZRCDTask* task = taskOrRefuse(row);
    if (!task)
        return false;
    TaskValues values = valuesOf(*task);
    values.name = std::string(trimmed(name));
    if (values.name.empty()) {
        list_.refuse();
        return false;
    }
    if (task->taskName() == values.name)
        return true;
    {
        NamedUndoGroup undo(list_.context(), kUndoRenameTask);
        task->setTaskName(values.name);
    }
    saveThroughDelegateLoggingFailure(list_.context(), "MenuBarTaskEditor");
    return finish(true);
}

MenuBarTaskEditor::TaskValues MenuBarTaskEditor::valuesOf(const ZRCDTask& task) {
    return TaskValues{task.taskName().value_or(""), task.getTaskColor(),
                      task.taskDescription().value_or(""), task.rounding()};
}

bool MenuBarTaskEditor::isValidRounding(int code) {
    if (code == -1 || code == 0)
        return true;
    const int type = code / 100;
    const int minutes = code % 100;
    return code > 0 && type <= 3 && minutes >= 1;
}

bool MenuBarTaskEditor::editTask(ZRCDTask* task, const TaskValues& values) {
    const std::string name(trimmed(values.name));
    if (!task || task->isDeleted() || name.empty() || !isValidRounding(values.rounding)) {
        list_.refuse();
        return false;
    }
    const TaskValues before = valuesOf(*task);
    TaskValues after = values;
    after.name = name;
    if (after == before)
        return true;
    {
        NamedUndoGroup undo(list_.context(), kUndoEditTask);
        if (after.name != before.name)
            task->setTaskName(after.name);
        if (after.color != before.color)
            task->setTaskColorTo(after.color);
        if (after.description != before.description)
            task->setTaskDescription(after.description.empty()
                                         ? std::nullopt
                                         : std::optional<std::string>(after.description));
        if (after.rounding != before.rounding)
            task->setRounding(after.rounding);
    }
    saveThroughDelegateLoggingFailure(list_.context(), "MenuBarTaskEditor");
    return finish(true);
}

bool MenuBarTaskEditor::editRow(int row, const TaskValues& values) {
    ZRCDTask* task = taskOrRefuse(row);
    return task && editTask(task, values);
}

bool MenuBarTaskEditor::archiveRow(int row) {
    ZRCDTask* task = taskOrRefuse(row);
    return task && finish(editor_.archive(task));
}

bool MenuBarTaskEditor::unArchiveRow(int row) {
    ZRCDTask* task = taskOrRefuse(row);
    return task && finish(editor_.unArchive(task));
}

bool MenuBarTaskEditor::archiveSubtasksOfRow(int row) {
    ZRCDTask* task = taskOrRefuse(row);
    return task && finish(editor_.archiveSubtasks(task));
}

bool MenuBarTaskEditor::unArchiveSubtasksOfRow(int row) {
    ZRCDTask* task = taskOrRefuse(row);
    return task && finish(editor_.unArchiveSubtasks(task));
}

bool MenuBarTaskEditor::deleteRow(int row) {
    // Without a task the tree editor plays the refusal.
    return finish(editor_.deleteTaskAndSubtasks(list_.taskAtRow(row)));
}

bool MenuBarTaskEditor::deleteRowKeepingSubtasks(int row) {
    return finish(editor_.deleteTaskKeepingSubtasks(list_.taskAtRow(row)));
}

MenuBarTaskEditor::DropAction MenuBarTaskEditor::dropActionOnRow(int row, int target,
                                                                 unsigned modifierKeys) const {
    const ZRCDTask* dragged = list_.taskAtRow(row);
    const ZRCDTask* onto = list_.taskAtRow(target);
    if (!dragged || !onto)
        return DropAction::refused;
    const int keys = std::popcount(modifierKeys & 0xFu);
    if (keys == 1)
        return task_tree_editing::canMerge(onto, dragged) ? DropAction::merge : DropAction::refused;
    if (keys != 0 || !task_tree_editing::canMakeChildOnDrop(dragged, onto))
        return DropAction::refused;
    return onto->childTasks().empty() && holdsTime(*onto) ? DropAction::makeChildOfNewParent
                                                          : DropAction::makeChild;
}

TaskTreeEditor::DropResult MenuBarTaskEditor::dropRowOnRow(int row, int target,
                                                           unsigned modifierKeys) {
    ZRCDTask* dragged = list_.taskAtRow(row);
    ZRCDTask* onto = list_.taskAtRow(target);
    if (!dragged || !onto) {
        list_.refuse();
        return TaskTreeEditor::DropResult::refused;
    }
    if (dropActionOnRow(row, target, modifierKeys) == DropAction::merge) {
        // A merge deletes the dragged task: ask before, as a stray modifier key is easy to hold.
        Alert alert;
        alert.messageText = formatText(
            kMergeTasksQuestion, {dragged->taskName().value_or(""), onto->taskName().value_or("")});
        alert.informativeText = std::string(kMergeTasksInformative);
        alert.buttons = {std::string(kMergeButton), std::string(kMergeCancelButton)};
        if (AlertPresenter::current().runModal(alert).buttonIndex != 0)
            return TaskTreeEditor::DropResult::refused;
    }
    const TaskTreeEditor::DropResult result = editor_.dropTaskOnTask(dragged, onto, modifierKeys);
    if (result == TaskTreeEditor::DropResult::madeChild ||
        result == TaskTreeEditor::DropResult::madeChildOfNewParent)
        list_.revealTask(dragged);  // the user sees where it went
    else
        list_.reload();
    return result;
}

bool MenuBarTaskEditor::dropRowBetweenRows(int row, int beforeRow) {
    ZRCDTask* task = taskOrRefuse(row);
    if (!task)
        return false;
    if (beforeRow < 0 || beforeRow > list_.rowCount()) {
        list_.refuse();
        return false;
    }
    std::vector<ZRCDTask*> tasks;
    tasks.reserve(static_cast<std::size_t>(list_.rowCount()));
    for (int i = 0; i < list_.rowCount(); ++i) {
        ZRCDTask* listed = list_.taskAtRow(i);
        if (!listed) {
            // The list is behind the store: show it as it is and let the user drag again.
            list_.refuse();
            list_.reload();
            return false;
        }
        tasks.push_back(listed);
    }
    return finish(editor_.dropTaskBetweenRows(task, beforeRow, row, tasks));
}

}  // namespace ravelong

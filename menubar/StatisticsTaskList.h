#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "core/tree/TaskTreeEditor.h"
#include "foundation/MainLoop.h"

namespace ravelong {

class ApplicationDelegate;
class ZRCDTask;

// The rows and check marks of the main window's statistics task list (the data selection).
//
// Rows: by "ZRShowTasks", 3 the tasks visible in the list (`isVisibleInDataSelection`: their
// parent is expanded), 2 those that are not archived, 1 the archived tasks, in the order of the
// task chain; any other value lists nothing and shows the prompt to choose tasks.
//
// Check marks follow "ZRSelectionState" (1 one highlighted task, "ZRSelectedTaskInDataSelection";
// 2 the checked tasks, `taskIsSelected`; 3 all visible tasks; 0 nothing chosen yet). Clicks
// change them without undo steps and save through the delegate. Adding, deleting, dragging and
// merging go through the shared TaskTreeEditor, with its undo step names.
//
// Main thread only; the delegate, editor and loop must outlive the list.
class StatisticsTaskList {
public:
    StatisticsTaskList(ApplicationDelegate& delegate, TaskTreeEditor& editor, MainLoop& loop);

    // Refetches the rows from the preferences and the records; the change handler runs after.
    void reload();
    void setChangeHandler(std::function<void()> onChange) { onChange_ = std::move(onChange); }

    const std::vector<ZRCDTask*>& tasks() const { return tasks_; }
    std::size_t rowCount() const { return tasks_.size(); }
    ZRCDTask* taskAtRow(std::size_t row) const {
        return row < tasks_.size() ? tasks_[row] : nullptr;
    }
    bool showsChooseTasksPrompt() const { return showsPrompt_; }

    enum class Mark { unchecked, partlyChecked, checked };
    // The check mark of a row as drawn for the checked tasks: checked, or partly when a
    // descendant is. Rows beyond the list are unchecked.
    Mark markOfRow(std::size_t row) const;
    // The row of the highlighted task, in state 1.
    bool rowIsHighlighted(std::size_t row) const;

    // A click on a row's check mark, with the keyboard modifiers held
    // (TaskTreeEditor::ModifierKey). Ignored off the main thread and beyond the list.
    void toggleSelectionOfTaskAtRowIndex(std::size_t row, unsigned modifierKeys = 0);
    // Checks every listed task that has no listed child (all of them, written out as checks) and
    // makes the selection state 2; or unchecks every task.
    void selectAllTasks();
    void deselectAllTasks();

    // The tree editing of the list's rows, each ending in a reload.
    ZRCDTask* addTask();
    ZRCDTask* addSubtaskToRow(std::size_t row);
    bool deleteRow(std::size_t row, bool keepSubtasks);
    bool dropRowBetweenRows(std::size_t originRow, int droppedIntoRow);
    TaskTreeEditor::DropResult dropRowOnRow(std::size_t draggedRow, std::size_t targetRow,
                                            unsigned modifierKeys);

private:
    void finishClick();
    void checkRangeTo(ZRCDTask* clicked);

    ApplicationDelegate& delegate_;
    TaskTreeEditor& editor_;
    MainLoop& loop_;
    std::vector<ZRCDTask*> tasks_;
    bool showsPrompt_ = false;
    std::function<void()> onChange_;
};

}  // namespace ravelong

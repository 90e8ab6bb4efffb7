#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/model/TaskColor.h"
#include "core/tree/TaskTreeEditor.h"

namespace ravelong {

class MenuBarTaskList;
class ZRCDTask;

// The editing actions of a task list, by row: add, add subtask, rename, edit, archive, delete,
// and drag and drop. The changes themselves are TaskTreeEditor's (one named undo step each, then
// a save); this adds what the list needs around them: the search is cleared before a task is
// added, collapsed parents are expanded before a subtask is added, the rows to put into name
// editing, the question before a merge, and a reload of the list afterwards. Refused actions play
// "Funk" and change nothing. Questions go through AlertPresenter::current(). The list must
// outlive the editor. Main thread only.
class MenuBarTaskEditor {
public:
    explicit MenuBarTaskEditor(MenuBarTaskList& list);

    // "Add Task": the new task's row, to be put into name editing; -1 when nothing was added.
    int addTask();
    // "Add Subtask" under the row's task: the new subtask's row; -1 when refused.
    int addSubtaskToRow(int row);

    // "Rename Task": the name without white space at both ends; an empty name is refused.
    bool renameRow(int row, std::string_view name);

    // What the edit dialog shows and changes. Rounding codes: -1 inherit the parent's rule,
    // 0 none, type * 100 + minutes with type 0 (none, overriding the parent), 1 up, 2 nearest,
    // 3 down and minutes 1 to 99.
    struct TaskValues {
        std::string name;
        TaskColor color;
        std::string description;
        std::int16_t rounding = -1;

        bool operator==(const TaskValues&) const = default;
    };
    static TaskValues valuesOf(const ZRCDTask& task);
    static bool isValidRounding(int code);
    // "Edit Task": writes the values that differ, as one step. Refused for an empty name or an
    // invalid rounding code (nothing is changed then).
    bool editTask(ZRCDTask* task, const TaskValues& values);
    bool editRow(int row, const TaskValues& values);

    bool archiveRow(int row);
    bool unArchiveRow(int row);
    bool archiveSubtasksOfRow(int row);
    bool unArchiveSubtasksOfRow(int row);
    // With the question about archived subtasks first (TaskTreeEditor::deleteTaskAndSubtasks).
    bool deleteRow(int row);
    bool deleteRowKeepingSubtasks(int row);

    // What a drop of row `row` onto row `target` with the modifier keys
    // (TaskTreeEditor::ModifierKey) would do; the view shows it while dragging.
    enum class DropAction { refused, merge, makeChild, makeChildOfNewParent };
    DropAction dropActionOnRow(int row, int target, unsigned modifierKeys) const;
    // The row dropped onto `target`. A merge asks first; "Cancel" changes nothing (refused).
    TaskTreeEditor::DropResult dropRowOnRow(int row, int target, unsigned modifierKeys);
    // The row dropped in front of row `beforeRow` (rowCount() for the end): "Rearrange Task".
    bool dropRowBetweenRows(int row, int beforeRow);

    TaskTreeEditor& treeEditor() { return editor_; }

private:
    ZRCDTask* taskOrRefuse(int row) const;
    bool finish(bool changed);

    MenuBarTaskList& list_;
    TaskTreeEditor editor_;
};

}  // namespace ravelong

#pragma once

#include <vector>

namespace ravelong {

class ApplicationDelegate;
class ManagedObjectContext;
class ZRCDTask;
class ZRTimerControllerOSX;

// The editing actions of the task lists (menu bar and main window) on the task tree (ZRCDTask):
// adding, deleting, archiving, and the three outcomes of a drag and drop. Each action that
// changes something is one undo step named after it and ends with a save through the
// delegate's context; a refused action plays the alert sound "Funk" and changes nothing.
// Drawing, row selection and name editing stay with the lists.
//
// The delegate gives the store context and the alert sound; questions go through
// AlertPresenter::current(); running timings are stopped through the timer controller (without
// one, only the timing itself is stopped: no note panel). Both must outlive the editor. Main
// thread only.
class TaskTreeEditor {
public:
    TaskTreeEditor(ApplicationDelegate& delegate, ZRTimerControllerOSX* timerController);

    // "Add Task": a task "Untitled Task" at the top of the list, saved. The list clears its
    // search text first (MenuBarSearchUpdater::clearSearchTerm).
    ZRCDTask* addTask();

    // "Add Subtask": a task "Untitled Subtask" as the first child of `parent`. Refused for a
    // third-tier parent, one that has day aggregates, or one with a running timing. The subtask
    // is shown in the menu bar when no search text is active or the parent had no other
    // unarchived child.
    ZRCDTask* addChildTaskToTask(ZRCDTask* parent, bool searchTermActive);

    // Deletes the task and its subtasks ("Delete Task" / "Delete Tasks"). When any subtask is
    // archived (and so not shown), the user is asked first; "Cancel" keeps everything. Refused
    // without a task.
    bool deleteTaskAndSubtasks(ZRCDTask* task);
    // Deletes the task alone; its subtasks move up ("Delete Task"). Refused without a task.
    bool deleteTaskKeepingSubtasks(ZRCDTask* task);

    // "Archive Task": stops the running timings of the task and its descendants, then archives
    // them all.
    bool archive(ZRCDTask* task);
    // "Unarchive Task": unarchives the task, its descendants, its parent and grandparent.
    bool unArchive(ZRCDTask* task);
    // "Archive Subtasks": stops the running timings of the descendants, then archives them and
    // hides them in the menu bar; the task itself stays.
    bool archiveSubtasks(ZRCDTask* task);
    // "Unarchive Subtasks": unarchives the descendants and the task's parent.
    bool unArchiveSubtasks(ZRCDTask* task);

    // A task dropped between rows: "Rearrange Task" (task_tree_editing::rebuildTaskChainWithTask).
    bool dropTaskBetweenRows(ZRCDTask* task, int droppedIntoRow, int originRow,
                             const std::vector<ZRCDTask*>& tasksArray);

    // Keyboard modifiers held during a drop.
    enum ModifierKey : unsigned {
        kShiftKey = 1u << 0,
        kControlKey = 1u << 1,
        kOptionKey = 1u << 2,
        kCommandKey = 1u << 3,
    };
    enum class DropResult { refused, merged, madeChild, madeChildOfNewParent };
    // A task dropped onto another. With exactly one modifier key held: "Merge Tasks", the
    // target absorbs the dragged task (task_tree_editing::mergeWithTask). Without: "Rearrange
    // Task", the dragged task becomes a child of the target, or, when the target has no
    // subtasks but holds time, both become children of a new task in the target's place
    // (task_tree_editing::makeChildOfNewParentTaskWithSibling). Other combinations of keys, and
    // drops the tree rules forbid, are refused.
    DropResult dropTaskOnTask(ZRCDTask* dragged, ZRCDTask* target, unsigned modifierKeys);

private:
    ManagedObjectContext& context() const;
    void refuse() const;
    void save() const;
    // Stops the running timings of the tasks without saving.
    void stopRunningTimingsOf(const std::vector<ZRCDTask*>& tasks);

    ApplicationDelegate& delegate_;
    ZRTimerControllerOSX* timerController_;
};

}  // namespace ravelong

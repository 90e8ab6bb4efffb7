#pragma once

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// Repair of the menu-bar visibility flags of the tasks (ZRCDTask::isVisibleInMenuBar). In the
// menu-bar task list the subtasks of a task are shown or hidden together, and a subtask's flag
// records whether its group is shown; a top-level task is always shown. Returns whether it
// changed anything, saves nothing, and is meant to run with undo registration off (after the
// chain repair, whose sound chain it keeps). Main thread only.
namespace store_repairs {

// Makes the flags follow that rule, counting a change for every flag it sets:
// 1. every top-level task is shown;
// 2. when any child of a top-level task T is shown, all of T's children are; then each child's
//    own children are all shown when any of them is, else all hidden;
// 3. when no child of T is shown, all of T's grandchildren are hidden;
// 4. a grandchild with subtasks of its own (a fourth tier) hands them to its parent
//    (task_chain::convertDescendantsToSiblings), which also counts as a change.
bool fixMenuBarVisibilities_inContext(ManagedObjectContext& context);

// The number of the task's children whose isVisibleInMenuBar is set (whatever the search term).
int numberOfVisibleInMenuBarChildrenIgnoringSearchTerm(const ZRCDTask* task);

}  // namespace store_repairs
}  // namespace ravelong

#pragma once

namespace ravelong {

class ZRCDTask;

// One task absorbing another (ZRCDTask), the common part of merging two tasks in the task lists
// (task_tree_editing::mergeWithTask) and of combining two copies of one task that a merge of
// stores left behind (store_repairs::combineWithTask). Main thread (the context's thread) only.
namespace task_absorption {

enum class StopRunningTimings {
    always,                // merging: the time of both tasks is settled first
    whenEitherIsArchived,  // combining: an archived task must not keep a running timer
};

// The receiver absorbs `other`:
// 1. running timings of both are stopped now (always, or only when either task is archived and
//    either has one);
// 2. `other` leaves the chain; its descendants follow the receiver's (task_chain::
//    relinkForAbsorbing);
// 3. the name becomes the merged name (merged_task_name::mergedName), cut to the merged-name
//    width; a missing name on either side keeps the other one;
// 4. an archived receiver absorbing an unarchived task is unarchived with its ancestors;
// 5. the other's uuid and older identifiers become identifiers of the receiver (those it does
//    not know yet), the earlier createdDay and creation date are kept (a missing one does not
//    count), the other's origins are added, and every timing of the other moves to the receiver
//    (which moves its day aggregates);
// 6. the descriptions are merged (merged_task_name::mergedDescription);
// 7. the other's subtasks become the receiver's; when the receiver had subtasks, the moved ones
//    take the menu-bar and statistics visibility of its first one, so the group shows alike.
//    Should the receiver be a descendant of `other`, it first takes the other's place in the tree;
// 8. the other task (with any day aggregates left on it) is deleted and pending changes are
//    processed.
// No undo group and no save. Returns false, changing nothing, for a missing or deleted task,
// tasks of different contexts, or a task absorbing itself.
bool absorbTask(ZRCDTask* receiver, ZRCDTask* other, StopRunningTimings stopRunning);

}  // namespace task_absorption
}  // namespace ravelong

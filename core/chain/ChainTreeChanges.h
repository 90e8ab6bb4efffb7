#pragma once

#include <vector>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// Changes of the task tree (ZRCDTask parentTask / childTasks) that keep the display chain sound:
// each leaves the chain in depth-first order of the changed tree, and works from whatever order
// the chain is in now. Main thread (the context's thread) only.
namespace task_chain {

// Makes `task` a child of `parent` and moves it, with its descendants in their chain order,
// directly behind `parent`, ahead of the parent's other children; the rest of the chain keeps
// its order. The task takes the menu-bar and statistics visibility of one of the parent's other
// children (the first in chain order), or has both off when there is none. No undo group and no
// save: the caller's action provides them.
//
// Refused (false, nothing changed) for a missing task or parent, the task itself or one of its
// descendants as parent (that would make the tree a loop), tasks of different contexts or
// deleted ones, and when the task's descendant tiers plus the parent's ancestor tiers exceed 1
// (the tree keeps at most three tiers).
bool makeChildOfTask(ZRCDTask* task, ZRCDTask* parent);

// Deletes the task and all its descendants, with their timings and day aggregates, as one undo
// step "Delete Task" (or "Delete Tasks" when there are descendants); the chain closes the gap.
// Saves through the context's delegate (a failed save is logged; the application reports it).
// Returns false and changes nothing for a missing or deleted task.
bool removeCoreDataTaskAndDescendants(ZRCDTask* task);

// Deletes the task alone, with its own timings and day aggregates, as one undo step "Delete
// Task"; its children move up to its parent (or to the top level), keep their place in the
// chain, and have each visibility flag switched on that was on for the deleted task. Saves like
// removeCoreDataTaskAndDescendants. Returns false and changes nothing for a missing or deleted
// task.
bool removeCoreDataTaskAndKeepDescendants(ZRCDTask* task);

// Hands all descendants of the task to the task's own parent (makeChildOfTask, deepest first,
// so that they keep their relative chain order), each taking the task's isVisibleInDataSelection
// and isVisibleInMenuBar. Used on a third-tier task with subtasks, a fourth tier the tree does
// not allow. Returns whether anything moved; a task without parent or descendants moves nothing.
bool convertDescendantsToSiblings(ZRCDTask* task);

// The chain change of one task absorbing another (merging two tasks): `other` leaves the chain,
// and its descendants (except the receiver and the receiver's own, should the receiver be one of
// them) move, in their chain order, behind the receiver's last descendant. Call it before the
// tree is changed; the caller then gives the descendants their new parent. Nothing happens for
// a missing task, a task of another context, or the same task twice.
void relinkForAbsorbing(ZRCDTask* receiver, ZRCDTask* other);

}  // namespace task_chain
}  // namespace ravelong

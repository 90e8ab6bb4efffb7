#pragma once

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// Repair of tasks (ZRCDTask) that share a uuid, as restoring or importing the same data twice,
// or a merge of stores, can leave them. Returns whether it changed anything, saves nothing, and
// is meant to run with undo registration off. Main thread only.
namespace store_repairs {

// Resolves one pair of tasks with equal uuid at a time (A before B in fetch order), on a fresh
// fetch each time, until no uuid occurs twice: when their createdDay differs, or both have a
// creation date and the dates differ, they are different tasks and B gets a fresh uuid;
// otherwise they are one task that reached the store twice and A absorbs B (combineWithTask).
// Tasks without uuid are not compared.
bool fixDuplicateTaskIDs_inContext(ManagedObjectContext& context);
// The same, returning true also when `changedSoFar` is set.
bool fixDuplicateTaskIDs(bool changedSoFar, ManagedObjectContext& context);

// The receiver absorbs `other` (task_absorption::absorbTask): running timings are stopped only
// when either task is archived, nothing of `other` is lost (its timings, subtasks, origins,
// identifiers, name and description go to the receiver), and `other` is deleted. Returns false,
// changing nothing, for a missing or deleted task, tasks of different contexts, or the same task.
bool combineWithTask(ZRCDTask* receiver, ZRCDTask* other);

}  // namespace store_repairs
}  // namespace ravelong

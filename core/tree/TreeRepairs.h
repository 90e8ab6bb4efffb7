#pragma once

namespace ravelong {

class ManagedObjectContext;

// Repair of the rules of the task tree (ZRCDTask) and of fields that old or damaged data can
// lack, over all tasks and then all timings (ZRCDTiming). Returns whether it changed anything,
// saves nothing, and is meant to run with undo registration off. Main thread only.
namespace task_tree_repairs {

// 1. A task without name is named "Recovered Task"; one without uuid gets a fresh one.
// 2. A missing createdDay is taken from the creation date, else from the day of the earliest
//    timing's first day aggregate, else today; a missing creation date becomes noon of
//    createdDay.
// 3. A task without colour gets a random one.
// 4. An archived task with an unarchived descendant is unarchived.
// 5. A task with subtasks that still holds timings gets a new subtask (first among its
//    subtasks) with its name, createdDay, creation date, description, archived state, origins
//    and rounding and a fresh uuid, and all its timings move there. A third-tier task is left
//    as it is: its subtasks are a fourth tier, which the chain repair lifts to its side, leaving
//    it a task that may hold time.
// 6. A task or a timing without origin gets the origin of type 0 of this device and user.
bool fixParentTaskTimingsAndArchive_inContext(ManagedObjectContext& context);

}  // namespace task_tree_repairs
}  // namespace ravelong

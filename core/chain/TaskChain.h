#pragma once

#include <vector>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// The display chain of the tasks (ZRCDTask::prevTask / nextTask): the one order in which every
// list shows tasks. A sound chain has exactly one head (no prevTask) and one tail (no nextTask),
// mutual links, and is the depth-first order of the task tree: each task is followed at once by
// all its descendants. Merges from other computers can break it; the look-ups below then run
// the repair (ChainRepair.h) and ask again, so they always end and never drop a task.
//
// The position of a task is ZRCDTask::viewPosition(). Main thread (the context's thread) only.
namespace task_chain {

// Steps along prevTask from `task` back to `firstTask`: 0 for the task itself, -1 when
// `firstTask` is not met within (number of tasks + 1) steps.
int getViewPositionWithFirstTask(const ZRCDTask* task, const ZRCDTask* firstTask);

// The task reached by following nextTask to the end. On a damaged chain that loops, the last
// task before the walk would repeat one.
ZRCDTask* getLastTask(ZRCDTask* task);

// The first task after `task` in the chain that is not one of its descendants (nullptr at the
// end of the chain).
ZRCDTask* getNextTaskSkippingDescendants(ZRCDTask* task);

// From the array's first element, follows prevTask while the previous task is in the array and
// returns the earliest one reached (getLastTaskOfChain: from the last element along nextTask).
// nullptr for an empty array.
ZRCDTask* getFirstTaskOfChain(const std::vector<ZRCDTask*>& tasks);
ZRCDTask* getLastTaskOfChain(const std::vector<ZRCDTask*>& tasks);

// Links chains (each an array of tasks in chain order) one after the other in the given order:
// each chain's first task gets the last task of the chain before as prevTask; the first chain's
// first task gets none. splitChains undoes that: each chain's first task loses its prevTask and
// its last task its nextTask. Empty chains are skipped.
void joinChains(const std::vector<std::vector<ZRCDTask*>>& chains);
void splitChains(const std::vector<std::vector<ZRCDTask*>>& chains);

// The tasks in chain order (each once; duplicates in the input are dropped). Fewer than two
// tasks come back unchanged. When the walk meets a task twice (a cycle), or cannot reach every
// task from the first one (the chain fell apart into several), the chain is repaired (with undo
// registration off) and the sort starts again. A task that is not in the chain at all (deleted,
// of another context) is kept, after the others.
std::vector<ZRCDTask*> sortArrayOfTasksByViewPosition(const std::vector<ZRCDTask*>& tasks,
                                                      ManagedObjectContext& context);
// The same for the members of a relationship or any unordered collection.
std::vector<ZRCDTask*> sortSetOfTasksByViewPosition(const std::vector<ZRCDTask*>& tasks,
                                                    ManagedObjectContext& context);

// The task without prevTask (getBottomTask_inContext: without nextTask). When there is not
// exactly one while tasks exist, the chain is repaired (undo registration off) and the question
// asked again. nullptr only when the context holds no task.
ZRCDTask* getTopTask_inContext(ManagedObjectContext& context);
ZRCDTask* getBottomTask_inContext(ManagedObjectContext& context);

}  // namespace task_chain
}  // namespace ravelong

#pragma once

#include <vector>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// The repair of the display chain of the tasks (ZRCDTask prevTask / nextTask) and of the tree
// rules it depends on, after merges from other computers, restores and imports; and the
// depth-first rebuild it falls back on. See TaskChain.h for what a sound chain is.
//
// Nothing here saves or opens an undo group: callers run the repair with undo registration off
// (a bulk change) and save when it reports a change. Main thread (the context's thread) only.
namespace task_chain {

// Repairs the tree rules and the chain so that the chain is sound; returns whether anything
// was changed. A sound chain is left untouched. No task is ever removed.
//
// Each round: a task that is its own ancestor loses its parent; a fourth tier is lifted
// (convertDescendantsToSiblings of the third-tier task, keeping the chain positions); links to
// deleted tasks are cleared and one-sided links made mutual; cycles are cut where the cut
// leaves the fewest tasks before their ancestors (breakCircleOfChain); then one chain in the
// wrong order is rebuilt depth first in its current order, two chains are spliced (a chain of
// one task's descendants goes behind that task) or joined with the later mean creation date
// first, three or four chains are joined in the order that scores best on condition2Metric and
// condition3MetricWithAllTasks, and more chains are joined and rebuilt by creation date, newest
// first. A round that changed something is followed by another; after five rounds the chain is
// rebuilt depth first in its current order, which always ends sound.
bool fixTaskChain_inContext(ManagedObjectContext& context);
// The same, counting rounds from `numberOfRecursions` (0 for a full repair).
bool fixTaskChainNumberOfRecursions(int numberOfRecursions, ManagedObjectContext& context);

// Relinks all tasks in depth-first order of the tree: each top-level task, followed by each of
// its children, each child followed by its own children. Siblings keep their current chain
// order (usingDate false; read so that even a damaged chain gives an order without repairing
// it first), or are ordered by creation date, newest first (usingDate true; tasks without date
// last, equal dates in chain order). Links are written only where they differ. `allTasks` is
// every task of the context; a task the tree walk cannot reach (on a parent cycle) is placed
// after the others rather than dropped. Returns whether anything was written.
bool rebuildTasksUsingDate(bool usingDate, const std::vector<ZRCDTask*>& allTasks,
                           ManagedObjectContext& context);

// Quality measures of a chain; a sound chain scores 0 on both metrics.
//
// checkCondition1: the task is a subtask (it has a parent).
bool checkCondition1(const ZRCDTask* task);
// From `firstTask` forward: how many top-level tasks are followed directly by a sub-subtask.
int condition2Metric(const ZRCDTask* firstTask);
// For every task with children: 1 when its descendants do not stand in one unbroken run, and
// 1 when that run does not start directly after the task.
int condition3MetricWithAllTasks(const std::vector<ZRCDTask*>& allTasks);

// Cuts a cycle of tasks (given in chain order; each task's nextTask is the following one and
// the last task's is the first). The cut goes into the task that, made the head, leaves the
// fewest tasks of the cycle before one of their ancestors; on a tie a top-level task is
// preferred, then the earliest in the array. Returns the task that became a head (nullptr for
// an empty array).
ZRCDTask* breakCircleOfChain(const std::vector<ZRCDTask*>& cycle);

}  // namespace task_chain
}  // namespace ravelong

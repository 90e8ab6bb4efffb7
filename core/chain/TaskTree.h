#pragma once

#include <vector>

namespace ravelong {

class ZRCDTask;

// Read-only questions about the task tree (parentTask / childTasks of ZRCDTask).
//
// A merge of stores can leave the tree damaged (a task that is its own ancestor, a fourth tier),
// so every walk here is bounded and never loops; the chain repair relies on that. Main thread
// (the context's thread) only.
namespace task_tree {

// 0 for a top-level task, 1 for a subtask, 2 for a sub-subtask (more only in damaged data). A
// task on a parent cycle counts the steps until the walk would repeat a task.
int numberOfAncestorTiers(const ZRCDTask* task);

// How many levels of subtasks hang below the task: 0 without children, 1 with children only,
// 2 with grandchildren.
int numberOfDescendantTiers(const ZRCDTask* task);

// Every descendant, children first, then grandchildren and so on (each once).
std::vector<ZRCDTask*> descendants(const ZRCDTask* task);

// True when `ancestor` is the task's parent, grandparent, and so on up the tree.
bool isDescendantOf(const ZRCDTask* task, const ZRCDTask* ancestor);

// The grandparent when there is one, else the parent, else the task itself.
ZRCDTask* getRootTask(ZRCDTask* task);

// True when following parentTask from the task comes back to it.
bool isOnParentCycle(const ZRCDTask* task);

}  // namespace task_tree
}  // namespace ravelong

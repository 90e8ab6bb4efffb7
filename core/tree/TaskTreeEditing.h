#pragma once

#include <vector>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// The changes of the task tree (ZRCDTask) behind dragging and dropping in the task lists, and
// merging two tasks. They open no undo group and do not save: TaskTreeEditor does that around
// them. Main thread (the context's thread) only.
namespace task_tree_editing {

// Moves a task, with its descendants, to a drop position between two rows of a task list.
// `tasksArray` holds the rows as the list shows them (chain order, some tasks possibly hidden);
// the drop goes in front of row `droppedIntoRow` (== tasksArray.size() for the end). The task
// goes in front of the first row at or after the drop that is not itself or one of its
// descendants (at the end of the chain when there is none). Its new parent: its current parent
// when the drop lies within or at the end of its current group, else the parent of the row
// below the drop (top level at the end of the list), lifted up the tree as far as needed to keep
// three tiers. It takes the menu-bar and statistics visibility of its first new sibling, and
// the chain is repaired afterwards. `originRow` is the row it was dragged from (-1 when
// unknown): a drop right there changes nothing. Returns whether anything changed; false also
// for a task that is not in `tasksArray` or a row out of range.
bool rebuildTaskChainWithTask(ZRCDTask* task, int droppedIntoRow, int originRow,
                              const std::vector<ZRCDTask*>& tasksArray,
                              ManagedObjectContext& context);

// Whether `dragged` may become a child of `target` by a drop: neither is missing, the target is
// not the dragged task, one of its descendants or already its parent, and the tree keeps three
// tiers.
bool canMakeChildOnDrop(const ZRCDTask* dragged, const ZRCDTask* target);

// Whether `target` can absorb `dragged`: two different live tasks of one context, neither an
// ancestor of the other, the result keeps three tiers, and no task would end up with both
// subtasks and timings of its own.
bool canMerge(const ZRCDTask* target, const ZRCDTask* dragged);

// `task` and `sibling` become the children of a new task "Untitled Task" that takes the
// sibling's place in the tree and the chain: fresh uuid, created today, a random colour, the
// sibling's visibility flags, not selected, archived only when both tasks are, with the origin
// of type 0 of this device and user. Used when the sibling holds time and so cannot become a
// parent. Returns the new task, or nullptr (nothing changed) when the two cannot be placed so.
ZRCDTask* makeChildOfNewParentTaskWithSibling(ZRCDTask* task, ZRCDTask* sibling);

// The receiver absorbs `other` (task_absorption::absorbTask), with the running timings of both
// stopped first. Returns false (nothing changed) when canMerge says no.
bool mergeWithTask(ZRCDTask* receiver, ZRCDTask* other);

}  // namespace task_tree_editing
}  // namespace ravelong

#pragma once

#include <vector>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// The check marks of the statistics task list (`taskIsSelected`) and the rule they keep: a
// checked task never sits under a checked ancestor (the ancestor shows as partly selected).
// Changes are plain setter calls: the caller decides about undo registration and saving. Main
// thread only.
namespace task_selection {

// Children and grandchildren (the tree has three tiers), children first.
std::vector<ZRCDTask*> descendantsOf(const ZRCDTask& task);
bool hasASelectedDescendantTask(const ZRCDTask& task);
// Unchecks every task of the context.
void deselectAllTasks_inContext(ManagedObjectContext& context);
// Unchecks the ancestors of every checked task, so the rule above holds again. Returns the number
// of tasks unchecked.
int fixTaskIsSelectedStates_inContext(ManagedObjectContext& context);
// Of the tasks a list shows, checks each that has no child among them and unchecks the others:
// "all visible tasks" written out as explicit checks.
void selectAllVisibleInDataSelectionTasksThatDontHaveAVisibleChild(
    const std::vector<ZRCDTask*>& listedTasks);

}  // namespace task_selection
}  // namespace ravelong

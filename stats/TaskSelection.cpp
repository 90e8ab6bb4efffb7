#include "stats/TaskSelection.h"

#include <unordered_set>

#include "core/model/ZRCDTask.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::task_selection {

std::vector<ZRCDTask*> descendantsOf(const ZRCDTask& task) {
    std::vector<ZRCDTask*> result;
    for (ZRCDTask* child : task.childTasks())
        result.push_back(child);
    const std::size_t children = result.size();
    for (std::size_t i = 0; i < children; ++i)
        for (ZRCDTask* grandchild : result[i]->childTasks())
            result.push_back(grandchild);
    return result;
}

bool hasASelectedDescendantTask(const ZRCDTask& task) {
    for (ZRCDTask* child : task.childTasks()) {
        if (child->taskIsSelected())
            return true;
        for (ZRCDTask* grandchild : child->childTasks())
            if (grandchild->taskIsSelected())
                return true;
    }
    return false;
}

void deselectAllTasks_inContext(ManagedObjectContext& context) {
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>())
        if (task->taskIsSelected())
            task->setTaskIsSelected(false);
}

int fixTaskIsSelectedStates_inContext(ManagedObjectContext& context) {
    int unchecked = 0;
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
        if (!task->taskIsSelected())
            continue;
        for (ZRCDTask* ancestor = task->parentTask(); ancestor; ancestor = ancestor->parentTask()) {
            if (ancestor == task)
                break;  // a damaged tree that loops
            if (ancestor->taskIsSelected()) {
                ancestor->setTaskIsSelected(false);
                ++unchecked;
            }
        }
    }
    return unchecked;
}

void selectAllVisibleInDataSelectionTasksThatDontHaveAVisibleChild(
    const std::vector<ZRCDTask*>& listedTasks) {
    const std::unordered_set<const ZRCDTask*> listed(listedTasks.begin(), listedTasks.end());
    for (ZRCDTask* task : listedTasks) {
        bool visibleChild = false;
        for (ZRCDTask* child : task->childTasks())
            visibleChild = visibleChild || listed.contains(child);
        if (task->taskIsSelected() != !visibleChild)
            task->setTaskIsSelected(!visibleChild);
    }
}

}  // namespace ravelong::task_selection

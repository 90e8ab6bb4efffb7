#include "core/tree/TaskTreeEditing.h"

#include <algorithm>
#include <unordered_set>

#include "core/chain/ChainLinks.h"
#include "core/chain/ChainRepair.h"
#include "core/chain/ChainTreeChanges.h"
#include "core/chain/TaskTree.h"
#include "core/model/ZRCDTask.h"
#include "core/tree/TaskAbsorption.h"
#include "core/tree/TreeTexts.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::task_tree_editing {

namespace {

bool isLive(const ZRCDTask* task) {
    return task && !task->isDeleted() && task->managedObjectContext();
}

bool sameContext(const ZRCDTask* a, const ZRCDTask* b) {
    return a->managedObjectContext() == b->managedObjectContext();
}

bool holdsTime(const ZRCDTask* task) {
    return !task->timings().empty() || !task->timingSets().empty();
}

// The parent a task dropped between `above` and `below` takes: its own while the drop touches its
// current group (so reordering within a group keeps it there, also at the group's end), else the
// parent of the row below.
ZRCDTask* parentForDrop(const ZRCDTask* task, const ZRCDTask* above, const ZRCDTask* below) {
    if (ZRCDTask* current = task->parentTask()) {
        const bool touchesGroup =
            (below && task_tree::isDescendantOf(below, current)) ||
            (above && (above == current || task_tree::isDescendantOf(above, current)));
        if (touchesGroup)
            return current;
    }
    return below ? below->parentTask() : nullptr;
}

}  // namespace

bool rebuildTaskChainWithTask(ZRCDTask* task, int droppedIntoRow, int originRow,
                              const std::vector<ZRCDTask*>& tasksArray,
                              ManagedObjectContext& context) {
    if (!isLive(task) || task->managedObjectContext() != &context || droppedIntoRow < 0 ||
        static_cast<std::size_t>(droppedIntoRow) > tasksArray.size() ||
        std::find(tasksArray.begin(), tasksArray.end(), task) == tasksArray.end()) {
        return false;
    }
    if (originRow >= 0 && static_cast<std::size_t>(originRow) < tasksArray.size() &&
        tasksArray[static_cast<std::size_t>(originRow)] == task &&
        (droppedIntoRow == originRow || droppedIntoRow == originRow + 1)) {
        return false;
    }

    std::unordered_set<const ZRCDTask*> block{task};
    for (ZRCDTask* d : task_tree::descendants(task))
        block.insert(d);
    ZRCDTask* above = nullptr;
    for (int i = droppedIntoRow - 1; i >= 0 && !above; --i) {
        if (!block.contains(tasksArray[static_cast<std::size_t>(i)]))
            above = tasksArray[static_cast<std::size_t>(i)];
    }
    ZRCDTask* below = nullptr;
    for (std::size_t i = static_cast<std::size_t>(droppedIntoRow); i < tasksArray.size() && !below;
         ++i) {
        if (!block.contains(tasksArray[i]))
            below = tasksArray[i];
    }

    ZRCDTask* parent = parentForDrop(task, above, below);
    const int ownTiers = task_tree::numberOfDescendantTiers(task);
    while (parent && ownTiers + task_tree::numberOfAncestorTiers(parent) > 1)
        parent = parent->parentTask();

    bool changed = false;
    if (task->parentTask() != parent) {
        task->setParentTask(parent);
        changed = true;
    }

    // The chain: the task's block goes in front of the row below the drop.
    const std::vector<ZRCDTask*> order = chain_links::currentChainOrder(context);
    std::vector<ZRCDTask*> moved;
    std::vector<ZRCDTask*> rearranged;
    for (ZRCDTask* t : order)
        (block.contains(t) ? moved : rearranged).push_back(t);
    auto at = below ? std::find(rearranged.begin(), rearranged.end(), below) : rearranged.end();
    rearranged.insert(at, moved.begin(), moved.end());
    changed |= chain_links::applyChainOrder(rearranged);

    // Visibility of the new group.
    const auto positions = chain_links::positionsOf(rearranged);
    const ZRCDTask* model = nullptr;
    if (parent) {
        for (const ZRCDTask* sibling : parent->childTasks()) {
            if (sibling != task && (!model || positions.at(sibling) < positions.at(model)))
                model = sibling;
        }
    }
    if (model && task->isVisibleInMenuBar() != model->isVisibleInMenuBar()) {
        task->setIsVisibleInMenuBar(model->isVisibleInMenuBar());
        changed = true;
    }
    if (model && task->isVisibleInDataSelection() != model->isVisibleInDataSelection()) {
        task->setIsVisibleInDataSelection(model->isVisibleInDataSelection());
        changed = true;
    }
    changed |= task_chain::fixTaskChain_inContext(context);
    return changed;
}

bool canMakeChildOnDrop(const ZRCDTask* dragged, const ZRCDTask* target) {
    if (!isLive(dragged) || !isLive(target) || dragged == target || !sameContext(dragged, target) ||
        dragged->parentTask() == target || task_tree::isDescendantOf(target, dragged)) {
        return false;
    }
    return task_tree::numberOfDescendantTiers(dragged) + 1 +
               task_tree::numberOfAncestorTiers(target) <
           3;
}

bool canMerge(const ZRCDTask* target, const ZRCDTask* dragged) {
    if (!isLive(target) || !isLive(dragged) || target == dragged || !sameContext(target, dragged))
        return false;
    const bool subtasks = !target->childTasks().empty() || !dragged->childTasks().empty();
    const bool time = holdsTime(target) || holdsTime(dragged);
    if (subtasks && time)
        return false;
    const int ancestors = task_tree::isDescendantOf(target, dragged)
                              ? task_tree::numberOfAncestorTiers(dragged)
                              : task_tree::numberOfAncestorTiers(target);
    const int below = std::max(task_tree::numberOfDescendantTiers(target),
                               task_tree::numberOfDescendantTiers(dragged));
    return ancestors + below <= 2;
}

ZRCDTask* makeChildOfNewParentTaskWithSibling(ZRCDTask* task, ZRCDTask* sibling) {
    if (!isLive(task) || !isLive(sibling) || task == sibling || !sameContext(task, sibling) ||
        task_tree::isDescendantOf(sibling, task)) {
        return nullptr;
    }
    const int ancestors = task_tree::numberOfAncestorTiers(sibling);
    if (ancestors + 1 + task_tree::numberOfDescendantTiers(task) > 2 ||
        ancestors + 1 + task_tree::numberOfDescendantTiers(sibling) > 2) {
        return nullptr;
    }
    ManagedObjectContext& context = *task->managedObjectContext();
    ZRCDTask* parent =
        ZRCDTask::createCoreDataTaskWithName(std::string(kUntitledTask), false, context);
    parent->setIsVisibleInMenuBar(sibling->isVisibleInMenuBar());
    parent->setIsVisibleInDataSelection(sibling->isVisibleInDataSelection());
    parent->setTaskIsSelected(false);
    parent->setIsArchived(sibling->isArchived() && task->isArchived());
    if (sibling->parentTask())
        parent->setParentTask(sibling->parentTask());

    std::vector<ZRCDTask*> order = chain_links::currentChainOrder(context);
    order.erase(std::find(order.begin(), order.end(), parent));
    order.insert(std::find(order.begin(), order.end(), sibling), parent);
    chain_links::applyChainOrder(order);

    task_chain::makeChildOfTask(task, parent);
    task_chain::makeChildOfTask(sibling, parent);
    return parent;
}

bool mergeWithTask(ZRCDTask* receiver, ZRCDTask* other) {
    if (!canMerge(receiver, other))
        return false;
    return task_absorption::absorbTask(receiver, other,
                                       task_absorption::StopRunningTimings::always);
}

}  // namespace ravelong::task_tree_editing

#include "core/chain/ChainTreeChanges.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/chain/ChainLinks.h"
#include "core/chain/ChainTexts.h"
#include "core/chain/NamedUndoGroup.h"
#include "core/chain/TaskTree.h"
#include "core/model/ContextSaving.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::task_chain {

namespace {

bool isLive(const ZRCDTask* task) {
    return task && !task->isDeleted() && task->managedObjectContext();
}

// Closes the chain over the tasks that are about to be deleted: each remaining task is linked to
// the next remaining one, in the current order.
void relinkWithout(const std::unordered_set<const ZRCDTask*>& leaving,
                   const ManagedObjectContext& context) {
    const std::vector<ZRCDTask*> order = chain_links::currentChainOrder(context);
    std::unordered_map<const ZRCDTask*, ZRCDTask*> desiredNext;
    ZRCDTask* previous = nullptr;
    for (ZRCDTask* t : order) {
        if (leaving.contains(t))
            continue;
        if (previous)
            desiredNext[previous] = t;
        previous = t;
    }
    chain_links::applyNextLinks(order, desiredNext);
}

// A task leaves with its timings and day aggregates: they belong to it alone.
void deleteTaskWithItsTime(ZRCDTask* task, ManagedObjectContext& context) {
    for (ZRCDTiming* timing : task->timings().toVector())
        context.deleteObject(timing);
    for (ZRCDTimingSet* set : task->timingSets().toVector())
        context.deleteObject(set);
    context.deleteObject(task);
}

}  // namespace

bool makeChildOfTask(ZRCDTask* task, ZRCDTask* parent) {
    if (!isLive(task) || !isLive(parent) || task == parent ||
        task->managedObjectContext() != parent->managedObjectContext() ||
        task_tree::isDescendantOf(parent, task)) {
        return false;
    }
    if (task_tree::numberOfDescendantTiers(task) + task_tree::numberOfAncestorTiers(parent) > 1)
        return false;
    ManagedObjectContext& context = *task->managedObjectContext();

    const std::vector<ZRCDTask*> order = chain_links::currentChainOrder(context);
    const auto positions = chain_links::positionsOf(order);

    ZRCDTask* sibling = nullptr;
    for (ZRCDTask* child : parent->childTasks()) {
        if (child != task && (!sibling || positions.at(child) < positions.at(sibling)))
            sibling = child;
    }
    const bool inMenuBar = sibling && sibling->isVisibleInMenuBar();
    const bool inDataSelection = sibling && sibling->isVisibleInDataSelection();
    if (task->isVisibleInMenuBar() != inMenuBar)
        task->setIsVisibleInMenuBar(inMenuBar);
    if (task->isVisibleInDataSelection() != inDataSelection)
        task->setIsVisibleInDataSelection(inDataSelection);
    if (task->parentTask() != parent)
        task->setParentTask(parent);

    std::unordered_set<const ZRCDTask*> moving{task};
    for (ZRCDTask* d : task_tree::descendants(task))
        moving.insert(d);
    std::vector<ZRCDTask*> block;
    std::vector<ZRCDTask*> rest;
    for (ZRCDTask* t : order)
        (moving.contains(t) ? block : rest).push_back(t);
    std::vector<ZRCDTask*> rewritten;
    rewritten.reserve(order.size());
    for (ZRCDTask* t : rest) {
        rewritten.push_back(t);
        if (t == parent)
            rewritten.insert(rewritten.end(), block.begin(), block.end());
    }
    chain_links::applyChainOrder(rewritten);
    return true;
}

bool removeCoreDataTaskAndDescendants(ZRCDTask* task) {
    if (!isLive(task))
        return false;
    ManagedObjectContext& context = *task->managedObjectContext();
    const std::vector<ZRCDTask*> descendants = task_tree::descendants(task);
    {
        NamedUndoGroup undo(context, descendants.empty() ? kUndoDeleteTask : kUndoDeleteTasks);
        std::unordered_set<const ZRCDTask*> leaving(descendants.begin(), descendants.end());
        leaving.insert(task);
        relinkWithout(leaving, context);
        for (auto it = descendants.rbegin(); it != descendants.rend(); ++it)
            deleteTaskWithItsTime(*it, context);
        deleteTaskWithItsTime(task, context);
    }
    saveThroughDelegateLoggingFailure(context, "removeCoreDataTaskAndDescendants");
    return true;
}

bool removeCoreDataTaskAndKeepDescendants(ZRCDTask* task) {
    if (!isLive(task))
        return false;
    ManagedObjectContext& context = *task->managedObjectContext();
    {
        NamedUndoGroup undo(context, kUndoDeleteTask);
        relinkWithout({task}, context);
        ZRCDTask* parent = task->parentTask();
        for (ZRCDTask* child : task->childTasks().toVector()) {
            child->setParentTask(parent);
            if (task->isVisibleInMenuBar() && !child->isVisibleInMenuBar())
                child->setIsVisibleInMenuBar(true);
            if (task->isVisibleInDataSelection() && !child->isVisibleInDataSelection())
                child->setIsVisibleInDataSelection(true);
        }
        deleteTaskWithItsTime(task, context);
    }
    saveThroughDelegateLoggingFailure(context, "removeCoreDataTaskAndKeepDescendants");
    return true;
}

void relinkForAbsorbing(ZRCDTask* receiver, ZRCDTask* other) {
    if (!isLive(receiver) || !isLive(other) || receiver == other ||
        receiver->managedObjectContext() != other->managedObjectContext()) {
        return;
    }
    std::unordered_set<const ZRCDTask*> receiverBlock{receiver};
    for (ZRCDTask* d : task_tree::descendants(receiver))
        receiverBlock.insert(d);
    std::unordered_set<const ZRCDTask*> moving;
    for (ZRCDTask* d : task_tree::descendants(other)) {
        if (!receiverBlock.contains(d))
            moving.insert(d);
    }

    const std::vector<ZRCDTask*> order =
        chain_links::currentChainOrder(*receiver->managedObjectContext());
    std::vector<ZRCDTask*> moved;
    std::vector<ZRCDTask*> rest;
    for (ZRCDTask* t : order) {
        if (t == other)
            continue;
        (moving.contains(t) ? moved : rest).push_back(t);
    }
    // Behind the last task of the receiver's block, wherever the chain has it.
    std::size_t insertAt = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (receiverBlock.contains(rest[i]))
            insertAt = i + 1;
    }
    rest.insert(rest.begin() + static_cast<std::ptrdiff_t>(insertAt), moved.begin(), moved.end());
    std::unordered_map<const ZRCDTask*, ZRCDTask*> desiredNext;
    for (std::size_t i = 0; i + 1 < rest.size(); ++i)
        desiredNext.emplace(rest[i], rest[i + 1]);
    chain_links::applyNextLinks(order, desiredNext);
}

bool convertDescendantsToSiblings(ZRCDTask* task) {
    if (!isLive(task) || !task->parentTask() || task->childTasks().empty())
        return false;
    ZRCDTask* newParent = task->parentTask();
    const bool inDataSelection = task->isVisibleInDataSelection();
    const bool inMenuBar = task->isVisibleInMenuBar();

    // Last in the chain first: a descendant has no subtasks of its own left when its turn comes,
    // and each one moved goes in front of those moved before it, so their order is kept.
    const auto positions =
        chain_links::positionsOf(chain_links::currentChainOrder(*task->managedObjectContext()));
    std::vector<ZRCDTask*> waiting = task_tree::descendants(task);
    std::sort(waiting.begin(), waiting.end(), [&](const ZRCDTask* a, const ZRCDTask* b) {
        return positions.at(a) > positions.at(b);
    });
    bool moved = false;
    // A damaged chain may list a subtask ahead of its own subtasks; it is tried again once they
    // have gone.
    while (!waiting.empty()) {
        std::vector<ZRCDTask*> refused;
        for (ZRCDTask* d : waiting) {
            if (!makeChildOfTask(d, newParent)) {
                refused.push_back(d);
                continue;
            }
            moved = true;
            if (d->isVisibleInDataSelection() != inDataSelection)
                d->setIsVisibleInDataSelection(inDataSelection);
            if (d->isVisibleInMenuBar() != inMenuBar)
                d->setIsVisibleInMenuBar(inMenuBar);
        }
        if (refused.size() == waiting.size())
            break;
        waiting = std::move(refused);
    }
    return moved;
}

}  // namespace ravelong::task_chain

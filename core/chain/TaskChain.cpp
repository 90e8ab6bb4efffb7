#include "core/chain/TaskChain.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/chain/ChainRepair.h"
#include "core/chain/TaskTree.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDTask.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::task_chain {

namespace {

std::size_t numberOfTasks(const ZRCDTask* task) {
    const ManagedObjectContext* context = task ? task->managedObjectContext() : nullptr;
    return context ? context->registeredObjects(ZRCDTask::entityDescription()).size() : 0;
}

bool isLiveIn(const ZRCDTask* task, const ManagedObjectContext& context) {
    return task && !task->isDeleted() && task->managedObjectContext() == &context;
}

// A repair that a look-up runs on its own is a bulk change, not a step the user could undo.
void repairQuietly(ManagedObjectContext& context) {
    ScopedUndoRegistrationOff undoOff(context);
    fixTaskChain_inContext(context);
}

struct CollectedWalk {
    std::vector<ZRCDTask*> ordered;  // the members met, in chain order, each once
    bool complete = false;           // every member met, no task met twice
};

// Walks the whole chain forward and backward from the first member, picking up the members.
CollectedWalk collectMembersAlongChain(const std::vector<ZRCDTask*>& tasks,
                                       const ManagedObjectContext& context) {
    CollectedWalk walk;
    std::unordered_map<const ZRCDTask*, bool> met;  // member -> met on the walk
    met.reserve(tasks.size() * 2);
    ZRCDTask* start = nullptr;
    for (ZRCDTask* t : tasks) {
        if (!isLiveIn(t, context))
            continue;
        met.emplace(t, false);
        if (!start)
            start = t;
    }
    if (!start)
        return walk;

    const std::size_t limit = context.registeredObjects(ZRCDTask::entityDescription()).size() + 1;
    bool broken = false;
    auto visit = [&](ZRCDTask* t, std::vector<ZRCDTask*>& into) {
        auto it = met.find(t);
        if (it == met.end())
            return;
        if (it->second) {
            broken = true;
            return;
        }
        it->second = true;
        into.push_back(t);
    };

    std::vector<ZRCDTask*> before;
    std::vector<ZRCDTask*> after;
    std::size_t steps = 0;
    for (ZRCDTask* t = start; t && !broken; t = t->nextTask()) {
        if (++steps > limit) {
            broken = true;
            break;
        }
        visit(t, after);
    }
    steps = 0;
    for (ZRCDTask* t = start->prevTask(); t && !broken; t = t->prevTask()) {
        if (++steps > limit) {
            broken = true;
            break;
        }
        visit(t, before);
    }
    walk.ordered.assign(before.rbegin(), before.rend());
    walk.ordered.insert(walk.ordered.end(), after.begin(), after.end());
    walk.complete = !broken && walk.ordered.size() == met.size();
    return walk;
}

enum class End { top, bottom };

ZRCDTask* uniqueEnd(const ManagedObjectContext& context, End end) {
    ZRCDTask* found = nullptr;
    for (ManagedObject* object : context.registeredObjects(ZRCDTask::entityDescription())) {
        auto* task = static_cast<ZRCDTask*>(object);
        if ((end == End::top ? task->prevTask() : task->nextTask()) != nullptr)
            continue;
        if (found)
            return nullptr;
        found = task;
    }
    return found;
}

ZRCDTask* endOfChain(ManagedObjectContext& context, End end) {
    if (context.registeredObjects(ZRCDTask::entityDescription()).empty())
        return nullptr;
    if (ZRCDTask* task = uniqueEnd(context, end))
        return task;
    repairQuietly(context);
    if (ZRCDTask* task = uniqueEnd(context, end))
        return task;
    // The repair always leaves one head and one tail; this only guards against a loop.
    return nullptr;
}

}  // namespace

int getViewPositionWithFirstTask(const ZRCDTask* task, const ZRCDTask* firstTask) {
    if (!task || !firstTask)
        return -1;
    if (task == firstTask)
        return 0;
    const std::size_t limit = numberOfTasks(task) + 1;
    std::size_t steps = 0;
    for (const ZRCDTask* t = task->prevTask(); t; t = t->prevTask()) {
        if (++steps > limit)
            return -1;
        if (t == firstTask)
            return static_cast<int>(steps);
    }
    return -1;
}

ZRCDTask* getLastTask(ZRCDTask* task) {
    if (!task)
        return nullptr;
    std::unordered_set<const ZRCDTask*> seen{task};
    ZRCDTask* t = task;
    while (t->nextTask() && seen.insert(t->nextTask()).second)
        t = t->nextTask();
    return t;
}

ZRCDTask* getNextTaskSkippingDescendants(ZRCDTask* task) {
    if (!task)
        return nullptr;
    const std::size_t limit = numberOfTasks(task) + 1;
    std::size_t steps = 0;
    for (ZRCDTask* t = task->nextTask(); t && t != task; t = t->nextTask()) {
        if (++steps > limit)
            return nullptr;
        if (!task_tree::isDescendantOf(t, task))
            return t;
    }
    return nullptr;
}

ZRCDTask* getFirstTaskOfChain(const std::vector<ZRCDTask*>& tasks) {
    if (tasks.empty())
        return nullptr;
    std::unordered_set<const ZRCDTask*> members(tasks.begin(), tasks.end());
    std::unordered_set<const ZRCDTask*> seen{tasks.front()};
    ZRCDTask* t = tasks.front();
    while (t->prevTask() && members.contains(t->prevTask()) && seen.insert(t->prevTask()).second)
        t = t->prevTask();
    return t;
}

ZRCDTask* getLastTaskOfChain(const std::vector<ZRCDTask*>& tasks) {
    if (tasks.empty())
        return nullptr;
    std::unordered_set<const ZRCDTask*> members(tasks.begin(), tasks.end());
    std::unordered_set<const ZRCDTask*> seen{tasks.back()};
    ZRCDTask* t = tasks.back();
    while (t->nextTask() && members.contains(t->nextTask()) && seen.insert(t->nextTask()).second)
        t = t->nextTask();
    return t;
}

void joinChains(const std::vector<std::vector<ZRCDTask*>>& chains) {
    ZRCDTask* lastOfPrevious = nullptr;
    for (const auto& chain : chains) {
        if (chain.empty())
            continue;
        if (chain.front()->prevTask() != lastOfPrevious)
            chain.front()->setPrevTask(lastOfPrevious);
        lastOfPrevious = chain.back();
    }
}

void splitChains(const std::vector<std::vector<ZRCDTask*>>& chains) {
    for (const auto& chain : chains) {
        if (chain.empty())
            continue;
        if (chain.front()->prevTask())
            chain.front()->setPrevTask(nullptr);
        if (chain.back()->nextTask())
            chain.back()->setNextTask(nullptr);
    }
}

std::vector<ZRCDTask*> sortArrayOfTasksByViewPosition(const std::vector<ZRCDTask*>& tasks,
                                                      ManagedObjectContext& context) {
    if (tasks.size() < 2)
        return tasks;
    CollectedWalk walk = collectMembersAlongChain(tasks, context);
    if (!walk.complete) {
        repairQuietly(context);
        walk = collectMembersAlongChain(tasks, context);
    }
    // After a repair every live member is on the one chain; what is left over is not in the
    // chain at all, and is kept rather than silently dropped from a list.
    std::unordered_set<const ZRCDTask*> placed(walk.ordered.begin(), walk.ordered.end());
    for (ZRCDTask* t : tasks) {
        if (t && placed.insert(t).second)
            walk.ordered.push_back(t);
    }
    return walk.ordered;
}

std::vector<ZRCDTask*> sortSetOfTasksByViewPosition(const std::vector<ZRCDTask*>& tasks,
                                                    ManagedObjectContext& context) {
    return sortArrayOfTasksByViewPosition(tasks, context);
}

ZRCDTask* getTopTask_inContext(ManagedObjectContext& context) {
    return endOfChain(context, End::top);
}

ZRCDTask* getBottomTask_inContext(ManagedObjectContext& context) {
    return endOfChain(context, End::bottom);
}

}  // namespace ravelong::task_chain

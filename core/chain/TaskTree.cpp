#include "core/chain/TaskTree.h"

#include <unordered_set>

#include "core/model/ZRCDTask.h"

namespace ravelong::task_tree {

namespace {

// Real trees are at most three tiers deep; past this many steps a walk up the tree starts
// remembering where it has been, so that a parent cycle ends it.
constexpr int kShortWalk = 8;

}  // namespace

int numberOfAncestorTiers(const ZRCDTask* task) {
    if (!task)
        return 0;
    int tiers = 0;
    std::unordered_set<const ZRCDTask*> seen;
    for (const ZRCDTask* p = task->parentTask(); p && p != task; p = p->parentTask()) {
        if (tiers >= kShortWalk && !seen.insert(p).second)
            break;
        ++tiers;
    }
    return tiers;
}

int numberOfDescendantTiers(const ZRCDTask* task) {
    if (!task)
        return 0;
    int tiers = 0;
    std::vector<const ZRCDTask*> level{task};
    std::unordered_set<const ZRCDTask*> seen{task};
    while (true) {
        std::vector<const ZRCDTask*> next;
        for (const ZRCDTask* t : level) {
            for (ZRCDTask* child : t->childTasks()) {
                if (seen.insert(child).second)
                    next.push_back(child);
            }
        }
        if (next.empty())
            return tiers;
        ++tiers;
        level = std::move(next);
    }
}

std::vector<ZRCDTask*> descendants(const ZRCDTask* task) {
    std::vector<ZRCDTask*> result;
    if (!task)
        return result;
    std::unordered_set<const ZRCDTask*> seen{task};
    for (ZRCDTask* child : task->childTasks()) {
        if (seen.insert(child).second)
            result.push_back(child);
    }
    for (std::size_t i = 0; i < result.size(); ++i) {
        for (ZRCDTask* child : result[i]->childTasks()) {
            if (seen.insert(child).second)
                result.push_back(child);
        }
    }
    return result;
}

bool isDescendantOf(const ZRCDTask* task, const ZRCDTask* ancestor) {
    if (!task || !ancestor || task == ancestor)
        return false;
    int steps = 0;
    std::unordered_set<const ZRCDTask*> seen;
    for (const ZRCDTask* p = task->parentTask(); p && p != task; p = p->parentTask()) {
        if (p == ancestor)
            return true;
        if (++steps > kShortWalk && !seen.insert(p).second)
            return false;
    }
    return false;
}

ZRCDTask* getRootTask(ZRCDTask* task) {
    if (!task)
        return nullptr;
    ZRCDTask* parent = task->parentTask();
    if (!parent)
        return task;
    return parent->parentTask() ? parent->parentTask() : parent;
}

bool isOnParentCycle(const ZRCDTask* task) {
    if (!task)
        return false;
    std::unordered_set<const ZRCDTask*> seen;
    for (const ZRCDTask* p = task->parentTask(); p; p = p->parentTask()) {
        if (p == task)
            return true;
        if (!seen.insert(p).second)
            return false;  // a cycle further up that the task is not part of
    }
    return false;
}

}  // namespace ravelong::task_tree

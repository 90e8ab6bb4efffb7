#include "sync/engine/ChainMending.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "core/chain/ChainLinks.h"
#include "core/model/ZRCDTask.h"
#include "store/ManagedObjectContext.h"
#include "sync/SyncReplica.h"

namespace ravelong {

namespace {

// The next task as the replica has it (as the store has it for a task the replica lacks).
std::string nextOf(const SyncReplica& replica, const ZRCDTask& task) {
    if (const SyncReplica::Record* record = replica.record({"ZRCDTask", *task.uuid()})) {
        auto found = record->properties.find("nextTask");
        if (found != record->properties.end())
            return found->second.value.is_string() ? found->second.value.get<std::string>() : "";
    }
    return task.nextTask() && task.nextTask()->uuid() ? *task.nextTask()->uuid() : "";
}

bool breakParentCycles(const std::map<std::string, ZRCDTask*>& byUuid) {
    bool changed = false;
    for (const auto& [uuid, task] : byUuid) {
        std::vector<ZRCDTask*> path;
        std::set<ZRCDTask*> seen;
        for (ZRCDTask* t = task; t && seen.insert(t).second; t = t->parentTask())
            path.push_back(t);
        ZRCDTask* last = path.back()->parentTask();
        if (!last)
            continue;  // reached the top: no cycle
        // The walk met `last` again: the cycle is from `last` to the end of the path.
        auto from = std::find(path.begin(), path.end(), last);
        ZRCDTask* smallest = *std::min_element(
            from, path.end(), [](ZRCDTask* a, ZRCDTask* b) { return *a->uuid() < *b->uuid(); });
        smallest->setParentTask(nullptr);
        changed = true;
    }
    return changed;
}

}  // namespace

bool mendChainAfterMerge(const SyncReplica& replica, ManagedObjectContext& context) {
    std::map<std::string, ZRCDTask*> byUuid;
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
        if (task->uuid())
            byUuid[*task->uuid()] = task;
    }
    if (byUuid.size() != context.count<ZRCDTask>())
        return false;  // tasks without uuid, or sharing one: the repairs come first
    bool changed = breakParentCycles(byUuid);

    // The walk of the links: from each head (a task nobody names as next) in uuid order, then
    // from each task not yet reached, in uuid order.
    std::map<std::string, std::string> next;
    std::set<std::string> named;
    for (const auto& [uuid, task] : byUuid) {
        std::string n = nextOf(replica, *task);
        if (byUuid.contains(n) && n != uuid) {
            next[uuid] = n;
            named.insert(n);
        }
    }
    std::unordered_map<const ZRCDTask*, std::size_t> rank;
    auto walk = [&](const std::string& start) {
        for (std::string at = start; !at.empty() && !rank.contains(byUuid[at]);) {
            rank[byUuid[at]] = rank.size();
            auto found = next.find(at);
            at = found == next.end() ? std::string() : found->second;
        }
    };
    for (const auto& [uuid, task] : byUuid) {
        if (!named.contains(uuid))
            walk(uuid);
    }
    for (const auto& [uuid, task] : byUuid)
        walk(uuid);

    // Depth first, siblings in walked order.
    auto byRank = [&](ZRCDTask* a, ZRCDTask* b) { return rank[a] < rank[b]; };
    std::vector<ZRCDTask*> order;
    order.reserve(byUuid.size());
    std::vector<ZRCDTask*> stack;
    std::vector<ZRCDTask*> tops;
    for (const auto& [uuid, task] : byUuid) {
        if (!task->parentTask())
            tops.push_back(task);
    }
    std::sort(tops.begin(), tops.end(), byRank);
    stack.assign(tops.rbegin(), tops.rend());
    while (!stack.empty()) {
        ZRCDTask* t = stack.back();
        stack.pop_back();
        order.push_back(t);
        std::vector<ZRCDTask*> children = t->childTasks().toVector();
        std::sort(children.begin(), children.end(), byRank);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    if (order.size() != byUuid.size())
        return changed;  // should not happen once parent cycles are broken
    return chain_links::applyChainOrder(order) || changed;
}

}  // namespace ravelong

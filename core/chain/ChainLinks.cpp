#include "core/chain/ChainLinks.h"

#include <unordered_set>

#include "core/model/ZRCDTask.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::chain_links {

namespace {

// A link target that no longer takes part in the chain.
bool isGone(const ZRCDTask* task, const ManagedObjectContext* context) {
    return task && (task->isDeleted() || task->managedObjectContext() != context);
}

}  // namespace

std::vector<ZRCDTask*> currentChainOrder(const ManagedObjectContext& context) {
    const ObjectSet& all = context.registeredObjects(ZRCDTask::entityDescription());
    std::vector<ZRCDTask*> order;
    order.reserve(all.size());
    std::unordered_set<const ZRCDTask*> placed;
    placed.reserve(all.size() * 2);

    auto walkFrom = [&](ZRCDTask* start) {
        for (ZRCDTask* t = start; t && !isGone(t, &context) && placed.insert(t).second;
             t = t->nextTask()) {
            order.push_back(t);
        }
    };
    for (ManagedObject* object : all) {
        auto* task = static_cast<ZRCDTask*>(object);
        ZRCDTask* prev = task->prevTask();
        if (!prev || isGone(prev, &context) || prev == task)
            walkFrom(task);
    }
    if (order.size() < all.size()) {
        for (ManagedObject* object : all) {
            auto* task = static_cast<ZRCDTask*>(object);
            if (!placed.contains(task))
                walkFrom(task);
        }
    }
    return order;
}

std::unordered_map<const ZRCDTask*, std::size_t> positionsOf(const std::vector<ZRCDTask*>& order) {
    std::unordered_map<const ZRCDTask*, std::size_t> positions;
    positions.reserve(order.size() * 2);
    for (std::size_t i = 0; i < order.size(); ++i)
        positions.emplace(order[i], i);
    return positions;
}

// The setters keep both sides of a link in step, which is right for a sound chain but not for a
// damaged one: clearing A.nextTask also clears the prevTask of A's old next, even when that
// pointed elsewhere. So the links are rewritten in two passes. The first clears every link of
// each task whose links are not as wanted; it only ever clears, so afterwards every link that
// is left is one that is wanted. The second sets the wanted links that are missing; each setter
// then meets only empty or wanted links and touches nothing else.
bool applyNextLinks(const std::vector<ZRCDTask*>& tasks,
                    const std::unordered_map<const ZRCDTask*, ZRCDTask*>& desiredNext) {
    std::unordered_map<const ZRCDTask*, ZRCDTask*> desiredPrev;
    desiredPrev.reserve(desiredNext.size() * 2);
    for (const auto& [task, next] : desiredNext) {
        if (next)
            desiredPrev.emplace(next, const_cast<ZRCDTask*>(task));
    }
    auto wantedNext = [&](const ZRCDTask* t) -> ZRCDTask* {
        auto it = desiredNext.find(t);
        return it == desiredNext.end() ? nullptr : it->second;
    };
    auto wantedPrev = [&](const ZRCDTask* t) -> ZRCDTask* {
        auto it = desiredPrev.find(t);
        return it == desiredPrev.end() ? nullptr : it->second;
    };

    bool changed = false;
    for (ZRCDTask* t : tasks) {
        if (t->nextTask() == wantedNext(t) && t->prevTask() == wantedPrev(t))
            continue;
        if (t->nextTask()) {
            t->setNextTask(nullptr);
            changed = true;
        }
        if (t->prevTask()) {
            t->setPrevTask(nullptr);
            changed = true;
        }
    }
    for (ZRCDTask* t : tasks) {
        ZRCDTask* next = wantedNext(t);
        if (!next || (t->nextTask() == next && next->prevTask() == t))
            continue;
        if (t->nextTask())
            t->setNextTask(nullptr);
        t->setNextTask(next);
        changed = true;
    }
    return changed;
}

bool applyChainOrder(const std::vector<ZRCDTask*>& order) {
    std::unordered_map<const ZRCDTask*, ZRCDTask*> desiredNext;
    desiredNext.reserve(order.size() * 2);
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        desiredNext.emplace(order[i], order[i + 1]);
    return applyNextLinks(order, desiredNext);
}

}  // namespace ravelong::chain_links

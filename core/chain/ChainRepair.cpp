#include "core/chain/ChainRepair.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "core/chain/ChainLinks.h"
#include "core/chain/TaskTree.h"
#include "core/model/ZRCDTask.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::task_chain {

namespace {

using Positions = std::unordered_map<const ZRCDTask*, std::size_t>;
using Chain = std::vector<ZRCDTask*>;

constexpr int kRoundsBeforeFallback = 4;

std::vector<ZRCDTask*> allTasksOf(const ManagedObjectContext& context) {
    const ObjectSet& set = context.registeredObjects(ZRCDTask::entityDescription());
    std::vector<ZRCDTask*> tasks;
    tasks.reserve(set.size());
    for (ManagedObject* object : set)
        tasks.push_back(static_cast<ZRCDTask*>(object));
    return tasks;
}

// --- Reading a chain through its links or through an order not yet written -------------------

struct LinkNavigator {
    ZRCDTask* next(const ZRCDTask* t) const { return t->nextTask(); }
    ZRCDTask* prev(const ZRCDTask* t) const { return t->prevTask(); }
};

// Answers as if the chain were `order`, so candidate orders are scored without touching the
// records.
struct OrderNavigator {
    const std::vector<ZRCDTask*>& order;
    const Positions& positions;

    ZRCDTask* next(const ZRCDTask* t) const {
        auto it = positions.find(t);
        if (it == positions.end() || it->second + 1 >= order.size())
            return nullptr;
        return order[it->second + 1];
    }
    ZRCDTask* prev(const ZRCDTask* t) const {
        auto it = positions.find(t);
        if (it == positions.end() || it->second == 0)
            return nullptr;
        return order[it->second - 1];
    }
};

template <class Navigator>
int condition2(const ZRCDTask* firstTask, const Navigator& nav, std::size_t limit) {
    int metric = 0;
    std::size_t steps = 0;
    for (const ZRCDTask* t = firstTask; t && steps <= limit; t = nav.next(t), ++steps) {
        const ZRCDTask* next = nav.next(t);
        if (!t->parentTask() && next && task_tree::numberOfAncestorTiers(next) == 2)
            ++metric;
    }
    return metric;
}

// What condition 3 needs of each task with children, worked out once per set of tasks.
struct ParentRun {
    const ZRCDTask* parent;
    const ZRCDTask* firstDescendant;
    std::size_t descendantCount;
};

std::vector<ParentRun> parentRunsOf(const std::vector<ZRCDTask*>& tasks) {
    std::vector<ParentRun> runs;
    for (const ZRCDTask* t : tasks) {
        if (t->childTasks().empty())
            continue;
        std::vector<ZRCDTask*> descendants = task_tree::descendants(t);
        runs.push_back({t, descendants.front(), descendants.size()});
    }
    return runs;
}

template <class Navigator>
int condition3(const std::vector<ParentRun>& runs, const Navigator& nav) {
    int metric = 0;
    for (const ParentRun& run : runs) {
        auto inRun = [&](const ZRCDTask* t) { return task_tree::isDescendantOf(t, run.parent); };
        std::size_t count = 1;
        for (const ZRCDTask* t = nav.next(run.firstDescendant);
             t && count <= run.descendantCount && inRun(t); t = nav.next(t)) {
            ++count;
        }
        const ZRCDTask* earliest = run.firstDescendant;
        for (const ZRCDTask* t = nav.prev(run.firstDescendant);
             t && count <= run.descendantCount && inRun(t); t = nav.prev(t)) {
            ++count;
            earliest = t;
        }
        if (count != run.descendantCount)
            ++metric;
        if (nav.next(run.parent) != earliest || nav.prev(earliest) != run.parent)
            ++metric;
    }
    return metric;
}

// --- Depth-first order ---------------------------------------------------------------------

std::vector<ZRCDTask*> depthFirstOrder(const std::vector<ZRCDTask*>& tasks, bool usingDate,
                                       const Positions& rank) {
    auto rankOf = [&](const ZRCDTask* t) {
        auto it = rank.find(t);
        return it == rank.end() ? rank.size() : it->second;
    };
    auto before = [&](const ZRCDTask* a, const ZRCDTask* b) {
        if (usingDate) {
            const auto da = a->date();
            const auto db = b->date();
            if (da.has_value() != db.has_value())
                return da.has_value();
            if (da && *da != *db)
                return *da > *db;
        }
        return rankOf(a) < rankOf(b);
    };
    std::unordered_set<const ZRCDTask*> members(tasks.begin(), tasks.end());

    std::vector<ZRCDTask*> tops;
    for (ZRCDTask* t : tasks) {
        if (!t->parentTask() || !members.contains(t->parentTask()))
            tops.push_back(t);
    }
    std::sort(tops.begin(), tops.end(), before);

    std::vector<ZRCDTask*> order;
    order.reserve(tasks.size());
    std::unordered_set<const ZRCDTask*> placed;
    placed.reserve(tasks.size() * 2);
    std::vector<ZRCDTask*> stack;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it)
        stack.push_back(*it);
    while (!stack.empty()) {
        ZRCDTask* t = stack.back();
        stack.pop_back();
        if (!placed.insert(t).second)
            continue;
        order.push_back(t);
        std::vector<ZRCDTask*> children;
        for (ZRCDTask* child : t->childTasks()) {
            if (members.contains(child) && !placed.contains(child))
                children.push_back(child);
        }
        std::sort(children.begin(), children.end(), before);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
    if (order.size() < tasks.size()) {
        std::vector<ZRCDTask*> unreached;
        for (ZRCDTask* t : tasks) {
            if (!placed.contains(t))
                unreached.push_back(t);
        }
        std::sort(unreached.begin(), unreached.end(),
                  [&](const ZRCDTask* a, const ZRCDTask* b) { return rankOf(a) < rankOf(b); });
        for (ZRCDTask* t : unreached) {
            if (placed.insert(t).second)
                order.push_back(t);
        }
    }
    return order;
}

// True when the chain is a depth-first order of the tree: each task's parent is the task itself
// or an ancestor of the task just before it.
bool isDepthFirst(const std::vector<ZRCDTask*>& chain) {
    std::vector<const ZRCDTask*> openAncestors;
    for (const ZRCDTask* t : chain) {
        const ZRCDTask* parent = t->parentTask();
        while (!openAncestors.empty() && openAncestors.back() != parent)
            openAncestors.pop_back();
        if (parent && openAncestors.empty())
            return false;
        openAncestors.push_back(t);
    }
    return true;
}

// --- The steps of a round ------------------------------------------------------------------

bool clearParentCycles(const std::vector<ZRCDTask*>& tasks) {
    bool changed = false;
    for (ZRCDTask* t : tasks) {
        if (t->parentTask() && task_tree::isOnParentCycle(t)) {
            t->setParentTask(nullptr);
            changed = true;
        }
    }
    return changed;
}

// A task below the third tier: its third-tier ancestor hands all its descendants to its own
// parent, where they stay in the chain where they stood (the later steps put the order right).
bool liftFourthTiers(const std::vector<ZRCDTask*>& tasks) {
    bool changed = false;
    for (ZRCDTask* t : tasks) {
        if (task_tree::numberOfAncestorTiers(t) <= 2)
            continue;
        std::vector<ZRCDTask*> ancestors;
        for (ZRCDTask* p = t->parentTask(); p; p = p->parentTask())
            ancestors.push_back(p);
        ZRCDTask* thirdTier = ancestors[ancestors.size() - 3];
        ZRCDTask* newParent = thirdTier->parentTask();
        for (ZRCDTask* d : task_tree::descendants(thirdTier)) {
            d->setParentTask(newParent);
            if (d->isVisibleInDataSelection() != thirdTier->isVisibleInDataSelection())
                d->setIsVisibleInDataSelection(thirdTier->isVisibleInDataSelection());
            if (d->isVisibleInMenuBar() != thirdTier->isVisibleInMenuBar())
                d->setIsVisibleInMenuBar(thirdTier->isVisibleInMenuBar());
        }
        changed = true;
    }
    return changed;
}

bool makeLinksMutual(const std::vector<ZRCDTask*>& tasks, const ManagedObjectContext& context) {
    auto usable = [&](const ZRCDTask* from, const ZRCDTask* to) {
        return to && to != from && !to->isDeleted() && to->managedObjectContext() == &context;
    };
    bool sound = true;
    for (const ZRCDTask* t : tasks) {
        const ZRCDTask* n = t->nextTask();
        const ZRCDTask* p = t->prevTask();
        if ((n && (!usable(t, n) || n->prevTask() != t)) ||
            (p && (!usable(t, p) || p->nextTask() != t))) {
            sound = false;
            break;
        }
    }
    if (sound)
        return false;

    // Keep the mutual links, then accept one-sided ones as long as no task gets two
    // neighbours on one side: first those of nextTask (the side the store file keeps), then
    // those of prevTask.
    std::unordered_map<const ZRCDTask*, ZRCDTask*> desiredNext;
    std::unordered_set<const ZRCDTask*> hasPrev;
    for (ZRCDTask* t : tasks) {
        ZRCDTask* n = t->nextTask();
        if (usable(t, n) && n->prevTask() == t) {
            desiredNext[t] = n;
            hasPrev.insert(n);
        }
    }
    for (ZRCDTask* t : tasks) {
        ZRCDTask* n = t->nextTask();
        if (usable(t, n) && !desiredNext.contains(t) && !hasPrev.contains(n)) {
            desiredNext[t] = n;
            hasPrev.insert(n);
        }
    }
    for (ZRCDTask* t : tasks) {
        ZRCDTask* p = t->prevTask();
        if (usable(t, p) && !desiredNext.contains(p) && !hasPrev.contains(t)) {
            desiredNext[p] = t;
            hasPrev.insert(t);
        }
    }
    return chain_links::applyNextLinks(tasks, desiredNext);
}

struct Components {
    std::vector<Chain> chains;  // from each head, heads in fetch order
    std::vector<Chain> cycles;
};

// Links are mutual here, so a walk from a head never runs into a cycle.
Components findComponents(const std::vector<ZRCDTask*>& tasks) {
    Components components;
    std::unordered_set<const ZRCDTask*> seen;
    seen.reserve(tasks.size() * 2);
    for (ZRCDTask* t : tasks) {
        if (t->prevTask())
            continue;
        Chain chain;
        for (ZRCDTask* x = t; x && seen.insert(x).second; x = x->nextTask())
            chain.push_back(x);
        components.chains.push_back(std::move(chain));
    }
    for (ZRCDTask* t : tasks) {
        if (seen.contains(t))
            continue;
        Chain cycle;
        for (ZRCDTask* x = t; x && seen.insert(x).second; x = x->nextTask())
            cycle.push_back(x);
        components.cycles.push_back(std::move(cycle));
    }
    return components;
}

std::int64_t meanCreationSeconds(const Chain& chain) {
    std::int64_t sum = 0;
    std::int64_t count = 0;
    for (const ZRCDTask* t : chain) {
        if (const auto date = t->date()) {
            sum += static_cast<std::int64_t>(std::floor(*date));
            ++count;
        }
    }
    return count ? sum / count : 0;
}

// The root that every task of `chain` has, when it stands in `other`.
ZRCDTask* commonRootIn(const Chain& chain, const Chain& other) {
    ZRCDTask* root = task_tree::getRootTask(chain.front());
    for (ZRCDTask* t : chain) {
        if (task_tree::getRootTask(t) != root)
            return nullptr;
    }
    return std::find(other.begin(), other.end(), root) != other.end() ? root : nullptr;
}

std::vector<ZRCDTask*> concatenated(const std::vector<Chain>& chains,
                                    const std::vector<std::size_t>& indices) {
    std::vector<ZRCDTask*> order;
    for (std::size_t i : indices)
        order.insert(order.end(), chains[i].begin(), chains[i].end());
    return order;
}

std::vector<ZRCDTask*> joinTwo(const Chain& first, const Chain& second) {
    if (ZRCDTask* root = commonRootIn(first, second)) {
        std::vector<ZRCDTask*> order;
        for (ZRCDTask* t : second) {
            order.push_back(t);
            if (t == root)
                order.insert(order.end(), first.begin(), first.end());
        }
        return order;
    }
    if (ZRCDTask* root = commonRootIn(second, first)) {
        std::vector<ZRCDTask*> order;
        for (ZRCDTask* t : first) {
            order.push_back(t);
            if (t == root)
                order.insert(order.end(), second.begin(), second.end());
        }
        return order;
    }
    const bool secondIsNewer = meanCreationSeconds(second) > meanCreationSeconds(first);
    return secondIsNewer ? concatenated({second, first}, {0, 1})
                         : concatenated({first, second}, {0, 1});
}

std::vector<ZRCDTask*> bestOrderOfFew(const std::vector<Chain>& chains,
                                      const std::vector<ZRCDTask*>& tasks) {
    const std::vector<ParentRun> runs = parentRunsOf(tasks);
    std::vector<std::size_t> indices(chains.size());
    std::iota(indices.begin(), indices.end(), 0);
    std::vector<ZRCDTask*> best;
    int bestScore = 0;
    do {
        std::vector<ZRCDTask*> order = concatenated(chains, indices);
        const Positions positions = chain_links::positionsOf(order);
        const OrderNavigator nav{order, positions};
        const int score = condition2(order.front(), nav, order.size()) + condition3(runs, nav);
        if (best.empty() || score < bestScore) {
            best = std::move(order);
            bestScore = score;
        }
    } while (std::next_permutation(indices.begin(), indices.end()));
    return best;
}

bool repairRound(ManagedObjectContext& context) {
    const std::vector<ZRCDTask*> tasks = allTasksOf(context);
    if (tasks.empty())
        return false;
    bool changed = clearParentCycles(tasks);
    changed |= liftFourthTiers(tasks);
    changed |= makeLinksMutual(tasks, context);

    Components components = findComponents(tasks);
    if (!components.cycles.empty()) {
        for (const Chain& cycle : components.cycles)
            breakCircleOfChain(cycle);
        changed = true;
        components = findComponents(tasks);
    }

    const std::vector<Chain>& chains = components.chains;
    if (chains.size() == 1) {
        if (!isDepthFirst(chains.front())) {
            changed |= chain_links::applyChainOrder(
                depthFirstOrder(tasks, false, chain_links::positionsOf(chains.front())));
        }
    } else if (chains.size() == 2) {
        changed |= chain_links::applyChainOrder(joinTwo(chains[0], chains[1]));
    } else if (chains.size() <= 4) {
        changed |= chain_links::applyChainOrder(bestOrderOfFew(chains, tasks));
    } else {
        std::vector<std::size_t> found(chains.size());
        std::iota(found.begin(), found.end(), 0);
        const std::vector<ZRCDTask*> joined = concatenated(chains, found);
        changed |= chain_links::applyChainOrder(
            depthFirstOrder(tasks, true, chain_links::positionsOf(joined)));
    }
    return changed;
}

}  // namespace

bool fixTaskChain_inContext(ManagedObjectContext& context) {
    return fixTaskChainNumberOfRecursions(0, context);
}

bool fixTaskChainNumberOfRecursions(int numberOfRecursions, ManagedObjectContext& context) {
    bool changed = false;
    for (int round = std::max(numberOfRecursions, 0);; ++round) {
        if (round > kRoundsBeforeFallback) {
            const std::vector<ZRCDTask*> tasks = allTasksOf(context);
            changed |= clearParentCycles(tasks);
            changed |= liftFourthTiers(tasks);
            changed |= rebuildTasksUsingDate(false, tasks, context);
            return changed;
        }
        if (!repairRound(context))
            return changed;
        changed = true;
    }
}

bool rebuildTasksUsingDate(bool usingDate, const std::vector<ZRCDTask*>& allTasks,
                           ManagedObjectContext& context) {
    if (allTasks.empty())
        return false;
    const Positions rank = chain_links::positionsOf(chain_links::currentChainOrder(context));
    return chain_links::applyChainOrder(depthFirstOrder(allTasks, usingDate, rank));
}

bool checkCondition1(const ZRCDTask* task) {
    return task && task->parentTask() != nullptr;
}

int condition2Metric(const ZRCDTask* firstTask) {
    if (!firstTask || !firstTask->managedObjectContext())
        return 0;
    const std::size_t limit =
        firstTask->managedObjectContext()->registeredObjects(ZRCDTask::entityDescription()).size();
    return condition2(firstTask, LinkNavigator{}, limit);
}

int condition3MetricWithAllTasks(const std::vector<ZRCDTask*>& allTasks) {
    return condition3(parentRunsOf(allTasks), LinkNavigator{});
}

ZRCDTask* breakCircleOfChain(const std::vector<ZRCDTask*>& cycle) {
    const std::size_t k = cycle.size();
    if (k == 0)
        return nullptr;
    const Positions positions = chain_links::positionsOf(cycle);

    // A task x at position px with an ancestor a at position pa stands before a exactly when
    // the cut goes into one of the positions pa+1 ... px (counted round the cycle). Adding 1
    // over each such range gives every cut's count in one pass.
    //
    //   cycle  C0 P1 C2 (C0 and C2 children of P1): cuts into P1 leave 0, into C2 or C0 leave 1.
    std::vector<long> delta(k + 1, 0);
    auto addRange = [&](std::size_t from, std::size_t to) {  // inclusive, round the cycle
        if (from <= to) {
            ++delta[from];
            --delta[to + 1];
        } else {
            ++delta[from];
            --delta[k];
            ++delta[0];
            --delta[to + 1];
        }
    };
    for (std::size_t px = 0; px < k; ++px) {
        std::unordered_set<const ZRCDTask*> seen{cycle[px]};
        for (const ZRCDTask* a = cycle[px]->parentTask(); a && seen.insert(a).second;
             a = a->parentTask()) {
            auto it = positions.find(a);
            if (it == positions.end())
                continue;
            addRange((it->second + 1) % k, px);
        }
    }
    std::size_t best = 0;
    long bestScore = 0;
    long score = 0;
    for (std::size_t i = 0; i < k; ++i) {
        score += delta[i];
        const bool better =
            i == 0 || score < bestScore ||
            (score == bestScore && !cycle[i]->parentTask() && cycle[best]->parentTask());
        if (better) {
            best = i;
            bestScore = score;
        }
    }
    ZRCDTask* head = cycle[best];
    if (head->prevTask())
        head->setPrevTask(nullptr);
    return head;
}

}  // namespace ravelong::task_chain

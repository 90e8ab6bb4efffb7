#include "tests/core/chain/ChainTestSupport.h"

#include <set>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

namespace ravelong::chain_testing {

Forest::Forest() : context_(std::make_unique<ManagedObjectContext>(ravelongModel())) {
    context_->setUndoManager(std::make_unique<ZRUndoManager>());
}

ZRCDTask* Forest::add(const std::string& name, const std::string& parent,
                      std::optional<Instant> date) {
    auto* task = context_->insertNewObject<ZRCDTask>();
    task->setTaskName(name);
    task->setUuid("UUID-" + name);
    task->setIsVisibleInMenuBar(true);
    task->setIsVisibleInDataSelection(true);
    if (date)
        task->setDate(*date);
    if (!parent.empty())
        task->setParentTask((*this)[parent]);
    byName_[name] = task;
    return task;
}

void Forest::grow(const std::string& tree, bool linked) {
    std::istringstream in(tree);
    std::vector<ZRCDTask*> order;
    for (std::string word; in >> word;) {
        std::optional<Instant> date;
        if (const auto at = word.find('@'); at != std::string::npos) {
            date = std::stod(word.substr(at + 1));
            word.resize(at);
        }
        const auto below = word.find('<');
        order.push_back(add(word.substr(0, below),
                            below == std::string::npos ? "" : word.substr(below + 1), date));
    }
    if (linked)
        link(order);
}

ZRCDTask* Forest::operator[](const std::string& name) const {
    auto it = byName_.find(name);
    if (it == byName_.end())
        throw std::runtime_error("no task named " + name);
    return it->second;
}

void Forest::link(const std::string& namesInOrder) {
    std::istringstream in(namesInOrder);
    std::vector<ZRCDTask*> order;
    for (std::string name; in >> name;)
        order.push_back((*this)[name]);
    link(order);
}

void Forest::link(const std::vector<ZRCDTask*>& order) {
    for (ZRCDTask* t : order) {
        t->setNextTask(nullptr);
        t->setPrevTask(nullptr);
    }
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        order[i]->setNextTask(order[i + 1]);
}

std::string Forest::chain() const {
    return chainOf(*context_);
}

std::string chainOf(const ManagedObjectContext& context) {
    std::vector<ZRCDTask*> heads;
    for (ManagedObject* object : context.registeredObjects(ZRCDTask::entityDescription())) {
        auto* t = static_cast<ZRCDTask*>(object);
        if (!t->prevTask())
            heads.push_back(t);
    }
    if (heads.size() != 1)
        return "<no single head>";
    std::string text;
    std::unordered_set<const ZRCDTask*> seen;
    for (ZRCDTask* t = heads.front(); t; t = t->nextTask()) {
        if (!seen.insert(t).second)
            return text + " <loop>";
        if (!text.empty())
            text += ' ';
        text += t->taskName().value_or("?");
    }
    return text;
}

std::vector<ZRCDTask*> Forest::all() const {
    std::vector<ZRCDTask*> tasks;
    for (ManagedObject* object : context_->registeredObjects(ZRCDTask::entityDescription()))
        tasks.push_back(static_cast<ZRCDTask*>(object));
    return tasks;
}

std::vector<std::string> chainProblems(const ManagedObjectContext& context) {
    std::vector<std::string> problems;
    std::vector<ZRCDTask*> tasks;
    for (ManagedObject* object : context.registeredObjects(ZRCDTask::entityDescription()))
        tasks.push_back(static_cast<ZRCDTask*>(object));
    if (tasks.empty())
        return problems;
    auto name = [](const ZRCDTask* t) { return t->taskName().value_or("?"); };

    std::vector<ZRCDTask*> heads;
    std::size_t tails = 0;
    for (ZRCDTask* t : tasks) {
        if (!t->prevTask())
            heads.push_back(t);
        if (!t->nextTask())
            ++tails;
        if (t->nextTask() && t->nextTask()->prevTask() != t)
            problems.push_back("one-sided next link of " + name(t));
        if (t->prevTask() && t->prevTask()->nextTask() != t)
            problems.push_back("one-sided prev link of " + name(t));
        int depth = 0;
        for (const ZRCDTask* p = t->parentTask(); p && depth <= 3; p = p->parentTask())
            ++depth;
        if (depth > 2)
            problems.push_back("too deep: " + name(t));
    }
    if (heads.size() != 1 || tails != 1) {
        problems.push_back(std::to_string(heads.size()) + " heads, " + std::to_string(tails) +
                           " tails");
        return problems;
    }
    std::vector<ZRCDTask*> order;
    std::unordered_map<const ZRCDTask*, std::size_t> position;
    for (ZRCDTask* t = heads.front(); t; t = t->nextTask()) {
        if (!position.emplace(t, order.size()).second) {
            problems.push_back("loop at " + name(t));
            return problems;
        }
        order.push_back(t);
    }
    if (order.size() != tasks.size()) {
        problems.push_back("chain reaches " + std::to_string(order.size()) + " of " +
                           std::to_string(tasks.size()) + " tasks");
        return problems;
    }
    // Depth first: a task and its descendants fill the positions p ... p + |descendants|.
    for (ZRCDTask* t : tasks) {
        std::size_t count = 0;
        std::vector<const ZRCDTask*> frontier{t};
        std::set<std::size_t> spots;
        while (!frontier.empty() && count <= tasks.size()) {
            const ZRCDTask* x = frontier.back();
            frontier.pop_back();
            for (ZRCDTask* child : x->childTasks()) {
                ++count;
                spots.insert(position.at(child));
                frontier.push_back(child);
            }
        }
        const std::size_t p = position.at(t);
        if (count > 0 && (*spots.begin() != p + 1 || *spots.rbegin() != p + count))
            problems.push_back("descendants of " + name(t) + " are not right behind it");
    }
    return problems;
}

std::string names(const std::vector<ZRCDTask*>& tasks) {
    std::string text;
    for (const ZRCDTask* t : tasks) {
        if (!text.empty())
            text += ' ';
        text += t->taskName().value_or("?");
    }
    return text;
}

void setNextOneSided(ZRCDTask* task, ZRCDTask* next) {
    task->setPrimitiveValue(ZRCDTask::kNextTask, Value(static_cast<ManagedObject*>(next)));
}

void setPrevOneSided(ZRCDTask* task, ZRCDTask* prev) {
    task->setPrimitiveValue(ZRCDTask::kPrevTask, Value(static_cast<ManagedObject*>(prev)));
}

}  // namespace ravelong::chain_testing

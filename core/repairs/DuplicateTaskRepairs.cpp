#include "core/repairs/DuplicateTaskRepairs.h"

#include <string>
#include <unordered_map>
#include <utility>

#include "core/model/ZRCDTask.h"
#include "core/tree/TaskAbsorption.h"
#include "foundation/Uuid.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::store_repairs {

namespace {

// The first two tasks (in fetch order) that share a uuid, or nothing.
std::pair<ZRCDTask*, ZRCDTask*> firstDuplicatePair(const ManagedObjectContext& context) {
    const ObjectSet& all = context.registeredObjects(ZRCDTask::entityDescription());
    std::unordered_map<std::string, ZRCDTask*> firstWithUUID;
    firstWithUUID.reserve(all.size() * 2);
    for (ManagedObject* object : all) {
        auto* task = static_cast<ZRCDTask*>(object);
        if (!task->uuid())
            continue;
        auto [it, inserted] = firstWithUUID.emplace(*task->uuid(), task);
        if (!inserted)
            return {it->second, task};
    }
    return {nullptr, nullptr};
}

bool areDifferentTasks(const ZRCDTask& a, const ZRCDTask& b) {
    if (a.createdDay() != b.createdDay())
        return true;
    return a.date() && b.date() && *a.date() != *b.date();
}

}  // namespace

bool fixDuplicateTaskIDs_inContext(ManagedObjectContext& context) {
    return fixDuplicateTaskIDs(false, context);
}

bool fixDuplicateTaskIDs(bool changedSoFar, ManagedObjectContext& context) {
    bool changed = changedSoFar;
    while (true) {
        auto [first, second] = firstDuplicatePair(context);
        if (!first)
            return changed;
        if (areDifferentTasks(*first, *second)) {
            second->setUuid(makeUuid());
        } else if (!combineWithTask(first, second)) {
            second->setUuid(makeUuid());  // cannot happen for two live tasks; never loop
        }
        changed = true;
    }
}

bool combineWithTask(ZRCDTask* receiver, ZRCDTask* other) {
    return task_absorption::absorbTask(receiver, other,
                                       task_absorption::StopRunningTimings::whenEitherIsArchived);
}

}  // namespace ravelong::store_repairs

#include "core/tree/TreeRepairs.h"

#include <algorithm>

#include "core/calendar/DayNumbers.h"
#include "core/chain/ChainTreeChanges.h"
#include "core/chain/TaskTree.h"
#include "core/model/TaskColor.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/tree/TreeTexts.h"
#include "foundation/Clock.h"
#include "foundation/Uuid.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::task_tree_repairs {

namespace {

ZRCDTiming* earliestTiming(const ZRCDTask& task) {
    ZRCDTiming* earliest = nullptr;
    for (ZRCDTiming* timing : task.timings()) {
        if (!timing->startDate())
            continue;
        if (!earliest || *timing->startDate() < *earliest->startDate())
            earliest = timing;
    }
    return earliest;
}

bool fillIdentityAndDays(ZRCDTask& task) {
    bool changed = false;
    if (!task.taskName() || task.taskName()->empty()) {
        task.setTaskName(std::string(kRecoveredTask));
        changed = true;
    }
    if (!task.uuid() || task.uuid()->empty()) {
        task.setUuid(makeUuid());
        changed = true;
    }
    if (task.createdDay() <= 0) {
        ZRYearMonthDay day = 0;
        if (task.date()) {
            day = date_additions::zrYearMonthDayFromZRDate(date_additions::zrDate(task.date()));
        } else if (ZRCDTiming* first = earliestTiming(task); first && first->firstTimingSet()) {
            day = first->firstTimingSet()->day();
        }
        if (day <= 0) {
            day = date_additions::zrYearMonthDayFromZRDate(
                date_additions::zrDate(Clock::current().now()));
        }
        task.setCreatedDay(day);
        changed = true;
    }
    if (!task.date()) {
        task.setDate(date_additions::noonOfDayFromZRYearMonthDay(task.createdDay()));
        changed = true;
    }
    if (!task.taskColor()) {
        task.setTaskColorTo(randomTaskColor());
        changed = true;
    }
    return changed;
}

bool unarchiveAboveUnarchived(ZRCDTask& task) {
    if (!task.isArchived())
        return false;
    const std::vector<ZRCDTask*> descendants = task_tree::descendants(&task);
    const bool anyUnarchived = std::any_of(descendants.begin(), descendants.end(),
                                           [](const ZRCDTask* d) { return !d->isArchived(); });
    if (!anyUnarchived)
        return false;
    task.setIsArchived(false);
    return true;
}

// A parent's own timings go to a new subtask that looks like the parent did.
bool moveParentTimingsToNewChild(ZRCDTask& parent, ManagedObjectContext& context) {
    if (parent.childTasks().empty() || parent.timings().empty() ||
        task_tree::numberOfAncestorTiers(&parent) >= 2) {
        return false;
    }
    ZRCDTask* child =
        ZRCDTask::createCoreDataTaskWithName(parent.taskName().value_or(""), false, context);
    child->setCreatedDay(parent.createdDay());
    child->setDate(parent.date());
    child->setTaskDescription(parent.taskDescription());
    child->setIsArchived(parent.isArchived());
    child->setRounding(parent.rounding());
    for (ZRCDOrigin* origin : child->origins().toVector()) {
        if (!parent.origins().contains(origin))
            child->removeOriginsObject(origin);
    }
    for (ZRCDOrigin* origin : parent.origins())
        child->addOriginsObject(origin);
    task_chain::makeChildOfTask(child, &parent);
    for (ZRCDTiming* timing : parent.timings().toVector())
        timing->setTask(child);
    return true;
}

}  // namespace

bool fixParentTaskTimingsAndArchive_inContext(ManagedObjectContext& context) {
    bool changed = false;
    ZRCDOrigin* ownOrigin = nullptr;
    auto origin = [&]() {
        if (!ownOrigin)
            ownOrigin = ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(
                kOriginTypeUser, context);
        return ownOrigin;
    };

    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context)) {
        changed |= fillIdentityAndDays(*task);
        changed |= unarchiveAboveUnarchived(*task);
        changed |= moveParentTimingsToNewChild(*task, context);
        if (task->origins().empty()) {
            task->addOriginsObject(origin());
            changed = true;
        }
    }
    for (ZRCDTiming* timing : ZRCDTiming::getAllTimings_inContext(context)) {
        if (!timing->origin()) {
            timing->setOrigin(origin());
            changed = true;
        }
    }
    return changed;
}

}  // namespace ravelong::task_tree_repairs

#include <algorithm>
#include <limits>

#include "core/model/ModelDefaultsKeys.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

// Tasks number in the hundreds or few thousands; most of these queries scan them.
std::vector<ZRCDTask*> tasksWhere(const ManagedObjectContext& context,
                                  std::function<bool(const ZRCDTask&)> predicate) {
    return context.fetch(FetchRequest<ZRCDTask>{std::move(predicate)});
}

std::size_t countTasksWhere(const ManagedObjectContext& context,
                            const std::function<bool(const ZRCDTask&)>& predicate) {
    return context.count<ZRCDTask>(predicate);
}

bool isLeaf(const ZRCDTask& task) {
    return task.childTasks().empty();
}

bool hasOriginOfType(const ZRCDTask& task, std::int16_t type) {
    for (const ZRCDOrigin* origin : task.origins()) {
        if (origin->type() == type)
            return true;
    }
    return false;
}

// The task, a child or a grandchild is archived: archived time lies somewhere below.
bool holdsArchivedTasks(const ZRCDTask& task) {
    if (task.isArchived())
        return true;
    for (const ZRCDTask* child : task.childTasks()) {
        if (child->isArchived())
            return true;
        for (const ZRCDTask* grandchild : child->childTasks()) {
            if (grandchild->isArchived())
                return true;
        }
    }
    return false;
}

bool isCheckedOrUnderCheckedTask(const ZRCDTask& task) {
    const ZRCDTask* parent = task.parentTask();
    const ZRCDTask* grandparent = parent ? parent->parentTask() : nullptr;
    return task.taskIsSelected() || (parent && parent->taskIsSelected()) ||
           (grandparent && grandparent->taskIsSelected());
}

std::int64_t showTasksSetting() {
    return UserDefaults::standard().integerForKey(kZRShowTasks, 2);
}

ZRCDTask* mostRecentlyUpdatedUnarchivedLeaf(const ManagedObjectContext& context) {
    ZRCDTask* latest = nullptr;
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
        if (task->isArchived() || !isLeaf(*task))
            continue;
        if (!latest || task->updatedDate().value_or(std::numeric_limits<double>::lowest()) >
                           latest->updatedDate().value_or(std::numeric_limits<double>::lowest())) {
            latest = task;
        }
    }
    return latest;
}

}  // namespace

bool ZRCDTask::passesArchiveFilter(const ZRCDTask& task, std::int64_t showTasks) {
    switch (showTasks) {
        case 1:
            return holdsArchivedTasks(task);
        case 2:
            return !task.isArchived();
        case 3:
            return true;
        default:
            return false;
    }
}

std::vector<ZRCDTask*> ZRCDTask::getAllTasks_inContext(const ManagedObjectContext& context) {
    return context.fetchAll<ZRCDTask>();
}

std::size_t ZRCDTask::numberOfTasks_inContext(const ManagedObjectContext& context) {
    return context.count<ZRCDTask>();
}

std::vector<ZRCDTask*> ZRCDTask::getAllUnarchivedTasks_inContext(
    const ManagedObjectContext& context) {
    return tasksWhere(context, [](const ZRCDTask& t) { return !t.isArchived(); });
}

std::size_t ZRCDTask::getCountOfTasksNotArchived_inContext(const ManagedObjectContext& context) {
    return countTasksWhere(context, [](const ZRCDTask& t) { return !t.isArchived(); });
}

std::vector<ZRCDTask*> ZRCDTask::getAllUnarchivedTier1Tasks_inContext(
    const ManagedObjectContext& context) {
    return tasksWhere(context,
                      [](const ZRCDTask& t) { return !t.parentTask() && !t.isArchived(); });
}

std::vector<ZRCDTask*> ZRCDTask::getAllTier1CoreDataTasks_inContext(
    const ManagedObjectContext& context) {
    return tasksWhere(context, [](const ZRCDTask& t) { return !t.parentTask(); });
}

std::size_t ZRCDTask::numberOfArchivedTasks_inContext(const ManagedObjectContext& context) {
    return countTasksWhere(context, [](const ZRCDTask& t) { return t.isArchived(); });
}

std::size_t ZRCDTask::numberOfSelectedTasks_inContext(const ManagedObjectContext& context) {
    return countTasksWhere(context, [](const ZRCDTask& t) { return t.taskIsSelected(); });
}

std::vector<ZRCDTask*> ZRCDTask::getAllTasksConsideringArchivedState_inContext(
    const ManagedObjectContext& context) {
    const std::int64_t showTasks = showTasksSetting();
    return tasksWhere(context,
                      [showTasks](const ZRCDTask& t) { return passesArchiveFilter(t, showTasks); });
}

std::vector<ZRCDTask*> ZRCDTask::getAllTier1TasksConsideringArchivedState_inContext(
    const ManagedObjectContext& context) {
    const std::int64_t showTasks = showTasksSetting();
    return tasksWhere(context, [showTasks](const ZRCDTask& t) {
        return !t.parentTask() && passesArchiveFilter(t, showTasks);
    });
}

std::vector<ZRCDTask*> ZRCDTask::getAllCoreDataTasks_inContext(
    const ManagedObjectContext& context) {
    return getAllTasksConsideringArchivedState_inContext(context);
}

std::vector<ZRCDTask*> ZRCDTask::getSelectedCoreDataTasks_inContext(
    const ManagedObjectContext& context) {
    const std::int64_t showTasks = showTasksSetting();
    return tasksWhere(context, [showTasks](const ZRCDTask& t) {
        return t.taskIsSelected() && passesArchiveFilter(t, showTasks);
    });
}

std::vector<ZRCDTask*> ZRCDTask::getSelectedLeafTasks_inContext(
    const ManagedObjectContext& context) {
    const std::int64_t showTasks = showTasksSetting();
    return tasksWhere(context, [showTasks](const ZRCDTask& t) {
        return isLeaf(t) && isCheckedOrUnderCheckedTask(t) && passesArchiveFilter(t, showTasks);
    });
}

ZRCDTask* ZRCDTask::getMostRecentUnarchivedLeafTask_inContext(const ManagedObjectContext& context) {
    return mostRecentlyUpdatedUnarchivedLeaf(context);
}

ZRCDTask* ZRCDTask::getLastModifiedUnarchivedLeafTask_inContext(
    const ManagedObjectContext& context) {
    return mostRecentlyUpdatedUnarchivedLeaf(context);
}

ZRCDTask* ZRCDTask::getCoreDataTaskWithUUID(std::string_view uuid,
                                            const ManagedObjectContext& context) {
    return context.firstObjectWithValue<ZRCDTask>(kUuid, Value(std::string(uuid)));
}

bool ZRCDTask::taskWithUUIDExists(std::string_view uuid, const ManagedObjectContext& context) {
    return getCoreDataTaskWithUUID(uuid, context) != nullptr;
}

ZRCDTask* ZRCDTask::getCoreDataTaskWithUUIDOrUID(std::string_view uuidOrUID,
                                                 const ManagedObjectContext& context) {
    if (uuidOrUID.empty())
        return nullptr;
    if (ZRCDTask* task = getCoreDataTaskWithUUID(uuidOrUID, context))
        return task;
    // An older identifier must equal one of the task's uids as a whole: "12" is not "112".
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
        if (!task->uids() || task->uids()->find(uuidOrUID) == std::string::npos)
            continue;
        const std::vector<std::string> identifiers = task->getUUIDandUIDs();
        if (std::find(identifiers.begin(), identifiers.end(), uuidOrUID) != identifiers.end())
            return task;
    }
    return nullptr;
}

bool ZRCDTask::taskWithUUIDOrUIDExists(std::string_view uuidOrUID,
                                       const ManagedObjectContext& context) {
    return getCoreDataTaskWithUUIDOrUID(uuidOrUID, context) != nullptr;
}

std::vector<ZRCDTask*> ZRCDTask::getTasksWithName(std::string_view name, bool includeArchived,
                                                  const ManagedObjectContext& context) {
    return tasksWhere(context, [&](const ZRCDTask& t) {
        return t.taskName() == name && (includeArchived || !t.isArchived());
    });
}

ZRCDTask* ZRCDTask::getTier1TaskWithName_andOrigin(std::string_view name, std::int16_t originType,
                                                   const ManagedObjectContext& context) {
    auto found = tasksWhere(context, [&](const ZRCDTask& t) {
        return t.taskName() == name && !t.parentTask() && hasOriginOfType(t, originType);
    });
    return found.empty() ? nullptr : found.back();
}

ZRCDTask* ZRCDTask::getTaskWithName_andParentTask_andOrigin(std::string_view name,
                                                            const ZRCDTask* parentTask,
                                                            std::int16_t originType,
                                                            const ManagedObjectContext& context) {
    if (!parentTask || !parentTask->uuid())
        return nullptr;
    auto found = tasksWhere(context, [&](const ZRCDTask& t) {
        return t.taskName() == name && t.parentTask() &&
               t.parentTask()->uuid() == parentTask->uuid() && hasOriginOfType(t, originType);
    });
    return found.empty() ? nullptr : found.back();
}

std::vector<ZRCDTask*> ZRCDTask::getTasksThatHaveRunningTimings_inContext(
    const ManagedObjectContext& context) {
    std::vector<ZRCDTask*> tasks;
    for (ZRCDTiming* timing :
         ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context)) {
        ZRCDTask* task = timing->task();
        if (task && std::find(tasks.begin(), tasks.end(), task) == tasks.end())
            tasks.push_back(task);
    }
    return tasks;
}

std::pair<ZRYearMonthDay, ZRYearMonthDay> ZRCDTask::getEarliestAndLatestZRYearMonthDayOfTasks(
    const std::vector<ZRCDTask*>& tasks, const ManagedObjectContext&) {
    ZRYearMonthDay earliest = 0;
    ZRYearMonthDay latest = 0;
    auto visit = [&](const ZRCDTask* task) {
        for (const ZRCDTimingSet* set : task->timingSets()) {
            if (set->day() <= 0)
                continue;
            if (earliest == 0 || set->day() < earliest)
                earliest = set->day();
            if (set->day() > latest)
                latest = set->day();
        }
    };
    for (const ZRCDTask* task : tasks) {
        visit(task);
        for (const ZRCDTask* child : task->childTasks()) {
            visit(child);
            for (const ZRCDTask* grandchild : child->childTasks())
                visit(grandchild);
        }
    }
    return {earliest, latest};
}

}  // namespace ravelong

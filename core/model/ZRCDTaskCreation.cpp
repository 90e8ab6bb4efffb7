#include "core/calendar/DayNumbers.h"
#include "core/model/ContextSaving.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Uuid.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

bool isDescendantOf(const ZRCDTask* task, const ZRCDTask* ancestor) {
    for (int tier = 0; task && tier < 3; ++tier) {
        task = task->parentTask();
        if (task == ancestor)
            return true;
    }
    return false;
}

// The first task without a predecessor (or without a successor) other than `except`. A sound
// chain has exactly one of each; when a merge left several, the chain repair joins them later.
ZRCDTask* chainEnd(const ManagedObjectContext& context, const ZRCDTask* except, bool head) {
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
        if (task != except && (head ? task->prevTask() : task->nextTask()) == nullptr)
            return task;
    }
    return nullptr;
}

void linkAfter(ZRCDTask* task, ZRCDTask* predecessor) {
    ZRCDTask* successor = predecessor->nextTask();
    task->setPrevTask(predecessor);  // also unlinks the old successor from the predecessor
    if (successor && successor != task)
        task->setNextTask(successor);
}

// Tree order in the chain: a child goes after its parent's last descendant, a new tier-1 task
// after the last task of all.
void placeImportedTask(ZRCDTask* task, ManagedObjectContext& context) {
    ZRCDTask* predecessor = nullptr;
    if (ZRCDTask* parent = task->parentTask()) {
        predecessor = parent;
        const std::size_t limit = context.count<ZRCDTask>();
        std::size_t steps = 0;
        for (ZRCDTask* next = parent->nextTask();
             next && next != task && ++steps <= limit && isDescendantOf(next, parent);
             next = next->nextTask()) {
            predecessor = next;
        }
    } else {
        predecessor = chainEnd(context, task, false);
    }
    if (predecessor)
        linkAfter(task, predecessor);
}

void setNewTaskFlags(ZRCDTask* task) {
    task->setIsVisibleInMenuBar(true);
    task->setIsVisibleInDataSelection(true);
    task->setIsVisibleDuringSearch(false);
    task->setTaskIsSelected(true);
}

void setCreation(ZRCDTask* task, Instant created) {
    task->setCreatedDay(date_additions::zrYearMonthDayFromZRDate(date_additions::zrDate(created)));
    task->setDate(created);
}

}  // namespace

ZRCDTask* ZRCDTask::createCoreDataTaskWithName(std::string name, bool saveContext,
                                               ManagedObjectContext& context) {
    ZRCDTask* formerTop = chainEnd(context, nullptr, true);
    auto* task = context.insertNewObject<ZRCDTask>();
    task->setUuid(makeUuid());
    task->setTaskName(std::move(name));
    setCreation(task, Clock::current().now());
    task->setTaskColorTo(randomTaskColor());
    if (formerTop)
        task->setNextTask(formerTop);
    setNewTaskFlags(task);
    task->setIsArchived(false);
    task->addOriginsObject(
        ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(kOriginTypeUser, context));
    context.processPendingChanges();
    if (saveContext)
        saveThroughDelegateLoggingFailure(context, "createCoreDataTaskWithName");
    return task;
}

ZRCDTask* ZRCDTask::createCoreDataTaskImportWithName(std::string name,
                                                     std::optional<Instant> createdDate,
                                                     ZRCDTask* parentTask, std::int16_t originType,
                                                     ManagedObjectContext& context) {
    if (parentTask && (parentTask->managedObjectContext() != &context || parentTask->isDeleted())) {
        logError("createCoreDataTaskImportWithName", "the parent task is not of this context");
        return nullptr;
    }
    auto* task = context.insertNewObject<ZRCDTask>();
    task->setUuid(makeUuid());
    task->setTaskName(std::move(name));
    setCreation(task, createdDate.value_or(Clock::current().now()));
    task->setTaskColorTo(randomTaskColor());
    setNewTaskFlags(task);
    task->setIsArchived(false);
    if (parentTask)
        task->setParentTask(parentTask);
    task->addOriginsObject(
        ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(originType, context));
    placeImportedTask(task, context);
    return task;
}

ZRCDTask* ZRCDTask::createCoreDataTaskImportWithValues(const ImportedTaskValues& values,
                                                       ManagedObjectContext& context) {
    auto foreign = [&](const ManagedObject* object) {
        return object && (object->managedObjectContext() != &context || object->isDeleted());
    };
    bool refused = foreign(values.parentTask);
    for (const ZRCDOrigin* origin : values.origins)
        refused = refused || foreign(origin);
    if (refused) {
        logError("createCoreDataTaskImport", "a related record is not of this context");
        return nullptr;
    }

    auto* task = context.insertNewObject<ZRCDTask>();
    task->setUuid(values.uuid && !values.uuid->empty() ? *values.uuid : makeUuid());
    if (values.uids && !values.uids->empty())
        task->setUids(values.uids);
    task->setTaskName(values.taskName);
    task->setCreatedDay(values.createdDay);
    task->setDate(values.date);
    task->setTaskDescription(values.taskDescription);
    if (values.color)
        task->setTaskColorTo(*values.color);
    setNewTaskFlags(task);
    task->setIsArchived(values.isArchived);
    task->setRounding(values.rounding);
    if (values.parentTask)
        task->setParentTask(values.parentTask);
    for (ZRCDOrigin* origin : values.origins) {
        if (origin)
            task->addOriginsObject(origin);
    }
    placeImportedTask(task, context);
    return task;
}

}  // namespace ravelong

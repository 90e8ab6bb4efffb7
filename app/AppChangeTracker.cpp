#include "app/AppChangeTracker.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "app/ZRUserDefaults2.h"
#include "core/chain/TaskChain.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/tree/MenuBarSearchUpdater.h"
#include "foundation/Instant.h"

namespace ravelong {

namespace {

// Room for a typical save; the sets grow beyond it when a bulk change names more tasks.
constexpr auto kInitialCapacities = std::to_array<std::size_t>({20, 20, 20, 20, 10, 10, 10});
static_assert(kInitialCapacities.size() == AppChangeTracker::kTaskSetCount,
              "one initial capacity for each set of tasks");

bool changed(const ManagedObject& object, int property) {
    return (object.changedMask() >> property) & 1u;
}

template <class T>
bool isA(const ManagedObject& object) {
    return &object.entity() == &T::entityDescription();
}

// The record a to-one relationship pointed at when the object was last saved: for a deleted
// record (whose relationships are already cleared) and for one that was moved.
template <class T>
T* committedTarget(const ManagedObject& object, int property) {
    if (const Value* value = object.committedValue(property)) {
        if (const auto* target = std::get_if<ManagedObject*>(value))
            return static_cast<T*>(*target);
    }
    return nullptr;
}

template <class Field>
Field committedOr(const ManagedObject& object, int property, Field current) {
    if (const Value* value = object.committedValue(property))
        return value_conversion::fromValue<Field>(*value);
    return current;
}

bool committedEndWasRunning(const ZRCDTiming& timing) {
    if (const Value* value = timing.committedValue(ZRCDTiming::kEndDate)) {
        const auto* end = std::get_if<double>(value);
        return end && *end == kSentinelDate;
    }
    return timing.running();
}

bool roundsOnItsOwn(std::int16_t code) {
    return code > 100;
}

}  // namespace

void AppChangeTracker::OrderedTasks::add(ZRCDTask* task, bool byUUID) {
    if (!task)
        return;
    if (byUUID) {
        if (task->uuid() && uuidMembers.insert(*task->uuid()).second)
            uuids.push_back(*task->uuid());
        return;
    }
    if (members.insert(task).second)
        tasks.push_back(task);
}

void AppChangeTracker::OrderedTasks::clear(std::size_t capacity) {
    tasks.clear();
    members.clear();
    uuids.clear();
    uuidMembers.clear();
    if (tasks.capacity() < capacity)
        tasks.reserve(capacity);
}

AppChangeTracker::AppChangeTracker() {
    reset();
}

void AppChangeTracker::addTask(TaskSet set, ZRCDTask* task) {
    sets_[static_cast<std::size_t>(set)].add(task, useUUIDs_);
}

void AppChangeTracker::addRowTask(ZRCDTask* task) {
    rowTasks_.add(task, useUUIDs_);
}

void AppChangeTracker::processInsertedObjects(const std::vector<ManagedObject*>& inserted,
                                              const std::vector<ManagedObject*>& deleted,
                                              const std::vector<ManagedObject*>& updated,
                                              bool useUUIDs) {
    useUUIDs_ = useUUIDs;
    auto process = [this](ManagedObject* object, bool isInserted, bool isDeleted) {
        if (!object)
            return;
        if (isA<ZRCDTask>(*object)) {
            processTask(object, isInserted, isDeleted);
        } else if (isA<ZRCDTiming>(*object)) {
            processTiming(object, isInserted, isDeleted);
        } else if (isA<ZRCDTimingSet>(*object)) {
            if (isInserted || isDeleted || changed(*object, ZRCDTimingSet::kDuration) ||
                changed(*object, ZRCDTimingSet::kTask))
                processTimingSet(object, isDeleted);
        } else if (isA<ZRCDPreferences>(*object)) {
            flags.synchronizedPreferences = true;
            // Another cut-off hour moves every day boundary: all day totals change.
            if (isInserted || isDeleted || changed(*object, ZRCDPreferences::kNewDay)) {
                flags.statusItemTime = true;
                flags.menuBarTotalTime = true;
                flags.datePicker = true;
                flags.dataDisplay = true;
            }
        }
        // Origins and export settings are shown nowhere that a save must refresh.
    };
    for (ManagedObject* object : inserted)
        process(object, true, false);
    for (ManagedObject* object : deleted)
        process(object, false, true);
    for (ManagedObject* object : updated)
        process(object, false, false);
    useUUIDs_ = false;
}

void AppChangeTracker::processTask(ManagedObject* object, bool inserted, bool deleted) {
    auto* task = static_cast<ZRCDTask*>(object);
    if (inserted || deleted) {
        flags.tasksAddedOrDeleted = true;
        flags.taskOrder = true;
        flags.recalculateConsideredTasks = true;
        const std::int16_t rounding = committedOr(*task, ZRCDTask::kRounding, task->rounding());
        if (roundsOnItsOwn(rounding)) {
            flags.roundingChanged = true;
            (inserted ? flags.roundingAdded : flags.roundingDeleted) = true;
        }
        if (deleted) {
            // The parent's row and totals no longer count the deleted subtask.
            ZRCDTask* parent = committedTarget<ZRCDTask>(*task, ZRCDTask::kParentTask);
            addTask(TaskSet::changedTotalTime, parent ? parent : task->parentTask());
        }
        return;
    }

    if (changed(*task, ZRCDTask::kTaskName)) {
        flags.taskNames = true;
        addRowTask(task);
    }
    if (changed(*task, ZRCDTask::kTaskColor)) {
        flags.taskColors = true;
        addTask(TaskSet::changedColor, task);
    }
    if (changed(*task, ZRCDTask::kIsArchived)) {
        flags.archivedState = true;
        flags.taskOrder = true;
        flags.recalculateConsideredTasks = true;
        addTask(TaskSet::changedArchivedStatus, task);
    }
    if (changed(*task, ZRCDTask::kTaskIsSelected))
        flags.consideredTasksChanged = true;
    if (changed(*task, ZRCDTask::kIsVisibleInDataSelection)) {
        flags.taskOrder = true;
        flags.recalculateConsideredTasks = true;
    }
    if (changed(*task, ZRCDTask::kParentTask)) {
        // Moved in the tree: full names, the lists and both parents' totals change.
        flags.taskNames = true;
        flags.taskOrder = true;
        flags.recalculateConsideredTasks = true;
        addTask(TaskSet::changedTotalTime, task);
        addTask(TaskSet::changedTotalTime, committedTarget<ZRCDTask>(*task, ZRCDTask::kParentTask));
    }
    if (changed(*task, ZRCDTask::kPrevTask) || changed(*task, ZRCDTask::kNextTask))
        flags.taskOrder = true;
    if (changed(*task, ZRCDTask::kRounding)) {
        const std::int16_t before = committedOr(*task, ZRCDTask::kRounding, task->rounding());
        const std::int16_t after = task->rounding();
        if (before != after) {
            flags.roundingChanged = true;
            if (roundsOnItsOwn(after) && !roundsOnItsOwn(before))
                flags.roundingAdded = true;
            if (roundsOnItsOwn(before) && !roundsOnItsOwn(after))
                flags.roundingDeleted = true;
        }
    }
    if (changed(*task, ZRCDTask::kTimings))
        addTask(TaskSet::changedTimings, task);
    if (changed(*task, ZRCDTask::kTimingSets))
        addTask(TaskSet::changedTimingSets, task);
}

void AppChangeTracker::processTiming(ManagedObject* object, bool inserted, bool deleted) {
    auto* timing = static_cast<ZRCDTiming*>(object);
    // A deleted timing has lost its task already; the one it had at the last save is what the
    // interface shows.
    ZRCDTask* committedTask = committedTarget<ZRCDTask>(*timing, ZRCDTiming::kTask);
    ZRCDTask* task = deleted && committedTask ? committedTask : timing->task();

    if (inserted || deleted) {
        addTask(TaskSet::changedTimings, task);
        addTask(TaskSet::changedTotalTime, task);
        const bool running = deleted ? committedEndWasRunning(*timing) : timing->running();
        if (running) {
            flags.runningTimings = true;
            addTask(TaskSet::changedRunningTimings, task);
        }
        if (deleted)
            flags.timingDeleted = true;
        if (inserted && timing->note() && !timing->note()->empty()) {
            flags.timingNotes = true;
            addTask(TaskSet::changedNotes, task);
        }
        return;
    }

    const bool runningNow = timing->running();
    if (changed(*timing, ZRCDTiming::kNote)) {
        flags.timingNotes = true;
        addTask(TaskSet::changedNotes, task);
    }
    if (changed(*timing, ZRCDTiming::kTask)) {
        for (ZRCDTask* side : {committedTask, task}) {
            addTask(TaskSet::changedTimings, side);
            addTask(TaskSet::changedTotalTime, side);
            if (runningNow || committedEndWasRunning(*timing))
                addTask(TaskSet::changedRunningTimings, side);
        }
        if (runningNow || committedEndWasRunning(*timing))
            flags.runningTimings = true;
    }
    const bool startChanged = changed(*timing, ZRCDTiming::kStartDate);
    const bool endChanged = changed(*timing, ZRCDTiming::kEndDate);
    if (startChanged || endChanged) {
        addTask(TaskSet::changedTotalTime, task);
        // A stop, a restart, or a running timing whose start moved (its duration changed).
        if (runningNow || (endChanged && committedEndWasRunning(*timing))) {
            flags.runningTimings = true;
            addTask(TaskSet::changedRunningTimings, task);
        }
    }
}

void AppChangeTracker::processTimingSet(ManagedObject* object, bool deleted) {
    auto* timingSet = static_cast<ZRCDTimingSet*>(object);
    ZRCDTask* committedTask = committedTarget<ZRCDTask>(*timingSet, ZRCDTimingSet::kTask);
    ZRCDTask* task = timingSet->task();
    for (ZRCDTask* side : {committedTask, task}) {
        addTask(TaskSet::changedTotalTime, side);
        if (deleted || timingSet->isInserted() || changed(*timingSet, ZRCDTimingSet::kTask))
            addTask(TaskSet::changedTimingSets, side);
    }
}

void AppChangeTracker::resolveUUIDs(ManagedObjectContext& context) {
    auto resolve = [&context](OrderedTasks& set) {
        for (const std::string& uuid : set.uuids)
            set.add(ZRCDTask::getCoreDataTaskWithUUID(uuid, context), false);
        set.uuids.clear();
        set.uuidMembers.clear();
    };
    for (OrderedTasks& set : sets_)
        resolve(set);
    resolve(rowTasks_);
}

void AppChangeTracker::calculateUpdates_inContext(ManagedObjectContext& context) {
    resolveUUIDs(context);
    auto any = [this](TaskSet set) { return !tasks(set).empty(); };

    if (any(TaskSet::changedTotalTime) || any(TaskSet::changedRunningTimings) ||
        any(TaskSet::changedTimings)) {
        flags.statusItemTime = true;
        flags.menuBarTotalTime = true;
        flags.dataDisplay = true;
    }
    if (any(TaskSet::changedTimingSets)) {
        // Days gained or lost data: the calendar marks them.
        flags.datePicker = true;
        flags.dataDisplay = true;
    }
    if (any(TaskSet::changedColor))
        flags.datePicker = true;  // the calendar paints days in the tasks' colours
    if (any(TaskSet::changedArchivedStatus)) {
        // Totals may leave archived subtasks out.
        flags.statusItemTime = true;
        flags.menuBarTotalTime = true;
        flags.datePicker = true;
        flags.dataDisplay = true;
    }
    if (flags.consideredTasksChanged) {
        flags.datePicker = true;
        flags.dataDisplay = true;
    }
    calculateRows(context);
}

void AppChangeTracker::calculateRows(ManagedObjectContext& context) {
    rowsToReload_.clear();

    std::unordered_set<const ZRCDTask*> concerned;
    auto withAncestors = [&concerned](const ZRCDTask* task) {
        // Three tiers at most; the bound also stops a damaged tree that loops.
        for (int tier = 0; task && tier < 3; ++tier, task = task->parentTask())
            concerned.insert(task);
    };
    for (TaskSet set : {TaskSet::changedTotalTime, TaskSet::changedRunningTimings,
                        TaskSet::changedTimings, TaskSet::changedArchivedStatus}) {
        for (const ZRCDTask* task : tasks(set))
            withAncestors(task);
    }
    for (const ZRCDTask* task : tasks(TaskSet::changedColor))
        concerned.insert(task);
    for (const ZRCDTask* task : rowTasks_.tasks)
        concerned.insert(task);
    if (concerned.empty())
        return;

    const std::string searchTerm = MenuBarSearchUpdater::normalizedSearchTerm(
        ZRUserDefaults2::menuBarSearchTerm().value_or(""));
    std::vector<ZRCDTask*> listed;
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context)) {
        if (task->isArchived())
            continue;
        if (searchTerm.empty() ? task->isVisibleInMenuBar() : task->isVisibleDuringSearch())
            listed.push_back(task);
    }
    listed = task_chain::sortArrayOfTasksByViewPosition(listed, context);
    for (std::size_t row = 0; row < listed.size(); ++row) {
        if (concerned.count(listed[row]))
            rowsToReload_.push_back(static_cast<int>(row));
    }
}

void AppChangeTracker::forgetTasks() {
    for (std::size_t i = 0; i < sets_.size(); ++i)
        sets_[i].clear(kInitialCapacities[i]);
    rowTasks_.clear(10);
    rowsToReload_.clear();
}

void AppChangeTracker::clearRunningTimingTasks() {
    const auto index = static_cast<std::size_t>(TaskSet::changedRunningTimings);
    sets_[index].clear(kInitialCapacities[index]);
}

void AppChangeTracker::reset() {
    forgetTasks();
    flags = Flags{};
}

}  // namespace ravelong

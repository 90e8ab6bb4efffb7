#include "scripting/ZRScriptApplication.h"

#include <algorithm>
#include <set>

#include "core/chain/ChainTreeChanges.h"
#include "core/chain/NamedUndoGroup.h"
#include "core/chain/TaskTree.h"
#include "core/model/ContextSaving.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/tree/TreeTexts.h"
#include "scripting/ScriptTexts.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

// The bounds of a date range left open on one side.
constexpr Instant kDistantPast = -63114076800.0;
constexpr Instant kDistantFuture = 63113904000.0;

// A timing shorter than this is not worth keeping (the same rule as a stop).
constexpr double kShortestTiming = 10.0;

std::vector<std::string> uuidsOf(const std::vector<ZRCDTask*>& tasks) {
    std::vector<std::string> ids;
    ids.reserve(tasks.size());
    for (const ZRCDTask* task : tasks)
        ids.push_back(task->uuid().value_or(""));
    return ids;
}

void sortByStart(std::vector<ZRCDTiming*>& timings) {
    std::stable_sort(timings.begin(), timings.end(), [](const ZRCDTiming* a, const ZRCDTiming* b) {
        return a->startDate().value_or(kDistantPast) < b->startDate().value_or(kDistantPast);
    });
}

}  // namespace

ZRScriptApplication::ZRScriptApplication(ManagedObjectContext& context,
                                         ZRTimerControllerOSX& timerController,
                                         bool userScriptFound)
    : context_(context), timerController_(timerController), userScriptFound_(userScriptFound) {}

std::vector<ZRScriptTask> ZRScriptApplication::tasks() const {
    std::vector<ZRScriptTask> result;
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context_))
        result.push_back(ZRScriptTask::initWithoutCreation(task));
    return result;
}

std::vector<std::string> ZRScriptApplication::runningTaskIDs() const {
    return uuidsOf(ZRCDTask::getTasksThatHaveRunningTimings_inContext(context_));
}

std::optional<ZRScriptTask> ZRScriptApplication::taskWithID(const std::string& uuidOrUID) const {
    ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUIDOrUID(uuidOrUID, context_);
    if (!task)
        return std::nullopt;
    return ZRScriptTask::initWithoutCreation(task);
}

std::optional<ZRScriptTiming> ZRScriptApplication::timingWithID(const std::string& uuid) const {
    ZRCDTiming* timing = ZRCDTiming::getCoreDataTimingWithUUID(uuid, context_);
    if (!timing)
        return std::nullopt;
    return ZRScriptTiming::initWithoutCreation(timing);
}

ZRScriptTask ZRScriptApplication::makeNewTask() {
    return ZRScriptTask::createNew(context_);
}

bool ZRScriptApplication::reportMissingArguments(const std::optional<ScriptArguments>& arguments) {
    if (arguments) {
        scriptError_ = {};
        return false;
    }
    scriptError_ = {kScriptParameterErrorNumber, std::string(kScriptParameterErrorText)};
    return true;
}

bool ZRScriptApplication::createTask(const std::optional<ScriptArguments>& arguments) {
    if (reportMissingArguments(arguments)) {
        previousTask_.reset();
        return false;
    }
    const std::string name =
        script_values::text(arguments, kArgName).value_or(std::string(kUntitledTask));
    ZRCDTask* parent = nullptr;
    if (const auto parentID = script_values::text(arguments, kArgParentTaskID)) {
        parent = ZRCDTask::getCoreDataTaskWithUUIDOrUID(*parentID, context_);
        // A parent may take children only while it has no timings of its own and the child
        // would not be a fourth tier.
        if (!parent || !parent->timings().empty() || task_tree::numberOfAncestorTiers(parent) >= 2)
            return false;
    }
    const auto description = script_values::text(arguments, kArgDescription);

    context_.processPendingChanges();
    NamedUndoGroup group(context_, kAddTaskScript);
    ZRCDTask* task = ZRCDTask::createCoreDataTaskWithName(name, false, context_);
    if (parent)
        task_chain::makeChildOfTask(task, parent);
    if (description && !description->empty())
        task->setTaskDescription(*description);
    group.close();
    saveThroughDelegateLoggingFailure(context_, "adding a task by script");
    previousTask_ = ZRScriptTask::initWithoutCreation(task);
    return true;
}

bool ZRScriptApplication::createTiming(const std::optional<ScriptArguments>& arguments) {
    previousTiming_.reset();
    if (reportMissingArguments(arguments))
        return false;
    const auto taskID = script_values::text(arguments, kArgTaskID);
    const auto start = script_values::date(arguments, kArgStartDate);
    const auto end = script_values::date(arguments, kArgEndDate);
    if (!taskID || !start || !end)
        return false;
    ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUIDOrUID(*taskID, context_);
    if (!task || !task->childTasks().empty() || !(*end - kShortestTiming > *start))
        return false;
    std::optional<std::string> note = script_values::text(arguments, kArgNote);
    if (note && note->empty())
        note.reset();

    context_.processPendingChanges();
    NamedUndoGroup group(context_, kAddTimingScript);
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate(*start, *end, task, note, 0,
                                                                       std::nullopt, context_);
    group.close();
    if (!timing)
        return false;
    saveThroughDelegateLoggingFailure(context_, "adding a timing by script");
    previousTiming_ = ZRScriptTiming::initWithoutCreation(timing);
    return true;
}

bool ZRScriptApplication::toggleTask(const std::optional<ScriptArguments>& arguments) {
    if (reportMissingArguments(arguments))
        return false;
    const auto uuid = script_values::text(arguments, kDirectParameter);
    ZRCDTask* task = uuid ? ZRCDTask::getCoreDataTaskWithUUID(*uuid, context_) : nullptr;
    if (!task)
        return false;
    return timerController_.toggleTask(task, true);
}

bool ZRScriptApplication::getTaskIDs(const std::optional<ScriptArguments>& arguments) {
    scriptError_ = {};
    const bool includeArchived = script_values::flag(arguments, kArgIncludeArchived);
    if (const auto name = script_values::text(arguments, kArgName)) {
        previousTaskIDs_ = uuidsOf(ZRCDTask::getTasksWithName(*name, includeArchived, context_));
    } else {
        previousTaskIDs_ =
            uuidsOf(includeArchived ? ZRCDTask::getAllTasks_inContext(context_)
                                    : ZRCDTask::getAllUnarchivedTasks_inContext(context_));
    }
    return true;
}

bool ZRScriptApplication::getTaskWithID(const std::optional<ScriptArguments>& arguments) {
    previousTask_.reset();
    if (reportMissingArguments(arguments))
        return false;
    const auto id = script_values::text(arguments, kDirectParameter);
    if (!id)
        return false;
    previousTask_ = taskWithID(*id);
    return previousTask_.has_value();
}

bool ZRScriptApplication::getTimingIDs(const std::optional<ScriptArguments>& arguments) {
    scriptError_ = {};
    const bool includeArchived = script_values::flag(arguments, kArgIncludeArchived);
    const auto start = script_values::date(arguments, kArgStartDate);
    const auto end = script_values::date(arguments, kArgEndDate);
    const bool bounded = start || end;
    const Instant from = start.value_or(kDistantPast);
    const Instant to = end.value_or(kDistantFuture);

    std::vector<ZRCDTiming*> timings;
    if (const auto taskID = script_values::text(arguments, kArgTaskID)) {
        ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUID(*taskID, context_);
        if (task && (includeArchived || !task->isArchived())) {
            std::vector<ZRCDTask*> tasks{task};
            for (ZRCDTask* descendant : task_tree::descendants(task)) {
                if (includeArchived || !descendant->isArchived())
                    tasks.push_back(descendant);
            }
            for (ZRCDTask* member : tasks) {
                for (ZRCDTiming* timing : member->timings()) {
                    const auto startDate = timing->startDate();
                    if (!bounded || (startDate && *startDate >= from && *startDate <= to))
                        timings.push_back(timing);
                }
            }
        }
    } else if (bounded) {
        timings =
            ZRCDTiming::getAllTimingsWithStartDatesBetween(from, to, includeArchived, context_);
    } else {
        timings = includeArchived ? ZRCDTiming::getAllTimings_inContext(context_)
                                  : ZRCDTiming::getAllUnarchivedTimings_inContext(context_);
    }
    sortByStart(timings);
    previousTimingIDs_.clear();
    previousTimingIDs_.reserve(timings.size());
    for (const ZRCDTiming* timing : timings)
        previousTimingIDs_.push_back(timing->uuid().value_or(""));
    return true;
}

bool ZRScriptApplication::getTimingWithID(const std::optional<ScriptArguments>& arguments) {
    previousTiming_.reset();
    if (reportMissingArguments(arguments))
        return false;
    const auto uuid = script_values::text(arguments, kDirectParameter);
    ZRCDTiming* timing = uuid ? ZRCDTiming::getCoreDataTimingWithUUID(*uuid, context_) : nullptr;
    if (!timing)
        return false;
    previousTiming_ = ZRScriptTiming::initWithoutCreation(timing);
    return true;
}

}  // namespace ravelong

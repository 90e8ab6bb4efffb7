#include "core/model/ZRCDTask.h"

#include <algorithm>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "foundation/Clock.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

EntityDescription& ZRCDTask::entityDescription() {
    static EntityDescription description =
        EntityBuilder<ZRCDTask>("ZRCDTask")
            .attribute<&ZRCDTask::createdDay_>("createdDay", AttributeType::Int32)
            .attribute<&ZRCDTask::date_>("date", AttributeType::Date)
            .attribute<&ZRCDTask::updatedDate_>("updatedDate", AttributeType::Date)
            .attribute<&ZRCDTask::isArchived_>("isArchived", AttributeType::Bool)
            .attribute<&ZRCDTask::isVisibleDuringSearch_>("isVisibleDuringSearch",
                                                          AttributeType::Bool)
            .attribute<&ZRCDTask::isVisibleInDataSelection_>("isVisibleInDataSelection",
                                                             AttributeType::Bool)
            .attribute<&ZRCDTask::isVisibleInMenuBar_>("isVisibleInMenuBar", AttributeType::Bool)
            .attribute<&ZRCDTask::taskColor_>("taskColor", AttributeType::Data)
            .attribute<&ZRCDTask::taskDescription_>("taskDescription", AttributeType::String)
            .attribute<&ZRCDTask::taskIsSelected_>("taskIsSelected", AttributeType::Bool)
            .attribute<&ZRCDTask::taskName_>("taskName", AttributeType::String)
            .attribute<&ZRCDTask::uids_>("uids", AttributeType::String)
            .attribute<&ZRCDTask::uuid_>("uuid", AttributeType::String)
            .attribute<&ZRCDTask::running_>("running", AttributeType::Bool)
            .attribute<&ZRCDTask::rounding_>("rounding", AttributeType::Int16)
            .toOne<&ZRCDTask::parentTask_>("parentTask", "ZRCDTask", "childTasks", true)
            .toMany<&ZRCDTask::childTasks_>("childTasks", "ZRCDTask", "parentTask", false)
            .toMany<&ZRCDTask::origins_>("origins", "ZRCDOrigin", "tasks", true)
            .toMany<&ZRCDTask::timings_>("timings", "ZRCDTiming", "task", false)
            .toMany<&ZRCDTask::timingSets_>("timingSets", "ZRCDTimingSet", "task", false)
            .toOne<&ZRCDTask::prevTask_>("prevTask", "ZRCDTask", "nextTask", false)
            .toOne<&ZRCDTask::nextTask_>("nextTask", "ZRCDTask", "prevTask", true)
            // Look-ups by uuid (sync, scripting, restore) and of a task's subtasks.
            .index({"uuid"})
            .index({"parentTask"})
            .build();
    return description;
}

void ZRCDTask::setCreatedDay(std::int32_t value) {
    setAttribute(kCreatedDay, value_conversion::toValue(value));
}
void ZRCDTask::setDate(std::optional<Instant> value) {
    setAttribute(kDate, value_conversion::toValue(value));
    setUpdatedDate(Clock::current().now());
}
void ZRCDTask::setUpdatedDate(std::optional<Instant> value) {
    setAttribute(kUpdatedDate, value_conversion::toValue(value));
}
void ZRCDTask::setIsArchived(bool value) {
    setAttribute(kIsArchived, value_conversion::toValue(value));
}
void ZRCDTask::setIsVisibleDuringSearch(bool value) {
    setAttribute(kIsVisibleDuringSearch, value_conversion::toValue(value));
}
void ZRCDTask::setIsVisibleInDataSelection(bool value) {
    setAttribute(kIsVisibleInDataSelection, value_conversion::toValue(value));
}
void ZRCDTask::setIsVisibleInMenuBar(bool value) {
    setAttribute(kIsVisibleInMenuBar, value_conversion::toValue(value));
}
void ZRCDTask::setTaskColor(std::optional<Data> value) {
    setAttribute(kTaskColor, value_conversion::toValue(value));
}
void ZRCDTask::setTaskDescription(std::optional<std::string> value) {
    setAttribute(kTaskDescription, value_conversion::toValue(value));
}
void ZRCDTask::setTaskIsSelected(bool value) {
    setAttribute(kTaskIsSelected, value_conversion::toValue(value));
}
void ZRCDTask::setTaskName(std::optional<std::string> value) {
    setAttribute(kTaskName, value_conversion::toValue(value));
}
void ZRCDTask::setUids(std::optional<std::string> value) {
    setAttribute(kUids, value_conversion::toValue(value));
}
void ZRCDTask::setUuid(std::optional<std::string> value) {
    setAttribute(kUuid, value_conversion::toValue(value));
}
void ZRCDTask::setRunning(bool value) {
    setAttribute(kRunning, value_conversion::toValue(value));
}
void ZRCDTask::setRounding(std::int16_t value) {
    setAttribute(kRounding, value_conversion::toValue(value));
}
void ZRCDTask::setParentTask(ZRCDTask* value) {
    setToOne(kParentTask, value);
}
void ZRCDTask::addChildTasksObject(ZRCDTask* value) {
    addToMany(kChildTasks, value);
}
void ZRCDTask::removeChildTasksObject(ZRCDTask* value) {
    removeFromMany(kChildTasks, value);
}
void ZRCDTask::addOriginsObject(ZRCDOrigin* value) {
    addToMany(kOrigins, value);
}
void ZRCDTask::removeOriginsObject(ZRCDOrigin* value) {
    removeFromMany(kOrigins, value);
}
void ZRCDTask::addTimingsObject(ZRCDTiming* value) {
    addToMany(kTimings, value);
}
void ZRCDTask::removeTimingsObject(ZRCDTiming* value) {
    removeFromMany(kTimings, value);
}
void ZRCDTask::addTimingSetsObject(ZRCDTimingSet* value) {
    addToMany(kTimingSets, value);
}
void ZRCDTask::removeTimingSetsObject(ZRCDTimingSet* value) {
    removeFromMany(kTimingSets, value);
}
void ZRCDTask::setPrevTask(ZRCDTask* value) {
    setToOne(kPrevTask, value);
}
void ZRCDTask::setNextTask(ZRCDTask* value) {
    setToOne(kNextTask, value);
}

// --- Names, identifiers, colour ----------------------------------------------------------

std::vector<std::string> ZRCDTask::taskNameArray() const {
    // The tree has at most three tiers; the bound also ends a parent loop a damaged store
    // might hold.
    std::vector<std::string> names;
    const ZRCDTask* task = this;
    for (int tier = 0; task && tier < 3; ++tier, task = task->parentTask()) {
        names.push_back(task->taskName().value_or(""));
    }
    std::reverse(names.begin(), names.end());
    return names;
}

std::string ZRCDTask::getFullTaskName() const {
    static constexpr std::string_view kLeadingMark = "\uFE46";
    static constexpr std::string_view kTierSeparator = " \u276F ";
    std::string name(kLeadingMark);
    const std::vector<std::string> names = taskNameArray();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            name += kTierSeparator;
        name += names[i];
    }
    return name;
}

int ZRCDTask::viewPosition() const {
    const ManagedObjectContext* context = managedObjectContext();
    const std::size_t limit = context ? context->count<ZRCDTask>() : 0;
    int steps = 0;
    for (const ZRCDTask* task = prevTask(); task; task = task->prevTask()) {
        if (static_cast<std::size_t>(++steps) > limit)
            return -1;
    }
    return steps;
}

namespace {

std::vector<std::string> splitUIDs(const std::optional<std::string>& uids) {
    std::vector<std::string> parts;
    if (!uids)
        return parts;
    std::string_view text = *uids;
    while (true) {
        const std::size_t found = text.find(ZRCDTask::kUIDSeparator);
        std::string_view part = text.substr(0, found);
        if (!part.empty())
            parts.emplace_back(part);
        if (found == std::string_view::npos)
            break;
        text.remove_prefix(found + ZRCDTask::kUIDSeparator.size());
    }
    return parts;
}

}  // namespace

bool ZRCDTask::addUID(std::string_view uid) {
    if (uid.empty() || uid.find(kUIDSeparator) != std::string_view::npos)
        return false;
    std::string joined = uids_.value_or("");
    if (!joined.empty())
        joined += kUIDSeparator;
    joined += uid;
    setUids(std::move(joined));
    return true;
}

std::vector<std::string> ZRCDTask::getUUIDandUIDs() const {
    std::vector<std::string> identifiers;
    if (uuid_)
        identifiers.push_back(*uuid_);
    for (std::string& uid : splitUIDs(uids_))
        identifiers.push_back(std::move(uid));
    return identifiers;
}

int ZRCDTask::numberOfUIDs() const {
    return static_cast<int>(splitUIDs(uids_).size());
}

TaskColor ZRCDTask::getTaskColor() const {
    return decodeTaskColor(taskColor_);
}

void ZRCDTask::setTaskColorTo(const TaskColor& color) {
    setTaskColor(encodeTaskColor(color));
}

std::string ZRCDTask::getOriginNames() const {
    std::string names;
    for (const ZRCDOrigin* origin : origins()) {
        if (!names.empty())
            names += ", ";
        names += ZRCDOrigin::nameForOriginType(origin->type());
    }
    return names;
}

}  // namespace ravelong

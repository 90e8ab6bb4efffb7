#include "core/model/ZRCDTask.h"

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"

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
            .build();
    return description;
}

void ZRCDTask::setCreatedDay(std::int32_t value) {
    setAttribute(kCreatedDay, value_conversion::toValue(value));
}
void ZRCDTask::setDate(std::optional<Instant> value) {
    setAttribute(kDate, value_conversion::toValue(value));
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

}  // namespace ravelong

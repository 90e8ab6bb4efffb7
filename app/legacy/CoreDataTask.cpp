#include "app/legacy/CoreDataTask.h"

#include "app/legacy/CoreDataTimedEntry.h"
#include "app/legacy/CoreDataUniqueID.h"

namespace ravelong {

EntityDescription& CoreDataTask::entityDescription() {
    static EntityDescription description =
        EntityBuilder<CoreDataTask>("CoreDataTask")
            .attribute<&CoreDataTask::taskDescription_>("taskDescription", AttributeType::String)
            .attribute<&CoreDataTask::taskName_>("taskName", AttributeType::String)
            .attribute<&CoreDataTask::isVisibleInDataSelection_>("isVisibleInDataSelection",
                                                                 AttributeType::Bool)
            .attribute<&CoreDataTask::isVisibleDuringSearch_>("isVisibleDuringSearch",
                                                              AttributeType::Bool)
            .attribute<&CoreDataTask::isVisibleInMenuBar_>("isVisibleInMenuBar",
                                                           AttributeType::Bool)
            .attribute<&CoreDataTask::viewPosition_>("viewPosition", AttributeType::Int64)
            .attribute<&CoreDataTask::taskColor_>("taskColor", AttributeType::Data)
            .attribute<&CoreDataTask::taskIsSelected_>("taskIsSelected", AttributeType::Bool)
            .attribute<&CoreDataTask::createdDay_>("createdDay", AttributeType::Int32)
            .attribute<&CoreDataTask::taskID_>("taskID", AttributeType::Int64)
            .attribute<&CoreDataTask::isArchived_>("isArchived", AttributeType::Bool)
            .toOne<&CoreDataTask::parentTask_>("parentTask", "CoreDataTask", "childTasks", true)
            .toMany<&CoreDataTask::childTasks_>("childTasks", "CoreDataTask", "parentTask", false)
            .toMany<&CoreDataTask::timedEntries_>("timedEntries", "CoreDataTimedEntry", "task",
                                                  false)
            .toMany<&CoreDataTask::uniqueIDs_>("uniqueIDs", "CoreDataUniqueID", "task", false)
            .build();
    return description;
}

void CoreDataTask::setTaskDescription(std::optional<std::string> value) {
    setAttribute(kTaskDescription, value_conversion::toValue(value));
}
void CoreDataTask::setTaskName(std::optional<std::string> value) {
    setAttribute(kTaskName, value_conversion::toValue(value));
}
void CoreDataTask::setIsVisibleInDataSelection(bool value) {
    setAttribute(kIsVisibleInDataSelection, value_conversion::toValue(value));
}
void CoreDataTask::setIsVisibleDuringSearch(bool value) {
    setAttribute(kIsVisibleDuringSearch, value_conversion::toValue(value));
}
void CoreDataTask::setIsVisibleInMenuBar(bool value) {
    setAttribute(kIsVisibleInMenuBar, value_conversion::toValue(value));
}
void CoreDataTask::setViewPosition(std::int64_t value) {
    setAttribute(kViewPosition, value_conversion::toValue(value));
}
void CoreDataTask::setTaskColor(std::optional<Data> value) {
    setAttribute(kTaskColor, value_conversion::toValue(value));
}
void CoreDataTask::setTaskIsSelected(bool value) {
    setAttribute(kTaskIsSelected, value_conversion::toValue(value));
}
void CoreDataTask::setCreatedDay(std::int32_t value) {
    setAttribute(kCreatedDay, value_conversion::toValue(value));
}
void CoreDataTask::setTaskID(std::int64_t value) {
    setAttribute(kTaskID, value_conversion::toValue(value));
}
void CoreDataTask::setIsArchived(bool value) {
    setAttribute(kIsArchived, value_conversion::toValue(value));
}
void CoreDataTask::setParentTask(CoreDataTask* value) {
    setToOne(kParentTask, value);
}

}  // namespace ravelong

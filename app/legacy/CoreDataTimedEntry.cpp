#include "app/legacy/CoreDataTimedEntry.h"

#include "app/legacy/CoreDataTask.h"
#include "app/legacy/CoreDataUniqueID.h"

namespace ravelong {

EntityDescription& CoreDataTimedEntry::entityDescription() {
    static EntityDescription description =
        EntityBuilder<CoreDataTimedEntry>("CoreDataTimedEntry")
            .attribute<&CoreDataTimedEntry::absDay_>("absDay", AttributeType::Int32)
            .attribute<&CoreDataTimedEntry::duration_>("duration", AttributeType::Double)
            .attribute<&CoreDataTimedEntry::day_>("day", AttributeType::Int32)
            .attribute<&CoreDataTimedEntry::endDate_>("endDate", AttributeType::Date)
            .attribute<&CoreDataTimedEntry::maxDate_>("maxDate", AttributeType::Date)
            .attribute<&CoreDataTimedEntry::notes_>("notes", AttributeType::String)
            .attribute<&CoreDataTimedEntry::startDate_>("startDate", AttributeType::Date)
            .attribute<&CoreDataTimedEntry::timezoneOffset_>("timezoneOffset", AttributeType::Int64)
            .attribute<&CoreDataTimedEntry::fullTaskName_>("fullTaskName", AttributeType::String)
            .attribute<&CoreDataTimedEntry::taskNameArray_>("taskNameArray", AttributeType::Data)
            .toOne<&CoreDataTimedEntry::task_>("task", "CoreDataTask", "timedEntries", true)
            .toMany<&CoreDataTimedEntry::uniqueIDs_>("uniqueIDs", "CoreDataUniqueID", "timedEntry",
                                                     false)
            .build();
    return description;
}

void CoreDataTimedEntry::setAbsDay(std::int32_t value) {
    setAttribute(kAbsDay, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setDuration(double value) {
    setAttribute(kDuration, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setDay(std::int32_t value) {
    setAttribute(kDay, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setEndDate(std::optional<Instant> value) {
    setAttribute(kEndDate, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setMaxDate(std::optional<Instant> value) {
    setAttribute(kMaxDate, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setNotes(std::optional<std::string> value) {
    setAttribute(kNotes, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setStartDate(std::optional<Instant> value) {
    setAttribute(kStartDate, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setTimezoneOffset(std::int64_t value) {
    setAttribute(kTimezoneOffset, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setFullTaskName(std::optional<std::string> value) {
    setAttribute(kFullTaskName, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setTaskNameArray(std::optional<Data> value) {
    setAttribute(kTaskNameArray, value_conversion::toValue(value));
}
void CoreDataTimedEntry::setTask(CoreDataTask* value) {
    setToOne(kTask, value);
}

}  // namespace ravelong

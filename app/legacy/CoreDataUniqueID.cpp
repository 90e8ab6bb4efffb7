#include "app/legacy/CoreDataUniqueID.h"

#include "app/legacy/CoreDataTask.h"
#include "app/legacy/CoreDataTimedEntry.h"

namespace ravelong {

EntityDescription& CoreDataUniqueID::entityDescription() {
    static EntityDescription description =
        EntityBuilder<CoreDataUniqueID>("CoreDataUniqueID")
            .attribute<&CoreDataUniqueID::uid_>("uid", AttributeType::Int64)
            .attribute<&CoreDataUniqueID::tid_>("tid", AttributeType::Int64)
            .attribute<&CoreDataUniqueID::origin_>("origin", AttributeType::Int16)
            .attribute<&CoreDataUniqueID::timezoneOffset_>("timezoneOffset", AttributeType::Int32)
            .attribute<&CoreDataUniqueID::seconds_>("seconds", AttributeType::Double)
            .attribute<&CoreDataUniqueID::date_>("date", AttributeType::Date)
            .toOne<&CoreDataUniqueID::task_>("task", "CoreDataTask", "uniqueIDs", true)
            .toOne<&CoreDataUniqueID::timedEntry_>("timedEntry", "CoreDataTimedEntry", "uniqueIDs",
                                                   true)
            .build();
    return description;
}

void CoreDataUniqueID::setUid(std::int64_t value) {
    setAttribute(kUid, value_conversion::toValue(value));
}
void CoreDataUniqueID::setTid(std::int64_t value) {
    setAttribute(kTid, value_conversion::toValue(value));
}
void CoreDataUniqueID::setOrigin(std::int16_t value) {
    setAttribute(kOrigin, value_conversion::toValue(value));
}
void CoreDataUniqueID::setTimezoneOffset(std::int32_t value) {
    setAttribute(kTimezoneOffset, value_conversion::toValue(value));
}
void CoreDataUniqueID::setSeconds(double value) {
    setAttribute(kSeconds, value_conversion::toValue(value));
}
void CoreDataUniqueID::setDate(std::optional<Instant> value) {
    setAttribute(kDate, value_conversion::toValue(value));
}
void CoreDataUniqueID::setTask(CoreDataTask* value) {
    setToOne(kTask, value);
}
void CoreDataUniqueID::setTimedEntry(CoreDataTimedEntry* value) {
    setToOne(kTimedEntry, value);
}

}  // namespace ravelong

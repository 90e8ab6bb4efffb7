#include "core/model/ZRCDTiming.h"

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTimingSet.h"

namespace ravelong {

EntityDescription& ZRCDTiming::entityDescription() {
    static EntityDescription description =
        EntityBuilder<ZRCDTiming>("ZRCDTiming")
            .attribute<&ZRCDTiming::billing_>("billing", AttributeType::Int16)
            .attribute<&ZRCDTiming::endDate_>("endDate", AttributeType::Date)
            .attribute<&ZRCDTiming::note_>("note", AttributeType::String)
            .attribute<&ZRCDTiming::startDate_>("startDate", AttributeType::Date)
            .attribute<&ZRCDTiming::timezone_>("timezone", AttributeType::String)
            .attribute<&ZRCDTiming::newDayOffset_>("newDayOffset", AttributeType::Int32)
            .attribute<&ZRCDTiming::uuid_>("uuid", AttributeType::String)
            .attribute<&ZRCDTiming::modified_>("modified", AttributeType::Date)
            .toOne<&ZRCDTiming::origin_>("origin", "ZRCDOrigin", "timings", true)
            .toOne<&ZRCDTiming::task_>("task", "ZRCDTask", "timings", true)
            .toMany<&ZRCDTiming::timingSets_>("timingSets", "ZRCDTimingSet", "timings", true)
            .toOne<&ZRCDTiming::firstTimingSet_>("firstTimingSet", "ZRCDTimingSet", "firstTimings",
                                                 true)
            .build();
    return description;
}

void ZRCDTiming::setBilling(std::int16_t value) {
    setAttribute(kBilling, value_conversion::toValue(value));
}
void ZRCDTiming::setEndDate(std::optional<Instant> value) {
    setAttribute(kEndDate, value_conversion::toValue(value));
}
void ZRCDTiming::setNote(std::optional<std::string> value) {
    setAttribute(kNote, value_conversion::toValue(value));
}
void ZRCDTiming::setStartDate(std::optional<Instant> value) {
    setAttribute(kStartDate, value_conversion::toValue(value));
}
void ZRCDTiming::setTimezone(std::optional<std::string> value) {
    setAttribute(kTimezone, value_conversion::toValue(value));
}
void ZRCDTiming::setNewDayOffset(std::int32_t value) {
    setAttribute(kNewDayOffset, value_conversion::toValue(value));
}
void ZRCDTiming::setUuid(std::optional<std::string> value) {
    setAttribute(kUuid, value_conversion::toValue(value));
}
void ZRCDTiming::setModified(std::optional<Instant> value) {
    setAttribute(kModified, value_conversion::toValue(value));
}
void ZRCDTiming::setOrigin(ZRCDOrigin* value) {
    setToOne(kOrigin, value);
}
void ZRCDTiming::setTask(ZRCDTask* value) {
    setToOne(kTask, value);
}
void ZRCDTiming::addTimingSetsObject(ZRCDTimingSet* value) {
    addToMany(kTimingSets, value);
}
void ZRCDTiming::removeTimingSetsObject(ZRCDTimingSet* value) {
    removeFromMany(kTimingSets, value);
}
void ZRCDTiming::setFirstTimingSet(ZRCDTimingSet* value) {
    setToOne(kFirstTimingSet, value);
}

}  // namespace ravelong

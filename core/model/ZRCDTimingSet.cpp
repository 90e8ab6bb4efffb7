#include "core/model/ZRCDTimingSet.h"

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"

namespace ravelong {

EntityDescription& ZRCDTimingSet::entityDescription() {
    static EntityDescription description =
        EntityBuilder<ZRCDTimingSet>("ZRCDTimingSet")
            .attribute<&ZRCDTimingSet::absDay_>("absDay", AttributeType::Int32)
            .attribute<&ZRCDTimingSet::day_>("day", AttributeType::Int32)
            .attribute<&ZRCDTimingSet::duration_>("duration", AttributeType::Double)
            .attribute<&ZRCDTimingSet::roundedDuration_>("roundedDuration", AttributeType::Double)
            .attribute<&ZRCDTimingSet::cachedRounding_>("cachedRounding", AttributeType::Int16)
            .attribute<&ZRCDTimingSet::running_>("running", AttributeType::Bool)
            .attribute<&ZRCDTimingSet::fullTaskName_>("fullTaskName", AttributeType::String)
            .toOne<&ZRCDTimingSet::task_>("task", "ZRCDTask", "timingSets", true)
            .toMany<&ZRCDTimingSet::timings_>("timings", "ZRCDTiming", "timingSets", false)
            .toMany<&ZRCDTimingSet::firstTimings_>("firstTimings", "ZRCDTiming", "firstTimingSet",
                                                   false)
            .build();
    return description;
}

void ZRCDTimingSet::setAbsDay(std::int32_t value) {
    setAttribute(kAbsDay, value_conversion::toValue(value));
}
void ZRCDTimingSet::setDay(std::int32_t value) {
    setAttribute(kDay, value_conversion::toValue(value));
}
void ZRCDTimingSet::setDuration(double value) {
    setAttribute(kDuration, value_conversion::toValue(value));
}
void ZRCDTimingSet::setRoundedDuration(double value) {
    setAttribute(kRoundedDuration, value_conversion::toValue(value));
}
void ZRCDTimingSet::setCachedRounding(std::int16_t value) {
    setAttribute(kCachedRounding, value_conversion::toValue(value));
}
void ZRCDTimingSet::setRunning(bool value) {
    setAttribute(kRunning, value_conversion::toValue(value));
}
void ZRCDTimingSet::setFullTaskName(std::optional<std::string> value) {
    setAttribute(kFullTaskName, value_conversion::toValue(value));
}
void ZRCDTimingSet::setTask(ZRCDTask* value) {
    setToOne(kTask, value);
}
void ZRCDTimingSet::addTimingsObject(ZRCDTiming* value) {
    addToMany(kTimings, value);
}
void ZRCDTimingSet::removeTimingsObject(ZRCDTiming* value) {
    removeFromMany(kTimings, value);
}
void ZRCDTimingSet::addFirstTimingsObject(ZRCDTiming* value) {
    addToMany(kFirstTimings, value);
}
void ZRCDTimingSet::removeFirstTimingsObject(ZRCDTiming* value) {
    removeFromMany(kFirstTimings, value);
}

}  // namespace ravelong

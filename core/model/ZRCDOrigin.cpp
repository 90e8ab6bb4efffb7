#include "core/model/ZRCDOrigin.h"

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"

namespace ravelong {

EntityDescription& ZRCDOrigin::entityDescription() {
    static EntityDescription description =
        EntityBuilder<ZRCDOrigin>("ZRCDOrigin")
            .attribute<&ZRCDOrigin::device_>("device", AttributeType::String)
            .attribute<&ZRCDOrigin::udid_>("udid", AttributeType::String)
            .attribute<&ZRCDOrigin::deviceNameChanged_>("deviceNameChanged", AttributeType::Date)
            .attribute<&ZRCDOrigin::user_>("user", AttributeType::String)
            .attribute<&ZRCDOrigin::uid_>("uid", AttributeType::Int32)
            .attribute<&ZRCDOrigin::userNameChanged_>("userNameChanged", AttributeType::Date)
            .attribute<&ZRCDOrigin::type_>("type", AttributeType::Int16)
            .toMany<&ZRCDOrigin::tasks_>("tasks", "ZRCDTask", "origins", false)
            .toMany<&ZRCDOrigin::timings_>("timings", "ZRCDTiming", "origin", false)
            .build();
    return description;
}

void ZRCDOrigin::setDevice(std::optional<std::string> value) {
    setAttribute(kDevice, value_conversion::toValue(value));
}
void ZRCDOrigin::setUdid(std::optional<std::string> value) {
    setAttribute(kUdid, value_conversion::toValue(value));
}
void ZRCDOrigin::setDeviceNameChanged(std::optional<Instant> value) {
    setAttribute(kDeviceNameChanged, value_conversion::toValue(value));
}
void ZRCDOrigin::setUser(std::optional<std::string> value) {
    setAttribute(kUser, value_conversion::toValue(value));
}
void ZRCDOrigin::setUid(std::int32_t value) {
    setAttribute(kUid, value_conversion::toValue(value));
}
void ZRCDOrigin::setUserNameChanged(std::optional<Instant> value) {
    setAttribute(kUserNameChanged, value_conversion::toValue(value));
}
void ZRCDOrigin::setType(std::int16_t value) {
    setAttribute(kType, value_conversion::toValue(value));
}
void ZRCDOrigin::addTasksObject(ZRCDTask* value) {
    addToMany(kTasks, value);
}
void ZRCDOrigin::removeTasksObject(ZRCDTask* value) {
    removeFromMany(kTasks, value);
}
void ZRCDOrigin::addTimingsObject(ZRCDTiming* value) {
    addToMany(kTimings, value);
}
void ZRCDOrigin::removeTimingsObject(ZRCDTiming* value) {
    removeFromMany(kTimings, value);
}

std::string ZRCDOrigin::uuid() const {
    return udid_.value_or("") + "//" + std::to_string(uid_) + "//" + std::to_string(type_);
}

bool ZRCDOrigin::isEqualToOrigin(const ZRCDOrigin& other) const {
    return udid_ == other.udid_ && uid_ == other.uid_ && type_ == other.type_;
}

std::string ZRCDOrigin::nameForOriginType(std::int16_t type) {
    switch (type) {
        case 1:
            return "Other Application";
        case 2:
            return "CSV Import";
        case 3:
            return "Ravelong Mobile";
        default:
            return "Ravelong";
    }
}

}  // namespace ravelong

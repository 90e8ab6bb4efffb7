#include "core/model/ZRCDPreferences.h"

namespace ravelong {

EntityDescription& ZRCDPreferences::entityDescription() {
    static EntityDescription description =
        EntityBuilder<ZRCDPreferences>("ZRCDPreferences")
            .attribute<&ZRCDPreferences::allowMultipleTimers_>("allowMultipleTimers",
                                                               AttributeType::Bool)
            .attribute<&ZRCDPreferences::newDay_>("newDay", AttributeType::Int32)
            .attribute<&ZRCDPreferences::uuid_>("uuid", AttributeType::String)
            .build();
    return description;
}

void ZRCDPreferences::setAllowMultipleTimers(bool value) {
    setAttribute(kAllowMultipleTimers, value_conversion::toValue(value));
}
void ZRCDPreferences::setNewDay(std::int32_t value) {
    setAttribute(kNewDay, value_conversion::toValue(value));
}
void ZRCDPreferences::setUuid(std::optional<std::string> value) {
    setAttribute(kUuid, value_conversion::toValue(value));
}

}  // namespace ravelong

#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

// The single record of preferences shared between computers.
class ZRCDPreferences : public ManagedObject {
public:
    enum Property : int {
        kAllowMultipleTimers,
        kNewDay,
        kUuid,
    };

    static EntityDescription& entityDescription();

    bool allowMultipleTimers() const { return allowMultipleTimers_; }
    void setAllowMultipleTimers(bool value);
    std::int32_t newDay() const { return newDay_; }
    void setNewDay(std::int32_t value);
    const std::optional<std::string>& uuid() const { return uuid_; }
    void setUuid(std::optional<std::string> value);

private:
    friend class EntityBuilder<ZRCDPreferences>;
    ZRCDPreferences() : ManagedObject(entityDescription()) {}
    ZRCDPreferences(const ZRCDPreferences&) = default;

    bool allowMultipleTimers_ = false;
    std::int32_t newDay_ = 0;
    std::optional<std::string> uuid_;
};

}  // namespace ravelong

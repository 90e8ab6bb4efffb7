#pragma once

#include <optional>
#include <string>

#include "store/ManagedObject.h"

namespace ravelong::store_testing {

// A record without relationships, usually the only one of its entity.
class TestSettings final : public ManagedObject {
public:
    enum Property : int { kUuid, kNewDay, kAllowMany, kTitle, kLevel, kPropertyCount };

    static EntityDescription& entityDescription();

    const std::optional<std::string>& uuid() const { return uuid_; }
    void setUuid(const std::optional<std::string>& value) { set(kUuid, value); }
    std::int16_t newDay() const { return newDay_; }
    void setNewDay(std::int16_t value) { set(kNewDay, value); }
    bool allowMany() const { return allowMany_; }
    void setAllowMany(bool value) { set(kAllowMany, value); }
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(const std::optional<std::string>& value) { set(kTitle, value); }
    std::int64_t level() const { return level_; }
    void setLevel(std::int64_t value) { set(kLevel, value); }

private:
    friend class EntityBuilder<TestSettings>;
    TestSettings() : ManagedObject(entityDescription()) {}
    TestSettings(const TestSettings&) = default;

    template <class T>
    void set(int property, const T& value) {
        setAttribute(property, value_conversion::toValue(value));
    }

    std::optional<std::string> uuid_;
    std::int16_t newDay_ = 0;
    bool allowMany_ = false;
    std::optional<std::string> title_;
    std::int64_t level_ = 0;
};

}  // namespace ravelong::store_testing

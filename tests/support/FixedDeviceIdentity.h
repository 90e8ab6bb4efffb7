#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "core/services/DeviceIdentity.h"

namespace ravelong {

// An identity with fixed answers, for tests.
class FixedDeviceIdentity final : public DeviceIdentity {
public:
    struct Values {
        std::optional<std::string> udid;
        std::uint32_t uid = 0;
        std::string fullUserName;
        std::string loginName;
        std::string hostLocalizedName;
    };

    explicit FixedDeviceIdentity(Values values) : values_(std::move(values)) {}

    std::optional<std::string> deviceUDID() const override { return values_.udid; }
    std::uint32_t userUID() const override { return values_.uid; }
    std::string fullUserName() const override { return values_.fullUserName; }
    std::string loginName() const override { return values_.loginName; }
    std::string hostLocalizedName() const override { return values_.hostLocalizedName; }

private:
    Values values_;
};

}  // namespace ravelong

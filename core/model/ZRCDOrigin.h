#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ZRCDTask;
class ZRCDTiming;

// Which device, user and kind of action created a record.
class ZRCDOrigin : public ManagedObject {
public:
    enum Property : int {
        kDevice,
        kUdid,
        kDeviceNameChanged,
        kUser,
        kUid,
        kUserNameChanged,
        kType,
        kTasks,
        kTimings,
    };

    static EntityDescription& entityDescription();

    const std::optional<std::string>& device() const { return device_; }
    void setDevice(std::optional<std::string> value);
    const std::optional<std::string>& udid() const { return udid_; }
    void setUdid(std::optional<std::string> value);
    std::optional<Instant> deviceNameChanged() const { return deviceNameChanged_; }
    void setDeviceNameChanged(std::optional<Instant> value);
    const std::optional<std::string>& user() const { return user_; }
    void setUser(std::optional<std::string> value);
    std::int32_t uid() const { return uid_; }
    void setUid(std::int32_t value);
    std::optional<Instant> userNameChanged() const { return userNameChanged_; }
    void setUserNameChanged(std::optional<Instant> value);
    std::int16_t type() const { return type_; }
    void setType(std::int16_t value);
    ToMany<ZRCDTask> tasks() const { return ToMany<ZRCDTask>(tasks_); }
    void addTasksObject(ZRCDTask* value);
    void removeTasksObject(ZRCDTask* value);
    ToMany<ZRCDTiming> timings() const { return ToMany<ZRCDTiming>(timings_); }
    void addTimingsObject(ZRCDTiming* value);
    void removeTimingsObject(ZRCDTiming* value);

private:
    friend class EntityBuilder<ZRCDOrigin>;
    ZRCDOrigin() : ManagedObject(entityDescription()) {}
    ZRCDOrigin(const ZRCDOrigin&) = default;

    std::optional<std::string> device_;
    std::optional<std::string> udid_;
    std::optional<Instant> deviceNameChanged_;
    std::optional<std::string> user_;
    std::int32_t uid_ = 0;
    std::optional<Instant> userNameChanged_;
    std::int16_t type_ = 0;
    ObjectSet tasks_;
    ObjectSet timings_;
};

}  // namespace ravelong

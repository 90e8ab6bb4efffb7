#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ZRCDTask;
class ZRCDTiming;

// The derived per task and day aggregate of the timings that touch the day.
class ZRCDTimingSet : public ManagedObject {
public:
    enum Property : int {
        kAbsDay,
        kDay,
        kDuration,
        kRoundedDuration,
        kCachedRounding,
        kRunning,
        kFullTaskName,
        kTask,
        kTimings,
        kFirstTimings,
    };

    static EntityDescription& entityDescription();

    std::int32_t absDay() const { return absDay_; }
    void setAbsDay(std::int32_t value);
    std::int32_t day() const { return day_; }
    void setDay(std::int32_t value);
    double duration() const { return duration_; }
    void setDuration(double value);
    double roundedDuration() const { return roundedDuration_; }
    void setRoundedDuration(double value);
    std::int16_t cachedRounding() const { return cachedRounding_; }
    void setCachedRounding(std::int16_t value);
    bool running() const { return running_; }
    void setRunning(bool value);
    const std::optional<std::string>& fullTaskName() const { return fullTaskName_; }
    void setFullTaskName(std::optional<std::string> value);
    ZRCDTask* task() const { return task_; }
    void setTask(ZRCDTask* value);
    ToMany<ZRCDTiming> timings() const { return ToMany<ZRCDTiming>(timings_); }
    void addTimingsObject(ZRCDTiming* value);
    void removeTimingsObject(ZRCDTiming* value);
    ToMany<ZRCDTiming> firstTimings() const { return ToMany<ZRCDTiming>(firstTimings_); }
    void addFirstTimingsObject(ZRCDTiming* value);
    void removeFirstTimingsObject(ZRCDTiming* value);

private:
    friend class EntityBuilder<ZRCDTimingSet>;
    ZRCDTimingSet() : ManagedObject(entityDescription()) {}
    ZRCDTimingSet(const ZRCDTimingSet&) = default;

    std::int32_t absDay_ = 0;
    std::int32_t day_ = 0;
    double duration_ = 0.0;
    double roundedDuration_ = -1.0;
    std::int16_t cachedRounding_ = -1;
    bool running_ = false;
    std::optional<std::string> fullTaskName_;
    ZRCDTask* task_ = nullptr;
    ObjectSet timings_;
    ObjectSet firstTimings_;
};

}  // namespace ravelong

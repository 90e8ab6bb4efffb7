#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ZRCDOrigin;
class ZRCDTask;
class ZRCDTimingSet;

// One timed entry: a start and end instant with the zone and day cut-off it was made in.
class ZRCDTiming : public ManagedObject {
public:
    enum Property : int {
        kBilling,
        kEndDate,
        kNote,
        kStartDate,
        kTimezone,
        kNewDayOffset,
        kUuid,
        kModified,
        kOrigin,
        kTask,
        kTimingSets,
        kFirstTimingSet,
    };

    static EntityDescription& entityDescription();

    std::int16_t billing() const { return billing_; }
    void setBilling(std::int16_t value);
    std::optional<Instant> endDate() const { return endDate_; }
    void setEndDate(std::optional<Instant> value);
    const std::optional<std::string>& note() const { return note_; }
    void setNote(std::optional<std::string> value);
    std::optional<Instant> startDate() const { return startDate_; }
    void setStartDate(std::optional<Instant> value);
    const std::optional<std::string>& timezone() const { return timezone_; }
    void setTimezone(std::optional<std::string> value);
    std::int32_t newDayOffset() const { return newDayOffset_; }
    void setNewDayOffset(std::int32_t value);
    const std::optional<std::string>& uuid() const { return uuid_; }
    void setUuid(std::optional<std::string> value);
    std::optional<Instant> modified() const { return modified_; }
    void setModified(std::optional<Instant> value);
    ZRCDOrigin* origin() const { return origin_; }
    void setOrigin(ZRCDOrigin* value);
    ZRCDTask* task() const { return task_; }
    void setTask(ZRCDTask* value);
    ToMany<ZRCDTimingSet> timingSets() const { return ToMany<ZRCDTimingSet>(timingSets_); }
    void addTimingSetsObject(ZRCDTimingSet* value);
    void removeTimingSetsObject(ZRCDTimingSet* value);
    ZRCDTimingSet* firstTimingSet() const { return firstTimingSet_; }
    void setFirstTimingSet(ZRCDTimingSet* value);

private:
    friend class EntityBuilder<ZRCDTiming>;
    ZRCDTiming() : ManagedObject(entityDescription()) {}
    ZRCDTiming(const ZRCDTiming&) = default;

    std::int16_t billing_ = 0;
    std::optional<Instant> endDate_;
    std::optional<std::string> note_;
    std::optional<Instant> startDate_;
    std::optional<std::string> timezone_;
    std::int32_t newDayOffset_ = -1;
    std::optional<std::string> uuid_;
    std::optional<Instant> modified_;
    ZRCDOrigin* origin_ = nullptr;
    ZRCDTask* task_ = nullptr;
    ObjectSet timingSets_;
    ZRCDTimingSet* firstTimingSet_ = nullptr;
};

}  // namespace ravelong

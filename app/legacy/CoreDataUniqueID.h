#pragma once

#include <cstdint>
#include <optional>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class CoreDataTask;
class CoreDataTimedEntry;

// An identifier that a task or timed entry of the stores up to version 1.2.4 had on one of the
// user's computers. Read only by the one-time upgrade of such a store.
class CoreDataUniqueID : public ManagedObject {
public:
    enum Property : int {
        kUid,
        kTid,
        kOrigin,
        kTimezoneOffset,
        kSeconds,
        kDate,
        kTask,
        kTimedEntry,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    std::int64_t uid() const { return uid_; }
    void setUid(std::int64_t value);
    std::int64_t tid() const { return tid_; }
    void setTid(std::int64_t value);
    std::int16_t origin() const { return origin_; }
    void setOrigin(std::int16_t value);
    std::int32_t timezoneOffset() const { return timezoneOffset_; }  // seconds east of GMT
    void setTimezoneOffset(std::int32_t value);
    double seconds() const { return seconds_; }
    void setSeconds(double value);
    std::optional<Instant> date() const { return date_; }
    void setDate(std::optional<Instant> value);
    CoreDataTask* task() const { return task_; }
    void setTask(CoreDataTask* value);
    CoreDataTimedEntry* timedEntry() const { return timedEntry_; }
    void setTimedEntry(CoreDataTimedEntry* value);

private:
    friend class EntityBuilder<CoreDataUniqueID>;
    CoreDataUniqueID() : ManagedObject(entityDescription()) {}
    CoreDataUniqueID(const CoreDataUniqueID&) = default;

    std::int64_t uid_ = 0;
    std::int64_t tid_ = 0;
    std::int16_t origin_ = 0;
    std::int32_t timezoneOffset_ = 0;
    double seconds_ = 0.0;
    std::optional<Instant> date_;
    CoreDataTask* task_ = nullptr;
    CoreDataTimedEntry* timedEntry_ = nullptr;
};

}  // namespace ravelong

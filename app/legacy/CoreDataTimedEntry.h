#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class CoreDataTask;
class CoreDataUniqueID;

// A timed entry of the stores written by versions up to 1.2.4, counted in a fixed offset from
// GMT. Read only by the one-time upgrade of such a store.
class CoreDataTimedEntry : public ManagedObject {
public:
    enum Property : int {
        kAbsDay,
        kDuration,
        kDay,
        kEndDate,
        kMaxDate,
        kNotes,
        kStartDate,
        kTimezoneOffset,
        kFullTaskName,
        kTaskNameArray,
        kTask,
        kUniqueIDs,
        kPropertyCount,  // keep last: the number of properties
    };

    // The maxDate that means "none": 4000-01-01 00:00:00 UTC.
    static constexpr Instant kNoMaxDate = instantFromUnixTime(64060588800.0);

    static EntityDescription& entityDescription();

    std::int32_t absDay() const { return absDay_; }
    void setAbsDay(std::int32_t value);
    double duration() const { return duration_; }  // seconds
    void setDuration(double value);
    std::int32_t day() const { return day_; }  // ZRYearMonthDay
    void setDay(std::int32_t value);
    std::optional<Instant> endDate() const { return endDate_; }
    void setEndDate(std::optional<Instant> value);
    // The end of the entry's last day (kNoMaxDate for none).
    std::optional<Instant> maxDate() const { return maxDate_; }
    void setMaxDate(std::optional<Instant> value);
    const std::optional<std::string>& notes() const { return notes_; }
    void setNotes(std::optional<std::string> value);
    std::optional<Instant> startDate() const { return startDate_; }
    void setStartDate(std::optional<Instant> value);
    // Seconds east of GMT.
    std::int64_t timezoneOffset() const { return timezoneOffset_; }
    void setTimezoneOffset(std::int64_t value);
    const std::optional<std::string>& fullTaskName() const { return fullTaskName_; }
    void setFullTaskName(std::optional<std::string> value);
    // The archived array of task names, kept as the bytes the old program wrote.
    const std::optional<Data>& taskNameArray() const { return taskNameArray_; }
    void setTaskNameArray(std::optional<Data> value);
    CoreDataTask* task() const { return task_; }
    void setTask(CoreDataTask* value);
    ToMany<CoreDataUniqueID> uniqueIDs() const { return ToMany<CoreDataUniqueID>(uniqueIDs_); }

private:
    friend class EntityBuilder<CoreDataTimedEntry>;
    CoreDataTimedEntry() : ManagedObject(entityDescription()) {}
    CoreDataTimedEntry(const CoreDataTimedEntry&) = default;

    std::int32_t absDay_ = 0;
    double duration_ = 0.0;
    std::int32_t day_ = 0;
    std::optional<Instant> endDate_;
    std::optional<Instant> maxDate_;
    std::optional<std::string> notes_;
    std::optional<Instant> startDate_;
    std::int64_t timezoneOffset_ = 0;
    std::optional<std::string> fullTaskName_;
    std::optional<Data> taskNameArray_;
    CoreDataTask* task_ = nullptr;
    ObjectSet uniqueIDs_;
};

}  // namespace ravelong

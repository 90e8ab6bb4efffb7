#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "foundation/Instant.h"
#include "store/CompactFields.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ManagedObjectContext;
class ZRCDOrigin;
class ZRCDTask;
class ZRCDTimingSet;

// An origin given as a record, or as a type for which this device's and user's origin is used
// (a null record counts as type 0).
using OriginRecordOrType = std::variant<ZRCDOrigin*, std::int16_t>;

// One timed entry: a start and end instant with the zone and day cut-off it was made in. A
// running timing has the sentinel end date (kSentinelDate).
//
// Day assignment: whenever startDate, endDate, task, timezone, newDayOffset or uuid is set
// through its setter, and afterwards all of start, end, task, zone and uuid are present and
// newDayOffset is not -1, the timing is assigned to its task's day aggregates (processTimingSet).
// Creators therefore set these fields in any order; the last one triggers the assignment once.
// Deleting a timing does not update its aggregates: use deleteTimingAndUpdateTimingSets.
//
// Instants are seconds since 2001-01-01 UTC; durations seconds. Main thread (the context's
// thread) only.
//
// Implementation: ZRCDTiming.cpp (fields, computed values, day assignment trigger),
// ZRCDTimingCreation.cpp (creators, deletion), ZRCDTimingQueries.cpp (queries).
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
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    std::int16_t billing() const { return billing_; }
    void setBilling(std::int16_t value);
    std::optional<Instant> endDate() const { return endDate_; }
    void setEndDate(std::optional<Instant> value);
    const BoxedText& note() const { return note_; }
    void setNote(std::optional<std::string> value);
    std::optional<Instant> startDate() const { return startDate_; }
    void setStartDate(std::optional<Instant> value);
    const SharedText& timezone() const { return timezone_; }
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

    // --- Computed values ---

    // The end date is the sentinel.
    bool running() const;
    // Now while running, else the end date.
    std::optional<Instant> currentEndDate() const;
    // Running: now minus start (0 while the start lies in the future); else end minus start.
    // 0 when a date is missing.
    double duration() const;
    // The day number of the first day (of firstTimingSet); 0 without day aggregates.
    ZRDate absDay() const;
    // newDayOffset, with "not yet known" (-1) and impossible values read as 0.
    std::int32_t effectiveNewDayOffset() const;
    // The part of [start, current end] inside day `day` as this timing counts days (its zone and
    // cut-off); 0 when they do not overlap or a date is missing.
    double getDurationWithinZRDate(ZRDate day) const;

    // The day assignment that the setters trigger (see the class comment): when the day-relevant
    // fields are complete, sets the task's updatedDate to now and assigns the timing to its
    // task's aggregates. A timing whose task was removed leaves its aggregates (they no longer
    // count it).
    void processTimingSet();

    // --- Creation (each returns the new timing, or nullptr when refused; a refusal inserts
    // nothing) ---

    // A running timing of `task` from now - 0.5 s: origin of the given type for this device and
    // user (or the given record), modified now, the user calendar's zone, the preferences' cut-off,
    // a fresh uuid; the task's updatedDate becomes now. A user script is told
    // "timerStartedForTiming" 0.2 s later. Refused without task.
    static ZRCDTiming* createRunningTimingNowForTask_andOrigin(ZRCDTask* task,
                                                               std::int16_t originType,
                                                               ManagedObjectContext& context);
    static ZRCDTiming* createRunningTimingNowForTask_andOriginObject(ZRCDTask* task,
                                                                     ZRCDOrigin* origin,
                                                                     ManagedObjectContext& context);

    // A stopped timing with explicit dates (manual entries, scripts, CSV import): the user
    // calendar's zone and the preferences' cut-off, modified = end, the note only when
    // non-empty, the given uuid or a fresh one. Refused without task, start or end, with a start
    // after the end, a running (sentinel) or non-finite end, or longer than the longest span a
    // timing may have (ZRCDTimingSet::kMaxDaysPerTiming days).
    static ZRCDTiming* createCoreDataTimingWithStartDate(
        std::optional<Instant> startDate, std::optional<Instant> endDate, ZRCDTask* task,
        const std::optional<std::string>& notes, std::int16_t originType,
        const std::optional<std::string>& uuid, ManagedObjectContext& context);

    // A timing from a current backup: the given cut-off (a value outside 0...86399, such as -1,
    // takes the preferences' cut-off, so the timing is counted on days at all) and zone (the
    // user calendar's when absent), billing, uuid (required). Refused like the previous, and
    // without uuid.
    static ZRCDTiming* createCoreDataTimingWithStartDate_andNewDayOffset(
        std::optional<Instant> startDate, std::optional<Instant> endDate, std::int32_t newDayOffset,
        const std::optional<std::string>& timezone, ZRCDTask* task,
        const std::optional<std::string>& notes, const std::optional<std::string>& uuid,
        OriginRecordOrType origin, std::int16_t billing, ManagedObjectContext& context);

    // A timing from an older backup, which stored a fixed offset from GMT (seconds; -1 means 0)
    // and the end of the timing's last day (maxDate). The zone is the fixed-offset zone
    // ("GMT+0100"); the cut-off is maxDate minus the midnight before it in that zone, in whole
    // seconds, or 0 when maxDate is absent or the "none" value 4000-01-01 00:00:00 UTC.
    static ZRCDTiming* createCoreDataTimingWithStartDate_andMaxDate(
        std::optional<Instant> startDate, std::optional<Instant> endDate,
        std::optional<Instant> maxDate, std::int32_t timezoneOffset, ZRCDTask* task,
        const std::optional<std::string>& notes, const std::optional<std::string>& uuid,
        OriginRecordOrType origin, std::int16_t billing, ManagedObjectContext& context);

    // The "no maxDate" value of older backups: 4000-01-01 00:00:00 UTC.
    static constexpr Instant kNoMaxDate = 64060588800.0 - kSecondsFromUnixEpochToReferenceDate;

    // Deletes a timing and keeps its day aggregates right: each is recalculated, or deleted when
    // the timing was its last. Does nothing for nullptr or a timing already deleted.
    static void deleteTimingAndUpdateTimingSets(ZRCDTiming* timing, ManagedObjectContext& context);

    // --- Queries ---

    static bool timingWithUUIDExists(std::string_view uuid, const ManagedObjectContext& context);
    // The timing with this uuid (one of them, should a merge have left several), or nullptr.
    static ZRCDTiming* getCoreDataTimingWithUUID(std::string_view uuid,
                                                 const ManagedObjectContext& context);
    static std::vector<ZRCDTiming*> getAllTimings_inContext(const ManagedObjectContext& context);
    static std::size_t numberOfTimings_inContext(const ManagedObjectContext& context);
    // Timings of unarchived tasks.
    static std::vector<ZRCDTiming*> getAllUnarchivedTimings_inContext(
        const ManagedObjectContext& context);
    // This device's timings made by the user (origin type 0), by start date.
    static std::vector<ZRCDTiming*> sortedTimings(const ManagedObjectContext& context);

    static std::vector<ZRCDTiming*> getRunningTimings_inContext(
        const ManagedObjectContext& context);
    static std::size_t numberOfRunningTimings_inContext(const ManagedObjectContext& context);
    static bool aTimerIsRunning_inContext(const ManagedObjectContext& context);
    // Latest modified first.
    static std::vector<ZRCDTiming*> getRunningTimingsSortedByLastModified_inContext(
        const ManagedObjectContext& context);
    static ZRCDTiming* getLastModifiedTiming_inContext(const ManagedObjectContext& context);
    static ZRCDTiming* getLastModifiedRunningTiming_inContext(const ManagedObjectContext& context);
    static std::optional<Instant> startDateOfLastModifiedRunningTiming_inContext(
        const ManagedObjectContext& context);

    // Timings starting within [start, end] (both inclusive), by start date; without archived
    // tasks' timings unless asked.
    static std::vector<ZRCDTiming*> getAllTimingsWithStartDatesBetween(
        Instant start, Instant end, bool includeArchivedTimings,
        const ManagedObjectContext& context);
    // Up to 10 timings that ended within the last hour (an end exactly now counts, one exactly an
    // hour ago does not), latest end first.
    static std::vector<ZRCDTiming*> getRecentlyEndedTimingsSortedByLastEndTime_inContext(
        const ManagedObjectContext& context);

private:
    friend class EntityBuilder<ZRCDTiming>;
    ZRCDTiming() : ManagedObject(entityDescription()) {}
    ZRCDTiming(const ZRCDTiming&) = default;

    // Removes the timing from its aggregates, recalculating each or deleting it when emptied.
    void leaveTimingSets(ManagedObjectContext& context);

    // Compact fields: a heavy user's store holds hundreds of thousands of timings.
    std::int16_t billing_ = 0;
    std::int32_t newDayOffset_ = -1;
    OptionalDouble endDate_;
    BoxedText note_;
    OptionalDouble startDate_;
    SharedText timezone_;
    std::optional<std::string> uuid_;
    OptionalDouble modified_;
    ZRCDOrigin* origin_ = nullptr;
    ZRCDTask* task_ = nullptr;
    ObjectSet timingSets_;
    ZRCDTimingSet* firstTimingSet_ = nullptr;
};

}  // namespace ravelong

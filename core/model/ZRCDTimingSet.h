#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "core/model/TaskColor.h"
#include "foundation/Instant.h"
#include "store/CompactFields.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;
class ZRCDTiming;

// The derived per task and day aggregate of the timings that touch the day: one record per task
// and day number (`absDay`), caching the day's total. Sets are made and deleted by the day
// assignment of the timings (assignTimingSetsToTiming), which the timing setters trigger, and
// never identified across computers.
//
// Durations are seconds; days are day numbers of the timings' own zone and cut-off. Main thread
// (the context's thread) only.
//
// Implementation: ZRCDTimingSet.cpp (fields, values, names, notes),
// ZRCDTimingSetAssignment.cpp (day assignment, merging duplicates).
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
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    std::int32_t absDay() const { return absDay_; }
    void setAbsDay(std::int32_t value);
    std::int32_t day() const { return day_; }
    void setDay(std::int32_t value);
    // The stored total of the stopped timings plus, while the set is marked running, the part of
    // each running timing inside the day up to now, each counted only beyond 5 seconds.
    double duration() const;
    // The stored total alone.
    double durationExcludingRunningTimings() const { return duration_; }
    void setDuration(double value);
    double roundedDuration() const { return roundedDuration_; }
    void setRoundedDuration(double value);
    std::int16_t cachedRounding() const { return cachedRounding_; }
    void setCachedRounding(std::int16_t value);
    bool running() const { return running_; }
    void setRunning(bool value);
    const SharedText& fullTaskName() const { return fullTaskName_; }
    void setFullTaskName(std::optional<std::string> value);
    ZRCDTask* task() const { return task_; }
    void setTask(ZRCDTask* value);
    ToMany<ZRCDTiming> timings() const { return ToMany<ZRCDTiming>(timings_); }
    void addTimingsObject(ZRCDTiming* value);
    void removeTimingsObject(ZRCDTiming* value);
    ToMany<ZRCDTiming> firstTimings() const { return ToMany<ZRCDTiming>(firstTimings_); }
    void addFirstTimingsObject(ZRCDTiming* value);
    void removeFirstTimingsObject(ZRCDTiming* value);

    // Day assignment of a timing: makes its `timingSets` the sets of its task for every day from
    // its start day to its end day (the end counted with the earlier day when it lies exactly on
    // a boundary; the current end for a running timing), creating the missing sets, and
    // `firstTimingSet` the first day's. Sets the timing left are recalculated, or deleted when
    // they are left without timings. The sets' durations are recalculated when asked, and always
    // when the assignment changed. Returns whether the timing's sets changed, which includes
    // duplicate sets of its days being merged on the way.
    //
    // A timing without task, start, end or zone is left alone (false). So is one spanning more
    // than kMaxDaysPerTiming days, which no real entry does (a damaged or hostile file could ask
    // for millions of sets); that refusal is logged.
    static bool assignTimingSetsToTiming(ZRCDTiming* timing, bool recalculateDuration,
                                         ManagedObjectContext& context);
    static constexpr int kMaxDaysPerTiming = 3660;

    // Stores the sum of the in-day durations of the stopped timings and whether a timing runs,
    // each only when it changed, then recalculateRoundedDuration().
    void recalculateDuration();
    // Brings the cached rounded total up to date (timing_set_totals::recalculateRoundedDuration).
    void recalculateRoundedDuration();

    // The task's colour.
    TaskColor displayColor() const;
    // The names from the tier-1 task down to this set's task.
    std::vector<std::string> taskNameArray() const;
    // U+FE46, the tier-1 name, then " ❯ " and the next name for each lower tier:
    // "﹆Clients ❯ Acme ❯ Design".
    std::string getFullTaskName() const;

    // The non-empty notes of the set's timings by start date, one per line.
    std::string note() const;
    // Stores a note edited in the notes view. A set of one timing gives it to that timing (empty
    // text removes the note). The combined text of several timings cannot be split back, so a
    // changed text is refused there (false) and nothing changes; the unchanged text is accepted.
    bool setNote(const std::string& text);

    // Sets are not identified across computers; this is the same constant for all.
    std::string uuid() const { return "doesnotmatter"; }

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
    SharedText fullTaskName_;
    ZRCDTask* task_ = nullptr;
    ObjectSet timings_;
    ObjectSet firstTimings_;
};

}  // namespace ravelong

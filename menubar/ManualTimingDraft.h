#pragma once

#include <optional>

#include "foundation/Clock.h"
#include "foundation/Instant.h"

namespace ravelong {

// What the add-timing popover of a task row holds before the entry is made: a day, a start on
// that day and a duration. Times are read in the user's calendar.
//
// Made without a preset, the day is now with the seconds dropped, the start the same instant and
// the duration 0. The start is valid from 2001-01-01 00:00:00 UTC to 730 days from now, both
// inclusive, and only when the local time asked for exists on its day (a time the clocks skip
// at the start of summer time does not). An entry can be added while the duration is above 0
// and the start valid. Main thread only.
class ManualTimingDraft {
public:
    explicit ManualTimingDraft(const Clock& clock,
                               std::optional<Instant> presetDate = std::nullopt);

    // Both move the start's time of day onto the day (that of `day`), and the end along.
    void setDay(Instant day);
    void setStart(Instant start);
    // Seconds; a negative or non-finite value counts as 0.
    void setDuration(double seconds);

    Instant day() const { return day_; }
    Instant start() const { return start_; }
    Instant end() const { return start_ + duration_; }
    double duration() const { return duration_; }

    bool dateIsValid() const { return dateIsValid_; }
    // The local time asked for was skipped by the clocks on that day.
    bool startTimeDoesNotExist() const { return skippedTime_; }
    bool canAdd() const { return duration_ > 0.0 && dateIsValid_; }

    static constexpr double kLatestStartAfterNow = 63072000.0;  // 730 days

private:
    void placeStart(Instant timeOfDay);

    const Clock& clock_;
    Instant day_ = 0.0;
    Instant start_ = 0.0;
    Instant askedTime_ = 0.0;  // the start as last chosen, whose time of day is kept
    double duration_ = 0.0;
    bool dateIsValid_ = true;
    bool skippedTime_ = false;
};

}  // namespace ravelong

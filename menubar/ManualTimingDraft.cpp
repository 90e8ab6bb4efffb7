#include "menubar/ManualTimingDraft.h"

#include <cmath>

#include "core/calendar/DateAdjustments.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/ZRCalendar.h"

namespace ravelong {

ManualTimingDraft::ManualTimingDraft(const Clock& clock, std::optional<Instant> presetDate)
    : clock_(clock) {
    day_ = date_additions::setSecondsToZero(presetDate.value_or(clock_.now()));
    start_ = day_;
    dateIsValid_ = true;
    placeStart(start_);
}

void ManualTimingDraft::setDay(Instant day) {
    day_ = day;
    placeStart(askedTime_);
}

void ManualTimingDraft::setStart(Instant start) {
    placeStart(start);
}

void ManualTimingDraft::setDuration(double seconds) {
    duration_ = std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;
}

void ManualTimingDraft::placeStart(Instant timeOfDay) {
    askedTime_ = timeOfDay;
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    start_ = date_additions::dateWithYearMonthDayOfNSDate(timeOfDay, day_, calendar);
    // A wall time the clocks skip comes back as another time of day.
    const auto asked = calendar.localTime(timeOfDay);
    const auto placed = calendar.localTime(start_);
    skippedTime_ =
        placed.secondOfDay != asked.secondOfDay || placed.days != calendar.localTime(day_).days;
    dateIsValid_ = !skippedTime_ && start_ >= 0.0 && start_ <= clock_.now() + kLatestStartAfterNow;
}

}  // namespace ravelong

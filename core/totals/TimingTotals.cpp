#include "core/totals/TimingTotals.h"

#include <cmath>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/RoundingRule.h"
#include "core/totals/TaskRounding.h"
#include "core/totals/TotalsInternals.h"

namespace ravelong::totals_detail {

double roundedShare(const ZRCDTiming& timing, double inDay, std::int16_t code) {
    if (timing.running() || !rounding_rule::roundsDurations(code) || inDay <= 0.0)
        return inDay;
    const double whole = timing.duration();
    // A timing without length has nothing to spread (and w / D would be 0 / 0).
    if (!(whole > 0.0))
        return 0.0;
    const double unit = rounding_rule::roundingMinutes(code) * 60.0;
    const double units = std::round(rounding_rule::roundDuration(whole, code) / unit);
    return std::round(units * (inDay / whole)) * unit;
}

}  // namespace ravelong::totals_detail

namespace ravelong::timing_totals {

namespace {

std::int16_t effectiveCodeOf(const ZRCDTiming& timing) {
    return timing.task() ? task_totals::getProperRounding(*timing.task()) : std::int16_t{0};
}

}  // namespace

double getDurationWithinZRDate(const ZRCDTiming& timing, ZRDate day) {
    return timing.getDurationWithinZRDate(day);
}

double roundedDurationWithinZRDate(const ZRCDTiming& timing, ZRDate day, std::int16_t code) {
    return totals_detail::roundedShare(timing, timing.getDurationWithinZRDate(day), code);
}

double getPerTaskRoundedDurationWithinZRDate(const ZRCDTiming& timing, ZRDate day) {
    return roundedDurationWithinZRDate(timing, day, effectiveCodeOf(timing));
}

double getDurationWithRounding(const ZRCDTiming& timing, std::int16_t code) {
    // duration() is end - start for a stopped timing and now - start for a running one, whose
    // end date is the 2001 marker: end - start would be minus twenty-odd years.
    return rounding_rule::roundDuration(timing.duration(), code);
}

double durationWithRounding(const ZRCDTiming& timing) {
    return getDurationWithRounding(timing, effectiveCodeOf(timing));
}

std::optional<Instant> endDateWithRounding(const ZRCDTiming& timing) {
    if (!timing.startDate())
        return std::nullopt;
    return *timing.startDate() + durationWithRounding(timing);
}

double getRoundedDurationFromDuration(const ZRCDTiming& timing, double duration) {
    return rounding_rule::roundDuration(duration, effectiveCodeOf(timing));
}

}  // namespace ravelong::timing_totals

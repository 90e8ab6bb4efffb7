#include "core/totals/TimingTotals.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/calendar/DayNumbers.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/RoundedDayShares.h"
#include "core/totals/RoundingRule.h"
#include "core/totals/TaskRounding.h"
#include "core/totals/TotalsInternals.h"

namespace ravelong::totals_detail {

namespace {

// The units each day of a stopped timing gets, by largest remainder over the days it touches.
// The hand-out is a pure function of the timing's dates, zone, cut-off and code, and a set's
// total asks for it once per day of the timing, so the last one is kept: a timing over many days
// is then measured once rather than once per day.
struct DayUnits {
    Instant start = 0.0;
    Instant end = 0.0;
    std::string zone;
    std::int32_t offset = 0;
    std::int64_t units = 0;
    ZRDate first = 0;
    std::vector<std::int64_t> perDay;
};

const DayUnits& dayUnitsOf(const ZRCDTiming& timing, std::int64_t units) {
    thread_local DayUnits last;
    const Instant start = *timing.startDate();
    const Instant end = *timing.endDate();
    const std::string& zone = *timing.timezone();
    const std::int32_t offset = timing.effectiveNewDayOffset();
    if (!last.perDay.empty() && last.start == start && last.end == end && last.zone == zone &&
        last.offset == offset && last.units == units)
        return last;
    const ZRDate first = date_additions::zrDateWithTimeZoneName(start, zone, offset, false);
    const ZRDate lastDay = date_additions::zrDateWithTimeZoneName(end, zone, offset, true);
    std::vector<double> parts;
    if (lastDay >= first && lastDay - first < ZRCDTimingSet::kMaxDaysPerTiming) {
        parts.reserve(static_cast<std::size_t>(lastDay - first + 1));
        for (ZRDate day = first; day <= lastDay; ++day)
            parts.push_back(timing.getDurationWithinZRDate(day));
    }
    last.start = start;
    last.end = end;
    last.zone = zone;
    last.offset = offset;
    last.units = units;
    last.first = first;
    last.perDay = rounded_day_shares::largestRemainderUnits(units, parts, kMinimumCountedSeconds);
    if (last.perDay.empty())
        last.perDay.push_back(0);  // nothing measurable: every day gets nothing
    return last;
}

}  // namespace

double roundedShare(const ZRCDTiming& timing, ZRDate day, double inDay, std::int16_t code) {
    if (timing.running() || !rounding_rule::roundsDurations(code) || inDay <= 0.0)
        return inDay;
    const double whole = timing.duration();
    // A timing without length has nothing to spread (and w / D would be 0 / 0).
    if (!(whole > 0.0))
        return 0.0;
    const double unit = rounding_rule::roundingMinutes(code) * 60.0;
    const double units = std::round(rounding_rule::roundDuration(whole, code) / unit);
    // The whole timing lies in this day: all of its units are this day's.
    if (inDay >= whole)
        return units * unit;
    // Rounding each day's share on its own would count a 23:30 to 00:30 hour rounded to the
    // nearest hour once on each day; the days share the timing's units instead (see
    // largestRemainderUnits).
    const DayUnits& shares = dayUnitsOf(timing, static_cast<std::int64_t>(units));
    const std::int64_t index = static_cast<std::int64_t>(day) - shares.first;
    if (index < 0 || index >= static_cast<std::int64_t>(shares.perDay.size()))
        return 0.0;
    return static_cast<double>(shares.perDay[static_cast<std::size_t>(index)]) * unit;
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
    return totals_detail::roundedShare(timing, day, timing.getDurationWithinZRDate(day), code);
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

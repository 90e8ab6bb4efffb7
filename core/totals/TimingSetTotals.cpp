#include "core/totals/TimingSetTotals.h"

#include <cstdint>
#include <limits>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/RoundingRule.h"
#include "core/totals/TaskRounding.h"
#include "core/totals/TotalsInternals.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::timing_set_totals {

namespace {

using totals_detail::kMinimumCountedSeconds;

std::int16_t effectiveCodeOf(const ZRCDTimingSet& set) {
    return set.task() ? task_totals::getProperRounding(*set.task()) : std::int16_t{0};
}

bool cacheValid(const ZRCDTimingSet& set, std::int16_t code) {
    return set.cachedRounding() == code && set.roundedDuration() >= 0.0;
}

// The rounded shares of the set's stopped timings, or of the running ones (unrounded), each only
// when the timing has more than 5 seconds inside the day.
double sumOfShares(const ZRCDTimingSet& set, std::int16_t code, bool running) {
    double total = 0.0;
    for (const ZRCDTiming* timing : set.timings()) {
        if (timing->running() != running)
            continue;
        const double inDay = timing->getDurationWithinZRDate(set.absDay());
        if (inDay > kMinimumCountedSeconds)
            total += totals_detail::roundedShare(*timing, set.absDay(), inDay, code);
    }
    return total;
}

double runningPart(const ZRCDTimingSet& set) {
    return set.running() ? sumOfShares(set, 0, true) : 0.0;
}

}  // namespace

double durationExcludingRunningTimingsWithRounding(const ZRCDTimingSet& set) {
    return totals_detail::setValue(set, effectiveCodeOf(set), true, true);
}

double durationWithRounding(const ZRCDTimingSet& set) {
    return totals_detail::setValue(set, effectiveCodeOf(set), true, false);
}

double durationWithRoundingAfter(const ZRCDTimingSet& set) {
    return rounding_rule::roundDuration(set.duration(), effectiveCodeOf(set));
}

void recalculateRoundedDuration(ZRCDTimingSet& set) {
    const std::int16_t code = effectiveCodeOf(set);
    if (RoundingEnabledFlag::current().roundingEnabled() && rounding_rule::roundsDurations(code)) {
        const double rounded = sumOfShares(set, code, false);
        if (set.cachedRounding() != code)
            set.setCachedRounding(code);
        if (set.roundedDuration() != rounded)
            set.setRoundedDuration(rounded);
        return;
    }
    // Both fields say "nothing cached", so no reader can mistake an old sum for a current one.
    if (set.cachedRounding() != -1)
        set.setCachedRounding(-1);
    if (set.roundedDuration() != -1.0)
        set.setRoundedDuration(-1.0);
}

std::size_t recalculateStaleRoundedDurations_inContext(ManagedObjectContext& context) {
    if (!RoundingEnabledFlag::current().roundingEnabled())
        return 0;
    std::size_t filled = 0;
    for (ManagedObject* object : context.registeredObjects(ZRCDTimingSet::entityDescription())) {
        auto& set = *static_cast<ZRCDTimingSet*>(object);
        const std::int16_t code = effectiveCodeOf(set);
        if (rounding_rule::roundsDurations(code) && !cacheValid(set, code)) {
            recalculateRoundedDuration(set);
            ++filled;
        }
    }
    return filled;
}

double totalsValue(const ZRCDTimingSet& set, bool roundingEnabled, bool excludingRunningTimings) {
    return totals_detail::setValue(set, roundingEnabled ? effectiveCodeOf(set) : std::int16_t{0},
                                   roundingEnabled, excludingRunningTimings);
}

}  // namespace ravelong::timing_set_totals

namespace ravelong::totals_detail {

double setValue(const ZRCDTimingSet& set, std::int16_t code, bool roundingEnabled,
                bool excludingRunningTimings) {
    using namespace timing_set_totals;
    if (!roundingEnabled || !rounding_rule::roundsDurations(code))
        return excludingRunningTimings ? set.durationExcludingRunningTimings() : set.duration();
    const double stopped =
        cacheValid(set, code) ? set.roundedDuration() : sumOfShares(set, code, false);
    return excludingRunningTimings ? stopped : stopped + runningPart(set);
}

}  // namespace ravelong::totals_detail

namespace ravelong::timing_set_totals {

namespace {

bool counts(const ZRCDTask* task, bool excludingArchivedTasks) {
    return !excludingArchivedTasks || !task || !task->isArchived();
}

// Running timers on days for which they have no aggregate yet (a timer running past midnight).
double runningPartsOutsideTheirSets(ZRDate first, ZRDate last, bool excludingArchivedTasks,
                                    const ManagedObjectContext& context) {
    double total = 0.0;
    for (const ZRCDTiming* timing : totals_detail::runningTimings(context)) {
        if (counts(timing->task(), excludingArchivedTasks))
            total += totals_detail::runningPartOutsideItsSets(*timing, first, last);
    }
    return total;
}

}  // namespace

double getTotalTimeInSecondsExcludingArchivedTasks(bool excludingArchivedTasks,
                                                   bool excludingRunningTimings,
                                                   const ManagedObjectContext& context) {
    const bool rounding = RoundingEnabledFlag::current().roundingEnabled();
    double total = 0.0;
    for (ManagedObject* object : context.registeredObjects(ZRCDTimingSet::entityDescription())) {
        const auto& set = *static_cast<const ZRCDTimingSet*>(object);
        if (counts(set.task(), excludingArchivedTasks))
            total += totalsValue(set, rounding, excludingRunningTimings);
    }
    if (!excludingRunningTimings) {
        total += runningPartsOutsideTheirSets(std::numeric_limits<ZRDate>::min(),
                                              std::numeric_limits<ZRDate>::max(),
                                              excludingArchivedTasks, context);
    }
    return total;
}

double getTotalTimeInSecondsBetweenZRDate(ZRDate first, ZRDate last, bool excludingArchivedTasks,
                                          bool excludingRunningTimings,
                                          const ManagedObjectContext& context) {
    if (first > last)
        return 0.0;
    const bool rounding = RoundingEnabledFlag::current().roundingEnabled();
    double total = excludingRunningTimings
                       ? 0.0
                       : runningPartsOutsideTheirSets(first, last, excludingArchivedTasks, context);
    const auto add = [&](const ZRCDTimingSet& set) {
        if (set.absDay() >= first && set.absDay() <= last &&
            counts(set.task(), excludingArchivedTasks))
            total += totalsValue(set, rounding, excludingRunningTimings);
    };
    // Day by day through the context's look-up by day for ranges up to a good year (or shorter
    // than the store has sets); a longer range, such as "all time", reads every set once.
    const std::int64_t days = static_cast<std::int64_t>(last) - first + 1;
    const auto& allSets = context.registeredObjects(ZRCDTimingSet::entityDescription());
    constexpr std::int64_t kDayLookupLimit = 400;
    if (days <= kDayLookupLimit || days < static_cast<std::int64_t>(allSets.size()) / 8) {
        for (std::int64_t day = first; day <= last; ++day) {
            for (ZRCDTimingSet* set : context.objectsWithValue<ZRCDTimingSet>(
                     ZRCDTimingSet::kAbsDay, Value(std::int64_t{day})))
                add(*set);
        }
        return total;
    }
    for (ManagedObject* object : allSets)
        add(*static_cast<const ZRCDTimingSet*>(object));
    return total;
}

double getTotalTimeInSecondsForZRDate(ZRDate day, bool excludingArchivedTasks,
                                      bool excludingRunningTimings,
                                      const ManagedObjectContext& context) {
    return getTotalTimeInSecondsBetweenZRDate(day, day, excludingArchivedTasks,
                                              excludingRunningTimings, context);
}

}  // namespace ravelong::timing_set_totals

#pragma once

#include <cstddef>

#include "core/calendar/CalendarTypes.h"

// The values of a task's day aggregate (ZRCDTimingSet) with rounding, the maintenance of its
// rounded cache, and the sums over all aggregates. Seconds throughout. Main thread (the context's
// thread).
//
// The cache: `roundedDuration` holds the rounded total of the set's stopped timings for the code
// in `cachedRounding`. It is valid while that code equals the task's effective code, so a change
// of rule (also one inherited from a parent, or one arriving from another computer) invalidates
// it by comparison, without visiting the sets. Readers never write the cache; it is filled by
// recalculateRoundedDuration, which the set's own recalculation and the rounding setters call.
namespace ravelong {
class ManagedObjectContext;
class ZRCDTimingSet;
}  // namespace ravelong

namespace ravelong::timing_set_totals {

// The rounded total of the set's stopped timings: the stored duration when the task's rule does
// not round, the cache when valid, else computed (each timing's rounded share of the day, those
// with 5 seconds or less inside the day left out).
double durationExcludingRunningTimingsWithRounding(const ZRCDTimingSet& set);
// The same plus each running timing's part of the day so far, unrounded, when above 5 seconds.
double durationWithRounding(const ZRCDTimingSet& set);
// The set's duration (running timings included) rounded as one duration by the task's rule.
double durationWithRoundingAfter(const ZRCDTimingSet& set);

// Fills the cache when rounding is enabled (RoundingEnabledFlag) and the task's effective rule
// rounds, writing only the fields that change; otherwise marks it empty (cachedRounding and
// roundedDuration -1).
void recalculateRoundedDuration(ZRCDTimingSet& set);

// Fills the caches that a rounding rule needs but that are empty or were made for another rule
// (sets written before rounding was switched on, restored or merged in, or under a rule changed
// elsewhere), so that totals read them instead of the timings. For launch and after bulk changes,
// with undo registration off; it changes derived data only. Returns the number of sets filled.
std::size_t recalculateStaleRoundedDurations_inContext(ManagedObjectContext& context);

// Sums over all sets (or those of unarchived tasks: the set's own task's flag) of the set value
// the totals use: with rounding enabled durationExcludingRunningTimingsWithRounding or
// durationWithRounding, else durationExcludingRunningTimings or duration. With running timings,
// a timer's part of days for which it has no set yet counts as well (see TaskTotals.h).
double getTotalTimeInSecondsExcludingArchivedTasks(bool excludingArchivedTasks,
                                                   bool excludingRunningTimings,
                                                   const ManagedObjectContext& context);
// The same over the sets of the days first...last (inclusive; nothing when first > last).
double getTotalTimeInSecondsBetweenZRDate(ZRDate first, ZRDate last, bool excludingArchivedTasks,
                                          bool excludingRunningTimings,
                                          const ManagedObjectContext& context);
double getTotalTimeInSecondsForZRDate(ZRDate day, bool excludingArchivedTasks,
                                      bool excludingRunningTimings,
                                      const ManagedObjectContext& context);

// The set value the totals use, as chosen above for the current RoundingEnabledFlag.
double totalsValue(const ZRCDTimingSet& set, bool roundingEnabled, bool excludingRunningTimings);

}  // namespace ravelong::timing_set_totals

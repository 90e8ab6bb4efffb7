#pragma once

// Helpers shared by the totals sources; not for use outside core/totals.

#include <cstdint>

#include "core/calendar/CalendarTypes.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/TimingSetDayIndex.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::totals_detail {

// A running timing adds to a day only once it has run a few seconds, and a stopped one adds to a
// rounded day total only beyond that: a timer started and stopped by mistake must not count as a
// whole rounding unit.
inline constexpr double kMinimumCountedSeconds = 5.0;

// The day cut-off hour of the preferences record in the context (0 without one).
int newDayHour(const ManagedObjectContext* context);

// The part of a running timing inside those days of first...last for which it has no day
// aggregate, each day's part only beyond 5 seconds; 0 for a stopped timing. A running timing
// has the aggregates of the days it touched when it was last assigned (usually at its start), so
// a timer running past the end of a day counts on the following days only through this.
double runningPartOutsideItsSets(const ZRCDTiming& timing, ZRDate first, ZRDate last);

// A timing's rounded share of a day, given its part of that day (`inDay`) and the effective code
// (timing_totals::roundedDurationWithinZRDate).
double roundedShare(const ZRCDTiming& timing, double inDay, std::int16_t code);

// Calls f(ZRCDTimingSet&) for each of the task's own sets with first <= absDay <= last, in no
// particular order. Short ranges of a task with many sets go through the context's
// TimingSetDayIndex when there is one, else through the context's look-up by day; long ranges read
// the task's sets.
template <class F>
void forEachTimingSetBetween(const ZRCDTask& task, ZRDate first, ZRDate last, F&& f) {
    if (first > last)
        return;
    const auto sets = task.timingSets();
    const ManagedObjectContext* context = task.managedObjectContext();
    const std::int64_t days = static_cast<std::int64_t>(last) - first + 1;
    const auto setCount = static_cast<std::int64_t>(sets.size());
    // The index finds the range by binary search after checking the task's list of sets, which
    // beats reading the sets whenever the range is shorter than the list.
    if (days < setCount) {
        if (TimingSetDayIndex* index = TimingSetDayIndex::forContext(context)) {
            for (const TimingSetDayIndex::DaySet& daySet : index->setsBetween(task, first, last))
                f(*daySet.set);
            return;
        }
    }
    // A day look-up reads every set of that day, one per task with time on it; reading the task's
    // own sets is cheaper unless they outnumber the days several times over.
    constexpr std::int64_t kSetsPerDayLookup = 8;
    if (context && days * kSetsPerDayLookup < setCount) {
        for (std::int64_t day = first; day <= last; ++day) {
            for (ZRCDTimingSet* set : context->objectsWithValue<ZRCDTimingSet>(
                     ZRCDTimingSet::kAbsDay, Value(std::int64_t{day}))) {
                if (set->task() == &task)
                    f(*set);
            }
        }
        return;
    }
    for (ZRCDTimingSet* set : sets) {
        if (set->absDay() >= first && set->absDay() <= last)
            f(*set);
    }
}

}  // namespace ravelong::totals_detail

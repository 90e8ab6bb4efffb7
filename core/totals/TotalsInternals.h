#pragma once

// Helpers shared by the totals sources; not for use outside core/totals.

#include <cstdint>
#include <vector>

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

// The running timings, in no particular order.
inline std::vector<ZRCDTiming*> runningTimings(const ManagedObjectContext& context) {
    return context.objectsWithValue<ZRCDTiming>(ZRCDTiming::kEndDate, Value(kSentinelDate));
}

// The day cut-off hour of the preferences record in the context (0 without one).
int newDayHour(const ManagedObjectContext* context);

// The part of a running timing inside those days of first...last for which it has no day
// aggregate, each day's part only beyond 5 seconds; 0 for a stopped timing. A running timing
// has the aggregates of the days it touched when it was last assigned (usually at its start), so
// a timer running past the end of a day counts on the following days only through this.
double runningPartOutsideItsSets(const ZRCDTiming& timing, ZRDate first, ZRDate last);

// The value a total reads from a set whose task has the effective rounding code `code`: rounded
// (timing_set_totals::durationWithRounding and its sibling) when rounding is enabled, else plain.
double setValue(const ZRCDTimingSet& set, std::int16_t code, bool roundingEnabled,
                bool excludingRunningTimings);

// A timing's rounded share of `day`, given its part of that day (`inDay`) and the effective code
// (timing_totals::roundedDurationWithinZRDate).
double roundedShare(const ZRCDTiming& timing, ZRDate day, double inDay, std::int16_t code);

// Calls f(set) for each set pointer of [begin, end), asking the processor for each set a few
// steps ahead. A task's sets lie all over the heap; summing thousands of them waits on memory
// unless the loads overlap.
template <class Iterator, class F>
void forEachSetPrefetched(Iterator begin, Iterator end, F&& f) {
    constexpr int kDistance = 8;
    Iterator ahead = begin;
    for (int i = 0; i < kDistance && ahead != end; ++i) {
        __builtin_prefetch(
            reinterpret_cast<const char*>(static_cast<const ZRCDTimingSet*>(*ahead)) + 64);
        ++ahead;
    }
    for (Iterator it = begin; it != end; ++it) {
        if (ahead != end) {
            __builtin_prefetch(
                reinterpret_cast<const char*>(static_cast<const ZRCDTimingSet*>(*ahead)) + 64);
            ++ahead;
        }
        f(*static_cast<const ZRCDTimingSet*>(*it));
    }
}

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
                f(static_cast<const ZRCDTimingSet&>(*daySet.set));
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
    forEachSetPrefetched(sets.begin(), sets.end(), [&](const ZRCDTimingSet& set) {
        if (set.absDay() >= first && set.absDay() <= last)
            f(set);
    });
}

}  // namespace ravelong::totals_detail

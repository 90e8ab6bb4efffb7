#pragma once

#include <vector>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTimingSet;

// Repairs of the day aggregates (ZRCDTimingSet) and of the timings they are made from
// (ZRCDTiming), for after merges of stores, restores and imports.
//
// Like every store repair they return whether they changed anything, save nothing, and are meant
// to run with undo registration off (the launch repair pass does both). Main thread (the
// context's thread) only.
namespace store_repairs {

// Gives every timing its day assignment again (ZRCDTimingSet::assignTimingSetsToTiming without
// recalculation; a changed set of aggregates counts as a change), then fixAllTimingSets_inContext.
//
// A timing without a task cannot be shown or counted anywhere, but it is still time the user
// tracked: such timings are not deleted but given to a new task named "Recovered Task" (at the
// top of the list), where the user can look at them and move or delete them.
bool fixTimingSetsAndTimings_inContext(ManagedObjectContext& context);

// fixTimingSetsAndTimings_inContext for the timings the context has made or changed since its
// last save, and for the days they touch: the aggregates of those days alone are recalculated and
// grouped. For a private context after an import into a store that was sound: the rest of the
// store is not read. Returns whether it changed anything.
bool fixTimingSetsAndTimingsOfChanges_inContext(ManagedObjectContext& context);

// Deletes the aggregates without task or without timings, recalculates the others (a changed
// stored value counts as a change), then runs fixGroupOfTimingSetsOnSameAbsDay on every group of
// aggregates of one day number.
bool fixAllTimingSets_inContext(ManagedObjectContext& context);

// The aggregates of one day number: their `day` is set to that day's ZRYearMonthDay where it
// differs, and several of one task are merged into one with the timings of all of them
// (ZRCDTask::consolidateTimingSets). Deleted aggregates in the group are skipped.
bool fixGroupOfTimingSetsOnSameAbsDay(const std::vector<ZRCDTimingSet*>& group,
                                      ManagedObjectContext& context);

}  // namespace store_repairs
}  // namespace ravelong

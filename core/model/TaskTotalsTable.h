#pragma once

#include "store/PersistentStore.h"

namespace ravelong::task_totals_table {

// The day aggregates summed per task and rounding code, kept by triggers on ZRCDTimingSet as
// its rows come, change and go, so that a report over all days reads a row per task instead of
// one per task and day. It sums the aggregates a range of days takes (those with a task and a
// day number), each as
//   task, cachedRounding (0 for none): the key;
//   sets: how many aggregates, uncached: how many of them have a negative rounded duration;
//   duration, roundedDuration: their sums in whole microseconds, which add and subtract
//   without drifting however often a day changes.
// Rows whose sets fall to 0 stay, and count for nothing.
inline constexpr const char* kName = "RavelongTaskTotals";

DerivedTable definition();

}  // namespace ravelong::task_totals_table

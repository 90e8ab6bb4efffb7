#pragma once

#include <cstdint>
#include <optional>

#include "core/calendar/CalendarTypes.h"
#include "foundation/Instant.h"

// Durations and rounding of single timings (ZRCDTiming), and the running-timing parts of the
// totals. Durations are seconds; days are day numbers as the timing counts them (its own
// `timezone` and `newDayOffset`). "Now" is Clock::current(). Main thread (the context's thread).
namespace ravelong {
class ManagedObjectContext;
class ZRCDTiming;
}  // namespace ravelong

namespace ravelong::timing_totals {

// The part of [start, current end] inside the day; 0 when they do not overlap or a date or the
// zone is missing.
double getDurationWithinZRDate(const ZRCDTiming& timing, ZRDate day);

// The day's share of the timing's rounded duration, by its task's rule. A running timing counts
// unrounded. A stopped timing under a rule that rounds to u seconds has its rounded units handed
// to the days it touches in proportion to its time in each, by largest remainder (ties to the
// earlier day; days with 5 seconds or less of it take none), so the shares of all its days add up
// to the rounded timing (a timing inside one day gets exactly its rounded duration):
//
//   23:00 to 01:00, cut-off 0, round up to 60 min: 7200 rounded, 2 units, half in each day
//     -> 3600 + 3600
//   23:30 to 00:30, cut-off 0, nearest 60 min: 3600 rounded, 1 unit, half in each day
//     -> 3600 + 0 (the tie goes to the earlier day)
//   22:50 to 23:05 (15 min), round up to 60 min: 1 unit, all of it in one day -> 3600
//
// Without a rounding rule (or for a timing without duration) it is the plain in-day part.
double getPerTaskRoundedDurationWithinZRDate(const ZRCDTiming& timing, ZRDate day);
// The same with the effective rounding code given (callers that hold it for many timings).
double roundedDurationWithinZRDate(const ZRCDTiming& timing, ZRDate day, std::int16_t code);

// The timing's duration rounded by a code. Meant for stopped timings; a running one is rounded
// as it stands now (its end date is only a marker).
double getDurationWithRounding(const ZRCDTiming& timing, std::int16_t code);
// The same with the effective code of the timing's task (no rounding without a task).
double durationWithRounding(const ZRCDTiming& timing);
// start + durationWithRounding; absent without a start date.
std::optional<Instant> endDateWithRounding(const ZRCDTiming& timing);
// Any duration rounded by the effective code of the timing's task.
double getRoundedDurationFromDuration(const ZRCDTiming& timing, double duration);

// --- Running timings (class operations) ---
//
// "Archived" below is the archived flag of the timing's own task.

// The sum over running timings of now - start, each only when positive.
double getTimeOfAllRunningTimingsExcludingArchivedTasks(bool excludingArchivedTasks,
                                                        const ManagedObjectContext& context);

// The part of each running timing inside the days first...last (inclusive). Today is counted with
// the preferences' cut-off hour, the timing's start day and the range's bounds with the timing's
// zone and cut-off:
//
//   started yesterday 22:00 (cut-off 0), now 02:00:  today -> 7200   ...yesterday -> 7200
//   started before `first`: counted from the beginning of `first`
//   range ending before today: counted up to the end of `last`
//   started after today (a clock set back): nothing
double getTimeOfAllRunningTimingsBetweenZRDate(ZRDate first, ZRDate last,
                                               bool excludingArchivedTasks,
                                               const ManagedObjectContext& context);

// The part of each running timing inside the current day (code 0), week (1), month (2) or year
// (3), under the preferences' cut-off hour; other codes count as the day.
double getTimeOfAllRunningTimingsForMenuBarCustomDuration(std::int64_t periodCode,
                                                          bool excludingArchivedTasks,
                                                          const ManagedObjectContext& context);

}  // namespace ravelong::timing_totals

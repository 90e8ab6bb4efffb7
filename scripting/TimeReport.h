#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "foundation/Error.h"

namespace ravelong {

class ManagedObjectContext;
class StoreReader;

// Tracked time per task over a range of days, read from the day aggregates (never from the
// timings but for running timers' time up to now), as the tray and the main window count it:
// a task with subtasks counts through them, rounding applies when enabled, and days begin at
// the preferences' cut-off hour. Main thread (the context's thread).
namespace time_report {

// "All time": every day a timing can have (years 1 to 9999).
inline constexpr ZRDateRange kAllDays{-719162, 2932896};

// A period named on the command line: "day" (today), "week", "month", "year" (the current
// ones under the cut-off), "all".
std::optional<ZRDateRange> namedPeriod(std::string_view name, int hourCutoff);
// A day "YYYY-MM-DD" as a day number; nothing for any other text or an impossible date.
std::optional<ZRDate> dayFromText(std::string_view text);

struct Row {
    std::string uuid;
    std::vector<std::string> path;  // the names from the top-level task down
    bool archived = false;
    double seconds = 0.0;
};

// One row per task in the tasks' order (each subtask after its parent), leaving out tasks
// with no time in the range; archived tasks only when asked.
std::vector<Row> build(const ManagedObjectContext& context, ZRDateRange days, bool includeArchived);

// The same rows read straight from the store file, without building the object graph: the day
// aggregates summed by SQLite (their cached rounded durations for rounding tasks), plus the
// running timers' parts up to Clock's now. Nothing when a rounding task's aggregates hold no
// current rounded duration (only the timings could tell it; use build()); an error when the
// file cannot be read.
Result<std::optional<std::vector<Row>>> buildFromStore(StoreReader& reader, ZRDateRange days,
                                                       bool includeArchived);

enum class Format { text, csv, json };
std::optional<Format> formatFromText(std::string_view text);

// A CSV field (RFC 4180): quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& field);

// Text: the name indented two spaces per tier, then H:MM; the grand total (of the top-level
// rows) last. CSV (RFC 4180, a header line): uuid, path ("A / B"), tier, seconds, hours.
// JSON: {"first": "YYYY-MM-DD", "last": ..., "total_seconds": ..., "tasks": [{"uuid", "path"
// (array), "seconds"}]}.
void write(std::ostream& out, const std::vector<Row>& rows, ZRDateRange days, Format format);

}  // namespace time_report
}  // namespace ravelong

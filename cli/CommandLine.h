#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliCommand.h"
#include "core/calendar/CalendarTypes.h"
#include "foundation/Instant.h"
#include "scripting/TimeReport.h"

namespace ravelong::cli {

// What the reading commands (report, summary, timings) share on their command lines: a period
// ("day" the default, "week", "month", "year", "all", or two days FROM TO), --format and
// --archived, and the words left for the command itself.
struct PeriodOptions {
    std::vector<std::string> words;  // the period words
    time_report::Format format = time_report::Format::text;
    bool archived = false;
    std::optional<std::string> task;  // --task TASK, for commands that take it
};

// The options a command takes besides the period words.
struct AcceptedOptions {
    bool format = true;
    bool archived = true;
    bool task = false;
};

// Parses the arguments; on a mistake prints the problem and `usage` to standard error and
// gives nothing (exit with kExitUsage).
std::optional<PeriodOptions> parsePeriodOptions(CliInvocation& invocation, const char* usage,
                                                AcceptedOptions accepted);

// The days the period words name under the cut-off hour; on a mistake prints it with `usage`
// and gives nothing.
std::optional<ZRDateRange> periodDays(CliInvocation& invocation, const char* usage,
                                      const std::vector<std::string>& words, int hourCutoff);

// The instants [from, to) the days cover in the user's zone, days beginning at the cut-off
// hour; the whole time line for the "all" period's days.
std::pair<Instant, Instant> instantsOfDays(ZRDateRange days, int hourCutoff);

// Prints "ravelong-cli: <problem>" and the usage to standard error; kExitUsage.
int usageError(CliInvocation& invocation, const char* usage, const std::string& problem);

// "H:MM:SS" of a number of seconds (negative counts as 0).
std::string clockDuration(double seconds);

}  // namespace ravelong::cli

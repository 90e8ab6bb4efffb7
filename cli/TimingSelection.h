#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CommandLine.h"
#include "scripting/StoreReader.h"

namespace ravelong::cli {

// A timing a reading command lists, with its task's path ("Parent", "Task").
struct SelectedTiming {
    StoreReader::Timing timing;
    std::vector<std::string> path;
};

// The timings that touch the days (instants [from, to)), by start: of the --task task and its
// subtasks when one is named, of archived tasks only with --archived. On a failure prints it
// and gives nothing with the exit status in `status` (1: unreadable, or an unknown or ambiguous
// task).
std::optional<std::vector<SelectedTiming>> selectTimings(StoreReader& reader,
                                                         const PeriodOptions& options, Instant from,
                                                         Instant to, CliInvocation& invocation,
                                                         int& status);

// The timings of the period the options name, read from the user's store, with the days and
// the cut-off hour they were chosen under. On a failure prints it (and `usage` for a mistake
// of the command line) and gives nothing with the exit status in `status`.
struct PeriodTimings {
    ZRDateRange days;
    int hourCutoff = 0;
    std::vector<SelectedTiming> timings;
};
std::optional<PeriodTimings> selectTimingsOfPeriod(const PeriodOptions& options, const char* usage,
                                                   CliInvocation& invocation, int& status);

// A whole reading command over a period's timings: --help, the options, the timings, then
// `write` with them; the command's exit status.
int runOnPeriodTimings(
    CliInvocation& invocation, const char* usage, AcceptedOptions accepted,
    const std::function<void(const PeriodOptions&, const PeriodTimings&)>& write);

// The task a command line names among the store's tasks: its uuid, else its exact name among
// the unarchived tasks (a name several tasks share is an error listing their uuids).
Result<const StoreReader::Task*> findTask(const std::vector<StoreReader::Task>& tasks,
                                          const std::string& reference);

// "Parent / Task".
std::string joinedPath(const std::vector<std::string>& path);

}  // namespace ravelong::cli

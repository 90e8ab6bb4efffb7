#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/DataLocations.h"
#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/CommandLine.h"
#include "cli/TaskReference.h"
#include "cli/TimingSelection.h"
#include "core/calendar/ZRCalendar.h"
#include "foundation/Clock.h"
#include "scripting/IsoDates.h"
#include "scripting/StoreReader.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli timings [PERIOD | FROM TO] [--task TASK] [--archived]\n"
    "                            [--format text|csv|json]\n"
    "Lists the timings that touch a period, by start: uuid, task (\"Parent / Task\"), start\n"
    "and end (ISO 8601; \"running\" for a running timer), duration (H:MM:SS) and note,\n"
    "tab-separated. PERIOD is day (the default), week, month, year or all; FROM and TO are days\n"
    "YYYY-MM-DD (both included). --task lists only a task (uuid or name) and its subtasks;\n"
    "--archived includes the timings of archived tasks. CSV (RFC 4180, a header line) and JSON\n"
    "give durations in seconds. Reads the store without changing it, also while Ravelong runs.\n"
    "Exit status: 0, 1 the store could not be read or the task is unknown, 2 wrong arguments.\n";

// Text lines keep one timing a line: tabs and line breaks in a note become spaces.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

void write(std::ostream& out, const std::vector<SelectedTiming>& timings,
           time_report::Format format) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const Instant now = Clock::current().now();
    nlohmann::json list = nlohmann::json::array();
    if (format == time_report::Format::csv)
        out << "uuid,task,start,end,seconds,note\r\n";
    for (const SelectedTiming& selected : timings) {
        const StoreReader::Timing& timing = selected.timing;
        const bool running = timing.running();
        const double seconds = std::max(0.0, (running ? now : timing.end) - timing.start);
        const std::string task = joinedPath(selected.path);
        const std::string start = iso_dates::format(timing.start, calendar);
        const std::string end = running ? "" : iso_dates::format(timing.end, calendar);
        switch (format) {
            case time_report::Format::text:
                out << timing.uuid << "\t" << oneLine(task) << "\t" << start << "\t"
                    << (running ? "running" : end) << "\t" << clockDuration(seconds) << "\t"
                    << oneLine(timing.note) << "\n";
                break;
            case time_report::Format::csv:
                out << time_report::csvField(timing.uuid) << "," << time_report::csvField(task)
                    << "," << start << "," << end << "," << std::llround(seconds) << ","
                    << time_report::csvField(timing.note) << "\r\n";
                break;
            case time_report::Format::json:
                list.push_back({{"uuid", timing.uuid},
                                {"task", selected.path},
                                {"start", start},
                                {"end", running ? nlohmann::json(nullptr) : nlohmann::json(end)},
                                {"running", running},
                                {"seconds", seconds},
                                {"note", timing.note}});
                break;
        }
    }
    if (format == time_report::Format::json)
        out << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

int run(CliInvocation& invocation) {
    return runOnPeriodTimings(invocation, kUsage, {.task = true},
                              [&](const PeriodOptions& options, const PeriodTimings& selection) {
                                  write(invocation.out, selection.timings, options.format);
                              });
}

const bool registered = registerCommand(
    {"timings", "[PERIOD|FROM TO] [--task T]", "List the timings of a period", run});

}  // namespace
}  // namespace ravelong::cli

#include <cmath>
#include <cstdio>
#include <ostream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/RavelongBus.h"
#include "cli/TaskReference.h"
#include "core/calendar/ZRCalendar.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "foundation/Clock.h"
#include "scripting/IsoDates.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli status\n"
    "Lists the running timers: task, start (ISO 8601) and time so far (H:MM:SS). Asks the\n"
    "running Ravelong, or reads the store when it does not run.\n"
    "Exit status: 0 (also when no timer runs), 1 the store or Ravelong could not be read,\n"
    "2 wrong arguments.\n";

std::string elapsed(double seconds) {
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

std::string pathOf(const ZRCDTask& task) {
    std::string path;
    for (const std::string& name : task.taskNameArray())
        path += (path.empty() ? "" : " / ") + name;
    return path;
}

void line(std::ostream& out, const std::string& task, Instant start) {
    out << task << "\t" << iso_dates::format(start, ZRCalendar::zrCalendar()) << "\t"
        << elapsed(Clock::current().now() - start) << "\n";
}

int overBus(RavelongBus& bus, CliInvocation& invocation) {
    auto running = bus.runningTaskIDs();
    if (!running) {
        printError(invocation.err, running.error());
        return kExitFailure;
    }
    if (running.value().empty())
        invocation.out << "No timer runs.\n";
    for (const std::string& id : running.value()) {
        auto task = bus.getTaskWithID(id);
        auto timings = bus.getTimingIDs({{"taskID", id}});
        if (!task || !timings) {
            printError(invocation.err, !task ? task.error() : timings.error());
            return kExitFailure;
        }
        const std::string name = task.value() ? text(*task.value(), "name") : id;
        // Timings come by start; the running ones are almost always the last.
        for (auto it = timings.value().rbegin(); it != timings.value().rend(); ++it) {
            auto timing = bus.getTimingWithID(*it);
            if (!timing) {
                printError(invocation.err, timing.error());
                return kExitFailure;
            }
            if (!timing.value())
                continue;
            const auto& map = *timing.value();
            if (map.count("running") && std::get<bool>(map.at("running")))
                line(invocation.out, name, number(map, "startInstant"));
        }
    }
    return kExitSuccess;
}

int fromStore(CliInvocation& invocation) {
    auto store = CliStore::open();
    if (!store) {
        printError(invocation.err, store.error());
        return kExitFailure;
    }
    const auto running =
        ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(store->context());
    if (running.empty())
        invocation.out << "No timer runs.\n";
    for (const ZRCDTiming* timing : running)
        line(invocation.out, timing->task() ? pathOf(*timing->task()) : "?",
             timing->startDate().value_or(0.0));
    return kExitSuccess;
}

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    if (!invocation.arguments.empty()) {
        invocation.err << kUsage;
        return kExitUsage;
    }
    RavelongBus bus;
    return bus.running() ? overBus(bus, invocation) : fromStore(invocation);
}

const bool registered = registerCommand({"status", "", "Show the running timers", run});

}  // namespace
}  // namespace ravelong::cli

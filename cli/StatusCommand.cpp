#include <ostream>

#include "app/DataLocations.h"
#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/CommandLine.h"
#include "cli/TaskReference.h"
#include "core/calendar/ZRCalendar.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "foundation/Clock.h"
#include "scripting/IsoDates.h"
#include "scripting/StoreReader.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli status\n"
    "Lists the running timers, the last changed first: task (\"Parent / Task\"), start\n"
    "(ISO 8601) and time so far (H:MM:SS), tab-separated. Reads the store without changing it,\n"
    "also while Ravelong runs.\n"
    "Exit status: 0 (also when no timer runs), 1 the store could not be read, 2 wrong\n"
    "arguments.\n";

std::string joined(const std::vector<std::string>& path) {
    std::string text;
    for (const std::string& name : path)
        text += (text.empty() ? "" : " / ") + name;
    return text;
}

void line(std::ostream& out, const std::string& task, Instant start) {
    out << task << "\t" << iso_dates::format(start, ZRCalendar::zrCalendar()) << "\t"
        << clockDuration(Clock::current().now() - start) << "\n";
}

int direct(StoreReader& reader, CliInvocation& invocation) {
    auto running = reader.runningTimings();
    if (!running) {
        printError(invocation.err, running.error());
        return kExitFailure;
    }
    if (running.value().empty())
        invocation.out << "No timer runs.\n";
    for (const StoreReader::Timing& timing : running.value()) {
        auto task = reader.task(timing.task);
        if (!task) {
            printError(invocation.err, task.error());
            return kExitFailure;
        }
        line(invocation.out, task.value() ? joined(task.value()->path) : "?", timing.start);
    }
    return kExitSuccess;
}

// A store the direct reading leaves alone (none yet, or one of an older model version) is
// opened the thorough way, which migrates it.
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
        line(invocation.out, timing->task() ? joined(timing->task()->taskNameArray()) : "?",
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
    auto reader = StoreReader::open(DataLocations::standard().storeURL());
    return reader ? direct(*reader, invocation) : fromStore(invocation);
}

const bool registered = registerCommand({"status", "", "Show the running timers", run});

}  // namespace
}  // namespace ravelong::cli

#include <ostream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/RavelongBus.h"
#include "cli/TaskReference.h"
#include "scripting/IsoDates.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli add-timing TASK START END [NOTE]\n"
    "Adds a finished timing to a task without subtasks. START and END are ISO 8601 dates with\n"
    "an offset, such as 2024-03-12T09:30:00+01:00 or 2024-03-12T08:30:00Z; the timing must last\n"
    "more than 10 seconds. Prints the new timing's uuid. Ravelong must be running.\n"
    "Exit status: 0 added, 1 refused or Ravelong not running, 2 wrong arguments.\n";

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    const auto& arguments = invocation.arguments;
    if (arguments.size() < 3 || arguments.size() > 4) {
        invocation.err << kUsage;
        return kExitUsage;
    }
    for (std::size_t i = 1; i <= 2; ++i) {
        if (!iso_dates::parse(arguments[i])) {
            invocation.err << "ravelong-cli: \"" << arguments[i]
                           << "\" is not an ISO 8601 date with offset.\n"
                           << kUsage;
            return kExitUsage;
        }
    }
    RavelongBus bus;
    if (!bus.running()) {
        invocation.err << "ravelong-cli: Ravelong is not running; start it to add timings.\n";
        return kExitFailure;
    }
    auto task = resolveTaskOverBus(bus, arguments[0]);
    if (!task) {
        printError(invocation.err, task.error());
        return kExitFailure;
    }
    RavelongBus::Map timing{
        {"taskID", task.value()}, {"startDate", arguments[1]}, {"endDate", arguments[2]}};
    if (arguments.size() == 4)
        timing["note"] = arguments[3];
    auto created = bus.createTiming(timing);
    if (!created) {
        printError(invocation.err, created.error());
        return kExitFailure;
    }
    if (!created.value()) {
        invocation.err << "ravelong-cli: the timing was refused (a task with subtasks, or not "
                          "more than 10 seconds long).\n";
        return kExitFailure;
    }
    invocation.out << text(*created.value(), "uniqueID") << "\n";
    return kExitSuccess;
}

const bool registered = registerCommand(
    {"add-timing", "TASK START END [NOTE]", "Add a finished timing (Ravelong running)", run});

}  // namespace
}  // namespace ravelong::cli

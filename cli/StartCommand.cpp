#include <algorithm>
#include <ostream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/RavelongBus.h"
#include "cli/TaskReference.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli start TASK\n"
    "Starts the task's timer; a timer already running on it is left alone. Whether other\n"
    "timers stop follows Ravelong's preference for several timers. TASK is a task's uuid or its\n"
    "exact name. Ravelong must be running.\n"
    "Exit status: 0 running, 1 not started or Ravelong not running, 2 wrong arguments.\n";

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    if (invocation.arguments.size() != 1) {
        invocation.err << kUsage;
        return kExitUsage;
    }
    RavelongBus bus;
    if (!bus.running()) {
        invocation.err << "ravelong-cli: Ravelong is not running; start it to control timers.\n";
        return kExitFailure;
    }
    auto task = resolveTaskOverBus(bus, invocation.arguments.front());
    if (!task) {
        printError(invocation.err, task.error());
        return kExitFailure;
    }
    auto running = bus.runningTaskIDs();
    if (!running) {
        printError(invocation.err, running.error());
        return kExitFailure;
    }
    if (std::find(running.value().begin(), running.value().end(), task.value()) !=
        running.value().end()) {
        invocation.out << "Already running.\n";
        return kExitSuccess;
    }
    auto toggled = bus.toggleTask(task.value());
    if (!toggled) {
        printError(invocation.err, toggled.error());
        return kExitFailure;
    }
    if (!toggled.value()) {
        invocation.err << "ravelong-cli: the timer did not start (a task with subtasks cannot be "
                          "timed).\n";
        return kExitFailure;
    }
    return kExitSuccess;
}

const bool registered =
    registerCommand({"start", "TASK", "Start the timer of a task (Ravelong running)", run});

}  // namespace
}  // namespace ravelong::cli

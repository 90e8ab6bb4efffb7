#include <ostream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/RavelongBus.h"
#include "cli/TaskReference.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli toggle TASK\n"
    "Starts the task's timer, or stops it when it runs, as a click on the task in the tray\n"
    "does. TASK is a task's uuid or its exact name. Ravelong must be running.\n"
    "Exit status: 0 toggled, 1 not toggled or Ravelong not running, 2 wrong arguments.\n";

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
    auto toggled = bus.toggleTask(task.value());
    if (!toggled) {
        printError(invocation.err, toggled.error());
        return kExitFailure;
    }
    if (!toggled.value()) {
        invocation.err << "ravelong-cli: the task's timer was not toggled (a task with subtasks "
                          "and no running timer below it cannot be started).\n";
        return kExitFailure;
    }
    return kExitSuccess;
}

const bool registered = registerCommand(
    {"toggle", "TASK", "Start or stop the timer of a task (Ravelong running)", run});

}  // namespace
}  // namespace ravelong::cli

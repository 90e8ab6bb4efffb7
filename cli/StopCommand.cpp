#include <algorithm>
#include <ostream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/RavelongBus.h"
#include "cli/TaskReference.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli stop [TASK]\n"
    "Stops the timer of TASK (a uuid or an exact name), or every running timer. A timer that\n"
    "ran 10 seconds or less is discarded, as in the tray. Ravelong must be running.\n"
    "Exit status: 0 stopped or nothing ran, 1 failed or Ravelong not running, 2 wrong\n"
    "arguments.\n";

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    if (invocation.arguments.size() > 1) {
        invocation.err << kUsage;
        return kExitUsage;
    }
    RavelongBus bus;
    if (!bus.running()) {
        invocation.err << "ravelong-cli: Ravelong is not running; start it to control timers.\n";
        return kExitFailure;
    }
    auto running = bus.runningTaskIDs();
    if (!running) {
        printError(invocation.err, running.error());
        return kExitFailure;
    }
    std::vector<std::string> toStop = running.value();
    if (invocation.arguments.size() == 1) {
        auto task = resolveTaskOverBus(bus, invocation.arguments.front());
        if (!task) {
            printError(invocation.err, task.error());
            return kExitFailure;
        }
        if (std::find(toStop.begin(), toStop.end(), task.value()) == toStop.end()) {
            invocation.out << "Not running.\n";
            return kExitSuccess;
        }
        toStop = {task.value()};
    }
    if (toStop.empty())
        invocation.out << "No timer runs.\n";
    for (const std::string& id : toStop) {
        auto toggled = bus.toggleTask(id);
        if (!toggled) {
            printError(invocation.err, toggled.error());
            return kExitFailure;
        }
    }
    return kExitSuccess;
}

const bool registered =
    registerCommand({"stop", "[TASK]", "Stop one running timer or all (Ravelong running)", run});

}  // namespace
}  // namespace ravelong::cli

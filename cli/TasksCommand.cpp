#include <ostream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/RavelongBus.h"
#include "cli/TaskReference.h"
#include "core/model/ZRCDTask.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli tasks [--archived]\n"
    "Lists the tasks in their order, one a line: uuid, a tab, the name indented two spaces per\n"
    "tier. --archived includes archived tasks (marked \"(archived)\"). Asks the running\n"
    "Ravelong, or reads the store when it does not run.\n"
    "Exit status: 0, 1 the store or Ravelong could not be read, 2 wrong arguments.\n";

int overBus(RavelongBus& bus, bool archived, CliInvocation& invocation) {
    RavelongBus::Map arguments;
    if (archived)
        arguments["includeArchived"] = true;
    auto ids = bus.getTaskIDs(arguments);
    if (!ids) {
        printError(invocation.err, ids.error());
        return kExitFailure;
    }
    for (const std::string& id : ids.value()) {
        auto task = bus.getTaskWithID(id);
        if (!task) {
            printError(invocation.err, task.error());
            return kExitFailure;
        }
        if (task.value())
            invocation.out << id << "\t" << text(*task.value(), "name") << "\n";
    }
    return kExitSuccess;
}

int fromStore(bool archived, CliInvocation& invocation) {
    auto store = CliStore::open();
    if (!store) {
        printError(invocation.err, store.error());
        return kExitFailure;
    }
    // The display chain gives the tree order: every task follows its parent.
    const auto all = ZRCDTask::getAllTasks_inContext(store->context());
    const ZRCDTask* head = nullptr;
    for (const ZRCDTask* task : all) {
        if (!task->prevTask())
            head = task;
    }
    std::size_t listed = 0;
    for (const ZRCDTask* task = head; task && listed < all.size();
         task = task->nextTask(), ++listed) {
        if (task->isArchived() && !archived)
            continue;
        const std::size_t tier = task->taskNameArray().size();
        invocation.out << task->uuid().value_or("") << "\t"
                       << std::string(2 * (tier > 0 ? tier - 1 : 0), ' ')
                       << task->taskName().value_or("") << (task->isArchived() ? " (archived)" : "")
                       << "\n";
    }
    return kExitSuccess;
}

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    bool archived = false;
    for (const std::string& argument : invocation.arguments) {
        if (argument != "--archived") {
            invocation.err << kUsage;
            return kExitUsage;
        }
        archived = true;
    }
    RavelongBus bus;
    return bus.running() ? overBus(bus, archived, invocation) : fromStore(archived, invocation);
}

const bool registered = registerCommand({"tasks", "[--archived]", "List the tasks", run});

}  // namespace
}  // namespace ravelong::cli

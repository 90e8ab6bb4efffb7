#include <ostream>

#include "app/DataLocations.h"
#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/TaskReference.h"
#include "core/model/ZRCDTask.h"
#include "scripting/StoreReader.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli tasks [--archived]\n"
    "Lists the tasks in their order, one a line: uuid, a tab, the name indented two spaces per\n"
    "tier. --archived includes archived tasks (marked \"(archived)\"). Reads the store without\n"
    "changing it, also while Ravelong runs.\n"
    "Exit status: 0, 1 the store could not be read, 2 wrong arguments.\n";

void line(std::ostream& out, const std::string& uuid, std::size_t tier, const std::string& name,
          bool archived) {
    out << uuid << "\t" << std::string(2 * (tier > 0 ? tier - 1 : 0), ' ') << name
        << (archived ? " (archived)" : "") << "\n";
}

int direct(StoreReader& reader, bool archived, CliInvocation& invocation) {
    auto tasks = reader.tasksInTreeOrder();
    if (!tasks) {
        printError(invocation.err, tasks.error());
        return kExitFailure;
    }
    for (const StoreReader::Task& task : tasks.value()) {
        if (!task.archived || archived)
            line(invocation.out, task.uuid, task.path.size(), task.name, task.archived);
    }
    return kExitSuccess;
}

// A store the direct reading leaves alone (none yet, or one of an older model version) is
// opened the thorough way, which migrates it.
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
        if (!task->isArchived() || archived)
            line(invocation.out, task->uuid().value_or(""), task->taskNameArray().size(),
                 task->taskName().value_or(""), task->isArchived());
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
    auto reader = StoreReader::open(DataLocations::standard().storeURL());
    return reader ? direct(*reader, archived, invocation) : fromStore(archived, invocation);
}

const bool registered = registerCommand({"tasks", "[--archived]", "List the tasks", run});

}  // namespace
}  // namespace ravelong::cli

// Prepares and inspects a user's store for the end-to-end tests of the tray program, through the
// same object store the program uses. The store is the one of this user's data folder
// ($XDG_DATA_HOME).
//
//   ravelong-e2e-helper add-task <name>   adds a task and saves
//   ravelong-e2e-helper timings <name>    prints "running=<n> stopped=<n> longest=<seconds>"
//                                         for the timings of the tasks of that name
//   ravelong-e2e-helper tree <name>       prints "<tier> <name>" for the tasks of that name
//                                         and their subtasks, subtasks after their parent
//
// Exit status 0 on success, 1 on a failure (reported on stderr), 2 for a usage error.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DataLocations.h"
#include "app/StoreStack.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "platform/LinuxDeviceIdentity.h"

namespace {

using namespace ravelong;

int addTask(ManagedObjectContext& context, const std::string& name) {
    ZRCDTask::createCoreDataTaskWithName(name, false, context);
    const Status saved = context.save();
    if (!saved) {
        std::fprintf(stderr, "cannot save: %s\n", saved.error().description.c_str());
        return 1;
    }
    return 0;
}

int printTimings(ManagedObjectContext& context, const std::string& name) {
    int running = 0;
    int stopped = 0;
    double longest = 0.0;
    for (ZRCDTask* task : ZRCDTask::getTasksWithName(name, true, context)) {
        for (ZRCDTiming* timing : task->timings()) {
            if (timing->running()) {
                ++running;
            } else {
                ++stopped;
                longest = std::max(longest, timing->duration());
            }
        }
    }
    std::printf("running=%d stopped=%d longest=%.0f\n", running, stopped, longest);
    return 0;
}

void printTree(const ZRCDTask& task, int tier) {
    std::printf("%d %s\n", tier, task.taskName().value_or("").c_str());
    std::vector<const ZRCDTask*> children(task.childTasks().begin(), task.childTasks().end());
    std::sort(children.begin(), children.end(), [](const ZRCDTask* a, const ZRCDTask* b) {
        return a->taskName().value_or("") < b->taskName().value_or("");
    });
    for (const ZRCDTask* child : children)
        if (tier < 3)
            printTree(*child, tier + 1);
}

int printTrees(ManagedObjectContext& context, const std::string& name) {
    const std::vector<ZRCDTask*> tasks = ZRCDTask::getTasksWithName(name, true, context);
    if (tasks.empty()) {
        std::fprintf(stderr, "no task named %s\n", name.c_str());
        return 1;
    }
    for (const ZRCDTask* task : tasks)
        printTree(*task, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s add-task|timings|tree <task name>\n", argv[0]);
        return 2;
    }
    const std::string command = argv[1];
    const std::string name = argv[2];
    LinuxDeviceIdentity identity;
    DeviceIdentity::setCurrent(&identity);

    StoreStack stack(DataLocations::standard());
    Result<ManagedObjectContext*> context = stack.managedObjectContext();
    if (!context) {
        std::fprintf(stderr, "cannot open the store: %s\n", context.error().description.c_str());
        return 1;
    }
    int status = 2;
    if (command == "add-task")
        status = addTask(**context, name);
    else if (command == "timings")
        status = printTimings(**context, name);
    else if (command == "tree")
        status = printTrees(**context, name);
    else
        std::fprintf(stderr, "unknown command %s\n", command.c_str());
    DeviceIdentity::setCurrent(nullptr);
    return status;
}

// Prepares and inspects a user's store for the end-to-end tests of the tray program, through the
// same object store the program uses. The store is the one of this user's data folder
// ($XDG_DATA_HOME).
//
//   ravelong-e2e-helper add-task <name>   adds a task and saves
//   ravelong-e2e-helper timings <name>    prints "running=<n> stopped=<n> longest=<seconds>"
//                                         for the timings of the tasks of that name
//
// Exit status 0 on success, 1 on a failure (reported on stderr), 2 for a usage error.
#include <algorithm>
#include <cstdio>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s add-task|timings <task name>\n", argv[0]);
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
    else
        std::fprintf(stderr, "unknown command %s\n", command.c_str());
    DeviceIdentity::setCurrent(nullptr);
    return status;
}

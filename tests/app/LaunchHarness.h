#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/AppDelegate.h"
#include "app/CalendarIdentifier.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "store/ZRUndoManager.h"
#include "support/VirtualMainLoop.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/RecordingApplicationShell.h"

namespace ravelong::app_testing {

// A delegate launched on a store in the environment's folder, with a virtual main loop and a
// recording shell. Tests make their data by launching, adding records, and closing (destroying
// the delegate without a quit, as a crash would), then launching again.
class LaunchHarness {
public:
    static constexpr std::int64_t kBuild = 2000;

    AppEnvironment env;
    VirtualMainLoop loop{env.clock()};
    ScopedMainLoop scopedLoop{loop};
    ScopedCalendarIdentifier gregorian{"gregorian"};
    RecordingApplicationShell shell;
    std::unique_ptr<AppDelegate> delegate;
    // How the delegates made from now on write to the store (empty: the context's own save).
    std::function<Status(ManagedObjectContext&)> storeSave;

    AppDelegate::Options options(std::int64_t bundleVersion = kBuild) const {
        AppDelegate::Options result;
        result.locations = DataLocations::inDataFolder(env.folder());
        result.bundleVersion = bundleVersion;
        result.storeSave = storeSave;
        return result;
    }

    // Launches a new delegate; the result of applicationDidFinishLaunching.
    bool launch(std::int64_t bundleVersion = kBuild) {
        delegate.reset();
        delegate = std::make_unique<AppDelegate>(shell, options(bundleVersion));
        return delegate->applicationDidFinishLaunching();
    }
    void close() { delegate.reset(); }
    // An orderly quit as the shell runs it, then the process ends.
    void quitAndClose() {
        delegate->applicationWillTerminate();
        close();
    }

    ManagedObjectContext& context() { return delegate->managedObjectContext(); }

    ZRCDTask* addTask(const std::string& name) {
        return ZRCDTask::createCoreDataTaskWithName(name, true, context());
    }
    // A timing of `task` running since `secondsAgo` before the clock's reading, saved.
    ZRCDTiming* addRunningTiming(ZRCDTask* task, double secondsAgo) {
        ZRCDTiming* timing =
            ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context());
        if (!timing)
            throw std::runtime_error("no running timing was made");
        timing->setStartDate(env.clock().now() - secondsAgo);
        delegate->saveContext(context());
        return timing;
    }
    std::size_t runningTimings() { return ZRCDTiming::numberOfRunningTimings_inContext(context()); }
    ZRCDTask* taskNamed(const std::string& name) {
        for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context())) {
            if (task->taskName() == name)
                return task;
        }
        return nullptr;
    }
};

// A harness whose first launch has finished.
struct LaunchedHarness : LaunchHarness {
    LaunchedHarness() {
        if (!launch())
            throw std::runtime_error("the launch did not finish");
    }
};

}  // namespace ravelong::app_testing

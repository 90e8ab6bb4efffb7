#include <gtest/gtest.h>

#include "app/MaintenanceServices.h"
#include "app/ZRUserDefaults2.h"
#include "store/PersistentStore.h"
#include "store/StoreError.h"
#include "store/ZRUndoManager.h"
#include "tests/app/LaunchHarness.h"

namespace ravelong::app_testing {
namespace {

TEST(QuitDecision, RunningTimersAreAskedAboutWithTheirNumber) {
    const std::pair<int, std::string> cases[] = {
        {1, "showTimersRunningWindow A timer is running.|Do you want to stop it?"},
        {2, "showTimersRunningWindow There are two timers running.|Do you want to stop them?"},
        {3, "showTimersRunningWindow There are 3 timers running.|Do you want to stop them?"},
    };
    for (const auto& [n, expected] : cases) {
        SCOPED_TRACE(n);
        LaunchedHarness h;
        for (int i = 0; i < n; ++i)
            h.addRunningTiming(h.addTask("Task " + std::to_string(i)), 60.0);
        h.delegate->quitApplication();
        EXPECT_EQ(h.shell.calls.back(), "requestQuit");
        EXPECT_TRUE(h.delegate->menubarPanelIsVisible());
        EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateLater);
        EXPECT_EQ(h.shell.calls.back(), expected);
    }
}

// Either answer quits at once; kept timers run on in the next launch, stopped ones are saved.
TEST(QuitDecision, KeepingOrStoppingTheTimersQuitsAndTheNextLaunchFindsThemSo) {
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "keep" : "stop");
        LaunchedHarness h;
        h.addRunningTiming(h.addTask("Writing"), 600.0);
        h.addRunningTiming(h.addTask("Reading"), 300.0);
        h.delegate->quitApplication();
        ASSERT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateLater);

        if (keep)
            h.delegate->timersRunningOnQuitKeep();
        else
            h.delegate->timersRunningOnQuitStop();
        EXPECT_EQ(h.shell.count("closeTimersRunningWindow"), 1);
        EXPECT_EQ(h.shell.count("requestQuit"), 2);
        EXPECT_EQ(h.delegate->keepTimersRunningOnQuit(), keep);
        EXPECT_EQ(h.runningTimings(), keep ? 2u : 0u);
        EXPECT_FALSE(h.context().hasChanges());
        EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateNow);
        h.quitAndClose();
        EXPECT_TRUE(ZRUserDefaults2::didQuitProperly());

        ASSERT_TRUE(h.launch());
        EXPECT_TRUE(h.env.alerts().shownAlerts().empty());
        EXPECT_EQ(h.runningTimings(), keep ? 2u : 0u);
        EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(h.context()), 2u);
    }
}

TEST(QuitDecision, TheStandardShortcutOnlyClosesWhatIsInFront) {
    LaunchedHarness h;
    h.addRunningTiming(h.addTask("Writing"), 600.0);  // not asked about: not a real quit

    h.delegate->openMainWindow();
    ASSERT_TRUE(h.shell.mainWindowOpen);
    EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    EXPECT_FALSE(h.shell.mainWindowOpen);
    EXPECT_FALSE(h.delegate->mainWindowIsOpen());

    h.shell.panelDetached = true;
    h.shell.calls.clear();
    EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    EXPECT_EQ(h.shell.calls, (std::vector<std::string>{"commitEditing", "closePanel",
                                                       "resetApplicationIcon", "reattachPanel"}));

    // Window closed, panel under its tray item: the shortcut quits.
    EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateNow);
    EXPECT_EQ(h.shell.count("showTimersRunningWindow"), 0);
}

TEST(QuitDecision, PendingEditsThatCannotBeCommittedCancelTheQuit) {
    LaunchedHarness h;
    h.shell.commitEditingSucceeds = false;
    h.delegate->quitApplication();
    EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    EXPECT_TRUE(h.env.log().contains(
        "applicationShouldTerminate",
        "AppDelegate:applicationShouldTerminate unable to commit editing to terminate"));
}

TEST(QuitDecision, AFailedSaveAsksWhetherToQuitAnyway) {
    LaunchedHarness h;
    ZRCDTask* task = h.addTask("Writing");
    task->setTaskName(std::string("Editing"));
    h.delegate->storeStack().persistentStoreCoordinator()->failSaveAfterStatements(0);
    h.delegate->quitApplication();

    h.env.alerts().queueButton(0);  // the store's error
    h.env.alerts().queueButton(1);  // "Cancel"
    EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateCancel);
    ASSERT_EQ(h.env.alerts().shownAlerts().size(), 2u);
    const Alert& question = h.env.alerts().shownAlerts().back();
    EXPECT_EQ(question.messageText, "Could not save changes while quitting. Quit anyway?");
    EXPECT_EQ(question.informativeText,
              "Quitting now will lose any changes you have made since the last successful save");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"Quit anyway", "Cancel"}));
    EXPECT_TRUE(h.context().hasChanges());

    h.delegate->storeStack().persistentStoreCoordinator()->failSaveAfterStatements(0);
    h.env.alerts().queueButton(0);
    h.env.alerts().queueButton(0);  // "Quit anyway"
    EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateNow);
}

TEST(QuitDecision, AQuitBeforeTheStoreOpenedLeavesTheCrashCheckArmed) {
    LaunchedHarness h;
    h.addRunningTiming(h.addTask("Writing"), 600.0);
    h.close();  // crashed

    // An older build refuses to run, and its quit must not pass for an orderly one.
    ASSERT_FALSE(h.launch(LaunchHarness::kBuild - 1));
    EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateNow);
    h.quitAndClose();
    EXPECT_FALSE(ZRUserDefaults2::didQuitProperly());

    h.env.alerts().queueButton(1);
    ASSERT_TRUE(h.launch());
    EXPECT_EQ(h.env.alerts().shownAlerts().back().messageText,
              "It appears that Ravelong has crashed while the timer was running.");
}

TEST(Shutdown, StopsTheTimersUnlessTimingGoesOnWhileTheComputerSleeps) {
    for (bool timingWhenSleeping : {false, true}) {
        SCOPED_TRACE(timingWhenSleeping);
        LaunchedHarness h;
        ZRUserDefaults2::setTimingWhenSleeping(timingWhenSleeping);
        h.addRunningTiming(h.addTask("Writing"), 600.0);

        h.delegate->computerWillShutdownRestartLogout();
        // Not before the process really goes.
        EXPECT_FALSE(ZRUserDefaults2::didQuitProperly());
        EXPECT_TRUE(h.delegate->menubarPanelIsVisible());
        EXPECT_EQ(h.shell.calls.back(), "requestQuit");
        EXPECT_EQ(h.runningTimings(), timingWhenSleeping ? 1u : 0u);
        // No question holds up the shutdown.
        EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateNow);
        EXPECT_EQ(h.shell.count("showTimersRunningWindow"), 0);
        h.quitAndClose();
        EXPECT_TRUE(ZRUserDefaults2::didQuitProperly());

        ASSERT_TRUE(h.launch());
        EXPECT_TRUE(h.env.alerts().shownAlerts().empty());
        EXPECT_EQ(h.runningTimings(), timingWhenSleeping ? 1u : 0u);
    }
}

TEST(Shutdown, AProcessThatDiesBeforeItsQuitIsCheckedForACrash) {
    LaunchedHarness h;
    h.addRunningTiming(h.addTask("Writing"), 184.0);  // kept running over the shutdown
    h.delegate->computerWillShutdownRestartLogout();
    EXPECT_EQ(h.shell.calls.back(), "requestQuit");
    h.close();  // killed before the quit request was carried out

    h.env.alerts().queueButton(1);  // "Cancel"
    ASSERT_TRUE(h.launch());
    ASSERT_EQ(h.env.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(h.env.alerts().shownAlerts().front().messageText,
              "It appears that Ravelong has crashed while the timer was running.");
    EXPECT_EQ(h.runningTimings(), 1u);
}

TEST(Shutdown, OnAFullDiskNothingIsAskedAndTheExitStatusSaysChangesWereLost) {
    LaunchHarness h;
    bool diskFull = false;
    h.storeSave = [&](ManagedObjectContext& context) -> Status {
        if (diskFull)
            return storeError(StoreErrorCode::DiskFull, "No space left on the disk");
        return context.save();
    };
    ASSERT_TRUE(h.launch());
    ZRUserDefaults2::setTimingWhenSleeping(false);  // the shutdown stops the timer
    h.addRunningTiming(h.addTask("Writing"), 600.0);
    diskFull = true;
    h.addTask("Reading");  // not saved yet

    h.delegate->computerWillShutdownRestartLogout();
    EXPECT_EQ(h.delegate->applicationShouldTerminate(), TerminateReply::TerminateNow);
    h.loop.runPending();
    h.delegate->applicationWillTerminate();
    EXPECT_TRUE(h.env.alerts().shownAlerts().empty());
    EXPECT_EQ(h.shell.count("showTimersRunningWindow"), 0);
    EXPECT_TRUE(h.env.log().contains("saveContext", "quitting without saving"));
    EXPECT_EQ(h.delegate->exitStatus(), kExitStatusChangesNotSaved);
    EXPECT_FALSE(ZRUserDefaults2::didQuitProperly());
    h.close();

    // The store is as the last good save left it: the timer still runs there, and the next
    // launch asks about it.
    diskFull = false;
    h.env.alerts().queueButton(1);
    ASSERT_TRUE(h.launch());
    EXPECT_EQ(h.env.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(h.runningTimings(), 1u);
    EXPECT_EQ(h.taskNamed("Reading"), nullptr);
    EXPECT_EQ(h.delegate->exitStatus(), 0);
}

class RecordingBackup final : public AutomaticBackup {
public:
    std::vector<bool> calls;
    void backupForce(bool force) override { calls.push_back(force); }
};

class RecordingSync final : public SyncRequester {
public:
    bool ready = true;
    std::vector<std::int64_t> requests;
    bool readyToSync() const override { return ready; }
    void forceSyncWithMergeOptions(std::int64_t options) override { requests.push_back(options); }
};

TEST(MaintenanceTick, WhileActiveSavesAndLeavesTheRepairsForLater) {
    LaunchHarness h;
    RecordingBackup backup;
    RecordingSync sync;
    ASSERT_TRUE(h.launch());
    h.delegate->setAutomaticBackup(&backup);
    h.delegate->setSyncRequester(&sync);
    ZRCDTask* task = h.addTask("Writing");
    task->setTaskName(std::nullopt);  // a repair would name it
    h.shell.active = true;

    h.loop.advance(AppDelegate::kMaintenanceInterval - 1);
    EXPECT_TRUE(backup.calls.empty());
    h.loop.advance(1);
    EXPECT_FALSE(h.context().hasChanges());
    EXPECT_EQ(task->taskName(), std::nullopt);
    EXPECT_EQ(backup.calls, std::vector<bool>{false});
    EXPECT_EQ(sync.requests, std::vector<std::int64_t>{32});

    // Backups off, sync not ready: neither is asked again.
    ZRUserDefaults2::setAutoBackupEnabled(false);
    sync.ready = false;
    h.loop.advance(AppDelegate::kMaintenanceInterval);
    EXPECT_EQ(backup.calls.size(), 1u);
    EXPECT_EQ(sync.requests.size(), 1u);
}

TEST(MaintenanceTick, InTheBackgroundRepairsSavesAndClearsTheUndoHistory) {
    LaunchedHarness h;
    ZRCDTask* task = h.addTask("Writing");
    task->setTaskName(std::nullopt);
    h.context().processPendingChanges();
    ASSERT_TRUE(h.context().undoManager()->canUndo());
    h.shell.active = false;

    h.loop.advance(AppDelegate::kMaintenanceInterval);
    EXPECT_EQ(task->taskName(), std::optional<std::string>("Recovered Task"));
    EXPECT_FALSE(h.context().hasChanges());
    EXPECT_FALSE(h.context().undoManager()->canUndo());
}

TEST(MaintenanceTick, CutsOverLongTimers) {
    LaunchedHarness h;
    h.addRunningTiming(h.addTask("Writing"), 100 * 3600.0);
    h.loop.advance(AppDelegate::kMaintenanceInterval);
    // Cut at 96 hours, continued by a new running timing.
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(h.context()), 2u);
    EXPECT_EQ(h.runningTimings(), 1u);
    EXPECT_FALSE(h.context().hasChanges());
}

}  // namespace
}  // namespace ravelong::app_testing

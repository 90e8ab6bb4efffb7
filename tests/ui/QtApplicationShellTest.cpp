#include <gtest/gtest.h>

#include <QPushButton>

#include "app/AppDelegate.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "foundation/Version.h"
#include "support/FixedDeviceIdentity.h"
#include "support/TestSupport.h"
#include "ui/QtApplicationShell.h"
#include "ui/QtMainLoop.h"
#include "ui/TaskPanel.h"
#include "ui/TimersRunningWindow.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::runUntil;

// The shell with the real application delegate on a store in a temporary folder. The offscreen
// platform has no tray, so the panel is the program's window.
class QtApplicationShellTest : public ::testing::Test {
protected:
    QtApplicationShellTest() {
        NotificationCenter::setDefaultCenter(&center);
        shell.setDelegate(&delegate);
        connect();
    }
    ~QtApplicationShellTest() override { NotificationCenter::setDefaultCenter(nullptr); }

    void connect() {
        QObject::connect(&shell, &QtApplicationShell::quitting, [this] { ++quits; });
    }

    ManagedObjectContext& context() { return delegate.managedObjectContext(); }

    void launch() {
        shell.installTray();
        ASSERT_TRUE(delegate.applicationDidFinishLaunching());
        shell.launchFinished();
    }

    ZRCDTask* addTask(const std::string& name) {
        ZRCDTask* task = ZRCDTask::createCoreDataTaskWithName(name, true, context());
        shell.refreshTaskLists();
        return task;
    }

    std::vector<std::string> runningTaskNames() {
        std::vector<std::string> names;
        for (ZRCDTiming* timing : ZRCDTiming::getRunningTimings_inContext(context()))
            names.push_back(timing->task() ? timing->task()->taskName().value_or("") : "");
        return names;
    }

    testing::TemporaryDirectory folder;
    UserDefaults settings{folder.path() / "settings.json"};
    ScopedUserDefaults scopedSettings{UserDefaults::Suite::standard, settings};
    UserDefaults groupSettings{folder.path() / "group-settings.json"};
    ScopedUserDefaults scopedGroupSettings{UserDefaults::Suite::group, groupSettings};
    ScriptedAlertPresenter alerts;
    ScopedAlertPresenter scopedAlerts{alerts};
    FixedDeviceIdentity identity{{"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Engine"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    NotificationCenter center;
    QtMainLoop loop;
    ScopedMainLoop scopedLoop{loop};
    LogCapture log;
    QtApplicationShell shell;
    AppDelegate delegate{
        shell, {DataLocations::inDataFolder(folder.path() / "data"), kRavelongBuildNumber}};
    int quits = 0;
};

TEST_F(QtApplicationShellTest, WithoutATrayThePanelIsAWindowOpenFromTheStart) {
    launch();
    ASSERT_NE(shell.panel(), nullptr);
    EXPECT_FALSE(shell.hasTrayIcon());
    EXPECT_EQ(shell.panel()->kind(), TaskPanel::Kind::window);
    EXPECT_TRUE(shell.panel()->isVisible());
    EXPECT_EQ(shell.statusItemTime(), nullptr);
    // The user is told once, and it is remembered.
    EXPECT_TRUE(settings.boolForKey("ZRNoTrayNoticeShown"));
}

TEST_F(QtApplicationShellTest, APanelRowClickStartsAndStopsTheTasksTimer) {
    launch();
    addTask("Write report");
    addTask("Read mail");
    ASSERT_EQ(shell.panel()->rows().size(), 2u);
    // A new task goes to the top of the list.
    EXPECT_EQ(shell.panel()->rows()[0].name, "Read mail");
    EXPECT_EQ(shell.panel()->rows()[1].name, "Write report");

    ASSERT_TRUE(shell.clickTaskNamed("Write report"));
    EXPECT_EQ(runningTaskNames(), std::vector<std::string>{"Write report"});
    EXPECT_TRUE(shell.panel()->rows()[1].running);
    EXPECT_FALSE(shell.panel()->rows()[0].running);

    ASSERT_TRUE(shell.clickTaskNamed("Write report"));
    EXPECT_TRUE(runningTaskNames().empty());
    EXPECT_FALSE(shell.panel()->rows()[1].running);

    EXPECT_FALSE(shell.clickTaskNamed("No such task"));
}

TEST_F(QtApplicationShellTest, AClickOnARowWhoseTaskIsGoneChangesNothing) {
    launch();
    ZRCDTask* task = addTask("Write report");
    const QString uuid = QString::fromStdString(task->uuid().value_or(""));
    context().deleteObject(task);
    ASSERT_TRUE(delegate.saveContext(context()));
    shell.taskClicked(uuid);
    EXPECT_TRUE(runningTaskNames().empty());
}

TEST_F(QtApplicationShellTest, QuittingWithATimerRunningAsksAndKeepingItQuits) {
    launch();
    addTask("Write report");
    ASSERT_TRUE(shell.clickTaskNamed("Write report"));

    delegate.quitApplication();
    ASSERT_TRUE(runUntil(
        [&] { return shell.timersRunningWindow() && shell.timersRunningWindow()->isVisible(); }));
    EXPECT_EQ(quits, 0) << "the quit waits for the answer";

    QPushButton* keep = nullptr;
    for (QPushButton* button : shell.timersRunningWindow()->findChildren<QPushButton*>()) {
        if (button->text() == "Keep Running")
            keep = button;
    }
    ASSERT_NE(keep, nullptr);
    keep->click();
    ASSERT_TRUE(runUntil([&] { return quits == 1; }));
    EXPECT_FALSE(shell.timersRunningWindow()->isVisible());
    EXPECT_EQ(runningTaskNames(), std::vector<std::string>{"Write report"});
    EXPECT_TRUE(settings.boolForKey("ZRDidQuit"));

    // Further requests after the decision do nothing.
    shell.requestQuit();
    runUntil([] { return false; }, 50);
    EXPECT_EQ(quits, 1);
}

TEST_F(QtApplicationShellTest, ShutdownStopsTimersUnlessTimingGoesOnWhileAsleep) {
    settings.setBool("ZRTimingWhenSleeping", false);
    launch();
    addTask("Write report");
    ASSERT_TRUE(shell.clickTaskNamed("Write report"));
    delegate.computerWillShutdownRestartLogout();
    ASSERT_TRUE(runUntil([&] { return quits == 1; }));
    EXPECT_TRUE(runningTaskNames().empty());
    EXPECT_FALSE(shell.timersRunningWindow() && shell.timersRunningWindow()->isVisible());
}

}  // namespace
}  // namespace ravelong

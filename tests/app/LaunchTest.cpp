#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/AppStrings.h"
#include "app/MaintenanceServices.h"
#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "tests/app/LaunchHarness.h"

namespace ravelong::app_testing {
namespace {

TEST(Launch, AnOlderBuildThanTheLastOneRefusesToRun) {
    LaunchHarness h;
    ZRUserDefaults2::setVersionNumber(LaunchHarness::kBuild + 1);
    EXPECT_FALSE(h.launch());

    ASSERT_EQ(h.env.alerts().shownAlerts().size(), 1u);
    const Alert& alert = h.env.alerts().shownAlerts().front();
    EXPECT_EQ(alert.messageText, "You are running an outdated version of Ravelong.");
    EXPECT_EQ(alert.informativeText, "Please use the latest version available.");
    EXPECT_EQ(alert.buttons, std::vector<std::string>{"Quit"});
    EXPECT_EQ(h.shell.calls, std::vector<std::string>{"requestQuit"});
    EXPECT_FALSE(h.delegate->hasManagedObjectContext());
    EXPECT_FALSE(std::filesystem::exists(h.options().locations.storeURL()));
    EXPECT_EQ(ZRUserDefaults2::versionNumber(), LaunchHarness::kBuild + 1);
}

TEST(Launch, ANewerBuildIsRecordedAndSwitchesOldBuildsToAutomaticBackups) {
    struct Case {
        std::int64_t stored;
        bool ownSettings;  // written by a build of this program (which numbers its builds anew)
        bool backupsBefore;
        bool backupsAfter;
        std::int64_t countAfter;
        bool locationKept;
    };
    // Settings taken over from elsewhere, below 1500 with backups off: on, 4 kept, default
    // folder. Otherwise, and always on settings of this program, nothing changes.
    const Case cases[] = {
        {-1, false, false, true, 4, false},
        {1499, false, false, true, 4, false},
        {1499, false, true, true, 8, true},
        {1500, false, false, false, 8, true},
        {1, true, false, false, 8, true},
        {LaunchHarness::kBuild - 1, true, false, false, 8, true},
        {LaunchHarness::kBuild, true, false, false, 8, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.stored << (c.ownSettings ? " own" : " foreign"));
        LaunchHarness h;
        ZRUserDefaults2::setVersionNumber(c.stored);
        if (c.ownSettings)
            h.env.defaults().setInteger(kRavelongSettingsBuild, c.stored);
        ZRUserDefaults2::setAutoBackupEnabled(c.backupsBefore);
        ZRUserDefaults2::setAutoBackupCount(8);
        h.env.defaults().setData(kZRAutoBackupLocationData, std::vector<std::uint8_t>{'/', 'x'});
        ASSERT_TRUE(h.launch());
        EXPECT_EQ(ZRUserDefaults2::versionNumber(), LaunchHarness::kBuild);
        EXPECT_EQ(h.env.defaults().integerForKey(kRavelongSettingsBuild), LaunchHarness::kBuild);
        EXPECT_EQ(ZRUserDefaults2::autoBackupEnabled(), c.backupsAfter);
        EXPECT_EQ(ZRUserDefaults2::autoBackupCount(), c.countAfter);
        EXPECT_EQ(h.env.defaults().exists(kZRAutoBackupLocationData), c.locationKept);
    }
}

TEST(Launch, UpgradesOfThisProgramKeepAutomaticBackupsAsTheUserSetThem) {
    LaunchHarness h;
    ASSERT_TRUE(h.launch(7));
    ZRUserDefaults2::setAutoBackupEnabled(false);
    ZRUserDefaults2::setAutoBackupCount(16);
    h.quitAndClose();
    for (const std::int64_t build : {8, 1499, 1500}) {
        SCOPED_TRACE(build);
        ASSERT_TRUE(h.launch(build));
        EXPECT_EQ(ZRUserDefaults2::versionNumber(), build);
        EXPECT_FALSE(ZRUserDefaults2::autoBackupEnabled());
        EXPECT_EQ(ZRUserDefaults2::autoBackupCount(), 16);
        h.quitAndClose();
    }
}

TEST(Launch, TheFirstRunOpensThePanelAndLaterRunsTidyTheSettings) {
    LaunchedHarness h;
    EXPECT_TRUE(h.delegate->isLaunched());
    EXPECT_TRUE(h.delegate->allowTogglePanel());
    EXPECT_EQ(h.shell.count("togglePanel"), 1);
    EXPECT_EQ(h.shell.count("createMenuBarControllers"), 1);
    EXPECT_EQ(h.env.defaults().integerForKey(kZRShowTasks), 2);
    ASSERT_NE(h.delegate->timerController(), nullptr);
    ASSERT_NE(h.delegate->cdPreferences(), nullptr);
    h.quitAndClose();

    UserDefaults& defaults = h.env.defaults();
    defaults.setString(kZRMenuBarSearchTerm, "old search");
    ZRUserDefaults2::setGeneralStartDate(20240310);
    ZRUserDefaults2::setGeneralEndDate(20240301);
    h.shell.calls.clear();
    ASSERT_TRUE(h.launch());
    EXPECT_EQ(h.shell.count("togglePanel"), 0);
    EXPECT_EQ(ZRUserDefaults2::menuBarSearchTerm(), std::optional<std::string>(""));
    EXPECT_EQ(ZRUserDefaults2::generalStartDate(), 0);
    EXPECT_EQ(ZRUserDefaults2::generalEndDate(), 99999999);
}

TEST(Launch, OldMenuBarPeriodTextsBecomeTheirNumbers) {
    const std::pair<std::string, std::int64_t> cases[] = {
        {"this week", 1}, {"this month", 2}, {"this year  ", 3}, {"this year", 0}, {"", 0}};
    for (const auto& [text, number] : cases) {
        SCOPED_TRACE(text);
        LaunchHarness h;
        ZRUserDefaults2::setShowTasks(2);  // not the first run
        h.env.defaults().setString(kZRMenuBarCustomDuration, text);
        ASSERT_TRUE(h.launch());
        EXPECT_EQ(h.env.defaults().integerForKey(kZRMenuBarCustomDuration, -1), number);
    }
    LaunchHarness h;
    ZRUserDefaults2::setShowTasks(2);
    h.env.defaults().setInteger(kZRMenuBarCustomDuration, 2);
    ASSERT_TRUE(h.launch());
    EXPECT_EQ(h.env.defaults().integerForKey(kZRMenuBarCustomDuration, -1), 2);
}

TEST(Launch, OriginsOfThisDeviceTakeTheSystemNamesUnlessTheUserNamedThem) {
    for (bool named : {false, true}) {
        SCOPED_TRACE(named);
        LaunchedHarness h;
        h.addTask("Writing");
        std::vector<ZRCDOrigin*> origins = ZRCDOrigin::getAllOrigins_inContext(h.context());
        ASSERT_EQ(origins.size(), 1u);
        origins.front()->setDevice(std::string("Old Computer"));
        origins.front()->setUser(std::string("Old User"));
        h.delegate->saveContext(h.context());
        h.close();

        if (named) {
            h.env.defaults().setString(kZRDeviceName, "Study");
            h.env.defaults().setString(kZRUserName, "Ada");
        }
        h.env.clock().advance(3600);
        ASSERT_TRUE(h.launch());
        ZRCDOrigin* origin = ZRCDOrigin::getAllOrigins_inContext(h.context()).front();
        EXPECT_EQ(origin->device(), named ? "Old Computer" : "Analytical Engine");
        EXPECT_EQ(origin->user(), named ? "Old User" : "Ada Lovelace");
        if (!named) {
            EXPECT_EQ(origin->deviceNameChanged(), h.env.clock().now());
            EXPECT_EQ(origin->userNameChanged(), h.env.clock().now());
        }
        EXPECT_FALSE(h.context().hasChanges());
        EXPECT_FALSE(h.context().undoManager()->canUndo());
    }
}

TEST(Launch, TheOldLocalDayCutOffMovesIntoTheSyncedPreferences) {
    const std::pair<std::int64_t, std::int32_t> cases[] = {{4, 4}, {0, 0}, {-3, 0}, {30, 0}};
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored);
        LaunchHarness h;
        h.env.defaults().setInteger(kZRNewDay, stored);
        ASSERT_TRUE(h.launch());
        EXPECT_EQ(h.delegate->cdPreferences()->newDay(), expected);
        EXPECT_FALSE(h.env.defaults().exists(kZRNewDay));
        h.close();
        ASSERT_TRUE(h.launch());
        EXPECT_EQ(h.delegate->cdPreferences()->newDay(), expected);
    }
}

class RecordingLegacyUpgrade final : public LegacyUpgrade {
public:
    explicit RecordingLegacyUpgrade(LaunchHarness& h) : h_(h) {}
    int runs = 0;
    bool notMigratedDuringRun = false;

    double getUIDCount() override { return 3; }
    void continueDatabaseMigration(const std::function<void(double)>& progress) override {
        ++runs;
        notMigratedDuringRun = h_.env.defaults().boolForKey(kZRNotMigrated);
        ZRCDTask::createCoreDataTaskWithName("From the old days", false,
                                             h_.delegate->managedObjectContext());
        for (double value : {1.0, 2.0, 3.0})
            progress(value);
        h_.env.defaults().setBool(kZRNotMigrated, false);
    }

private:
    LaunchHarness& h_;
};

bool launchWithUpgrade(LaunchHarness& h, LegacyUpgrade* upgrade) {
    h.delegate.reset();
    h.delegate = std::make_unique<AppDelegate>(h.shell, h.options());
    h.delegate->setLegacyUpgrade(upgrade);
    return h.delegate->applicationDidFinishLaunching();
}

TEST(Launch, OldDataIsUpgradedIntoAnEmptyStoreOnly) {
    LaunchHarness h;
    RecordingLegacyUpgrade upgrade(h);
    h.env.defaults().setInteger(kZRFilesInOldDirectory, 2);
    h.env.defaults().setInteger(kZRFilesInNewDirectory, 0);
    ASSERT_TRUE(launchWithUpgrade(h, &upgrade));
    EXPECT_EQ(upgrade.runs, 1);
    EXPECT_TRUE(upgrade.notMigratedDuringRun);
    EXPECT_EQ(h.shell.count("showDatabaseUpdateWindow This is necessary only once after upgrading "
                            "from Ravelong v1.2.4 or lower to v1.3 or higher. Please be "
                            "patient.|3.000000"),
              1);
    EXPECT_EQ(h.shell.count("setDatabaseUpdateProgress"), 3);
    EXPECT_EQ(h.shell.count("closeDatabaseUpdateWindow"), 1);
    EXPECT_FALSE(h.context().hasChanges());
    EXPECT_NE(h.taskNamed("From the old days"), nullptr);
    h.close();

    // The legacy folder is still there at the next start; the upgraded data must not come twice.
    ASSERT_TRUE(launchWithUpgrade(h, &upgrade));
    EXPECT_EQ(upgrade.runs, 1);
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(h.context()), 1u);
}

TEST(Launch, AnUnfinishedUpgradeRunsAgainAndWithoutAnUpgraderIsOnlyLogged) {
    {
        LaunchHarness h;
        RecordingLegacyUpgrade upgrade(h);
        h.env.defaults().setBool(kZRNotMigrated, true);
        ASSERT_TRUE(launchWithUpgrade(h, &upgrade));
        EXPECT_EQ(upgrade.runs, 1);
    }
    {
        LaunchHarness h;
        h.env.defaults().setInteger(kZRFilesInOldDirectory, 2);
        ASSERT_TRUE(h.launch());
        EXPECT_EQ(h.shell.count("showDatabaseUpdateWindow"), 0);
        EXPECT_FALSE(h.env.defaults().exists(kZRNotMigrated));
        EXPECT_TRUE(h.env.log().contains(LogLevel::info, "applicationDidFinishLaunching", "1.2.4"));
    }
    {
        // The intermediate generation already took the old data over.
        LaunchHarness h;
        RecordingLegacyUpgrade upgrade(h);
        h.env.defaults().setInteger(kZRFilesInOldDirectory, 2);
        h.env.defaults().setInteger(kZRFilesInNewDirectory, 1);
        ASSERT_TRUE(launchWithUpgrade(h, &upgrade));
        EXPECT_EQ(upgrade.runs, 0);
    }
}

TEST(Launch, TheRepairPassMendsTheStoreAndSavesIt) {
    LaunchedHarness h;
    ZRCDTask* first = h.addTask("Writing");
    ZRCDTask* second = h.addTask("Reading");
    second->setUuid(first->uuid());  // one task that reached the store twice
    first->setTaskName(std::nullopt);
    h.delegate->saveContext(h.context());
    h.close();

    ASSERT_TRUE(h.launch());
    EXPECT_FALSE(h.context().hasChanges());
    EXPECT_FALSE(h.context().undoManager()->canUndo());
    h.close();
    ASSERT_TRUE(h.launch());
    std::vector<ZRCDTask*> tasks = ZRCDTask::getAllTasks_inContext(h.context());
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_TRUE(tasks.front()->taskName().has_value());
}

// The task names along the order from every head (a sound order has one head).
std::vector<std::string> taskOrders(ManagedObjectContext& context) {
    std::vector<std::string> orders;
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context)) {
        if (task->prevTask())
            continue;
        std::string order;
        for (ZRCDTask* t = task; t && order.size() < 100; t = t->nextTask())
            order += t->taskName().value_or("?");
        orders.push_back(order);
    }
    std::sort(orders.begin(), orders.end());
    return orders;
}

TEST(Launch, TheRepairPassPutsASubtaskBehindItsParentAndLaterLaunchesKeepTheOrder) {
    LaunchedHarness h;
    std::vector<ZRCDTask*> tasks;
    for (const char* name : {"H", "G", "F", "E", "X", "D", "C", "B", "A"})
        tasks.insert(tasks.begin(), h.addTask(name));
    // A B C D X E F G H, with X a subtask of A standing apart from it.
    for (std::size_t i = 0; i + 1 < tasks.size(); ++i)
        tasks[i]->setNextTask(tasks[i + 1]);
    tasks[4]->setParentTask(tasks[0]);
    h.delegate->saveContext(h.context());
    ASSERT_EQ(taskOrders(h.context()), std::vector<std::string>{"ABCDXEFGH"});
    h.close();

    for (int launch = 1; launch <= 2; ++launch) {
        SCOPED_TRACE(launch);
        ASSERT_TRUE(h.launch());
        EXPECT_EQ(taskOrders(h.context()), std::vector<std::string>{"AXBCDEFGH"});
        h.close();
    }
}

TEST(Launch, OpensTheMainWindowHalfASecondLaterWhenAsked) {
    LaunchHarness h;
    ZRUserDefaults2::setOpenMainWindowAtStart(true);
    ASSERT_TRUE(h.launch());
    h.loop.advance(0.4);
    EXPECT_EQ(h.shell.count("showMainWindow"), 0);
    h.loop.advance(0.1);
    EXPECT_EQ(h.shell.count("showMainWindow"), 1);
    EXPECT_TRUE(h.delegate->mainWindowIsOpen());
}

TEST(Launch, AStoreThatCannotBeOpenedEndsTheLaunch) {
    LaunchHarness h;
    const auto folder = h.options().locations.groupApplicationFilesDirectory();
    std::filesystem::create_directories(folder.parent_path());
    writeFileBytes(folder, "not a folder");
    EXPECT_FALSE(h.launch());
    EXPECT_EQ(h.shell.calls.back(), "requestQuit");
    EXPECT_FALSE(h.delegate->hasManagedObjectContext());
    EXPECT_FALSE(h.env.alerts().shownAlerts().empty());
}

TEST(Panel, TogglesOnlyOnceTheLaunchAllowsItAndTheMainWindowShowsEveryTask) {
    LaunchHarness h;
    AppDelegate early(h.shell, h.options());
    early.togglePanel();
    EXPECT_EQ(h.shell.sound.played(), std::vector<std::string>{"Funk"});
    EXPECT_EQ(h.shell.count("togglePanel"), 0);

    ZRUserDefaults2::setShowTasks(1);  // archived only, with nothing archived
    ASSERT_TRUE(h.launch());
    h.delegate->togglePanel();
    EXPECT_EQ(h.shell.count("togglePanel"), 1);
    h.delegate->openMainWindow();
    EXPECT_EQ(ZRUserDefaults2::showTasks(), 2);
    EXPECT_EQ(h.shell.count("showMainWindow"), 1);
}

}  // namespace
}  // namespace ravelong::app_testing

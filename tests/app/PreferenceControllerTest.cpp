#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/DataLocations.h"
#include "app/PreferenceKeys.h"
#include "app/StoreStack.h"
#include "app/XdgAutostart.h"
#include "app/ZRPreferenceController.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "store/ZRUndoManager.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong {
namespace {

using app_testing::AppEnvironment;
using Names = std::vector<std::string>;

// What the preferences window was told to show, last value of each.
struct RecordingView : ZRPreferenceView {
    std::string deviceName, userName, hotKeyLabel;
    std::optional<bool> secondsEnabled, startAtLogin, simultaneousTimers;
    std::optional<int> newDay;

    void showDeviceName(const std::string& name) override { deviceName = name; }
    void showUserName(const std::string& name) override { userName = name; }
    void setShowSecondsDurationEnabled(bool enabled) override { secondsEnabled = enabled; }
    void setToggleTimerHotKeyLabel(std::string_view label) override { hotKeyLabel = label; }
    void showStartAtLogin(bool enabled) override { startAtLogin = enabled; }
    void showAllowSimultaneousTimers(bool allowed) override { simultaneousTimers = allowed; }
    void showNewDay(int hour) override { newDay = hour; }
};

struct CountingDelegate : ContextDelegate {
    int saves = 0;
    bool saveContext(ManagedObjectContext& context) override {
        ++saves;
        return context.save().ok();
    }
};

class PreferenceController : public ::testing::Test {
protected:
    PreferenceController() {
        stack->setContextDelegate(&delegate);
        controller.setView(&view);
        controller.setRecalculateStatusItemTime([this] { ++recalculations; });
        environment.clearPosted();
    }

    nlohmann::json onDisk() {
        return nlohmann::json::parse(app_testing::readFile(environment.defaults().path()));
    }

    // The store as the next run of the program finds it.
    std::unique_ptr<StoreStack> reopened() {
        controller.setView(nullptr);
        stack.reset();
        return std::make_unique<StoreStack>(locations);
    }

    ZRCDOrigin* addOrigin(const std::string& udid, std::int32_t uid, std::int16_t type,
                          const std::string& device, const std::string& user) {
        auto* origin = context().insertNewObject<ZRCDOrigin>();
        origin->setUdid(udid);
        origin->setUid(uid);
        origin->setType(type);
        origin->setDevice(device);
        origin->setUser(user);
        origin->setDeviceNameChanged(1000.0);
        origin->setUserNameChanged(1000.0);
        return origin;
    }

    ManagedObjectContext& context() { return *stack->managedObjectContext().value(); }

    AppEnvironment environment;
    DataLocations locations = DataLocations::inDataFolder(environment.folder());
    std::unique_ptr<StoreStack> stack = std::make_unique<StoreStack>(locations);
    CountingDelegate delegate;
    XdgAutostart autostart{
        "/usr/bin/ravelong", environment.folder() / "config", {environment.folder() / "xdg"}};
    ZRPreferenceController controller{context(), autostart};
    RecordingView view;
    int recalculations = 0;
};

TEST_F(PreferenceController, SwitchesAreStoredAtOnceAndAnnouncedWhereOthersDependOnThem) {
    controller.changeCustomDuration(2);
    controller.toggleShowTaskDescriptionUnderTaskName(true);
    controller.toggleShowTaskNameInStatusIcon(false);
    controller.toggleOpenMainWindowAtStart(true);
    controller.toggleTimingWhenSleeping(false);
    controller.toggleSimpleStatusItemDesign(true);
    controller.toggleAnimateStatusItem(false);
    EXPECT_EQ(environment.posted(), (Names{"MenuBar_customDurationChanged",
                                           "MenuBar_showTaskDescriptionUnderTaskNameChanged"}));
    EXPECT_EQ(recalculations, 0);

    controller.toggleIncludeArchivedTimes(true);
    EXPECT_EQ(recalculations, 1);
    EXPECT_EQ(
        environment.posted(),
        (Names{"MenuBar_customDurationChanged", "MenuBar_showTaskDescriptionUnderTaskNameChanged",
               "ReloadMenuBarPanelTable", "MenuBarNeedsToReloadTotalTime"}));

    const nlohmann::json expected = {
        {"ZRMenuBarCustomDuration", 2},        {"ZRShowTaskDescriptionUnderTaskName", true},
        {"ZRShowTaskNameInStatusIcon", false}, {"ZROpenMainWindowAtStart", true},
        {"ZRTimingWhenSleeping", false},       {"ZRSimpleStatusItemDesign", true},
        {"ZRAnimateStatusItem", false},        {"ZRExcludeArchivedTimesInMenuBar", false}};
    EXPECT_EQ(onDisk(), expected);
    controller.toggleIncludeArchivedTimes(false);
    EXPECT_EQ(onDisk()["ZRExcludeArchivedTimesInMenuBar"], true);
}

TEST_F(PreferenceController, MenusStoreWhatTheirEntriesStandFor) {
    const int idleSeconds[] = {0, 300, 600, 900, 1200, 1800, 2700, 3600};
    for (int index = 0; index < 8; ++index) {
        ASSERT_TRUE(controller.idleTimeChanged(index));
        EXPECT_EQ(onDisk()["ZRIdleTime"], idleSeconds[index]);
    }
    EXPECT_FALSE(controller.idleTimeChanged(8));
    EXPECT_FALSE(controller.idleTimeChanged(-1));
    EXPECT_EQ(onDisk()["ZRIdleTime"], 3600);

    const int recent[] = {10, 15, 20};
    for (int index = 0; index < 3; ++index) {
        ASSERT_TRUE(controller.changeNumberOfRecentTasks(index));
        EXPECT_EQ(onDisk()["ZRNumberOfRecentTasks"], recent[index]);
    }
    EXPECT_FALSE(controller.changeNumberOfRecentTasks(3));
    EXPECT_EQ(onDisk()["ZRNumberOfRecentTasks"], 20);

    EXPECT_TRUE(controller.changeShowSecondsDuration(180));
    EXPECT_FALSE(controller.changeShowSecondsDuration(90));
    EXPECT_EQ(onDisk()["ZRStatusIconShowSecondsDuration"], 180);

    controller.changeStatusItemDuration(0);
    EXPECT_EQ(view.secondsEnabled, false);
    controller.changeStatusItemDuration(3);
    EXPECT_EQ(view.secondsEnabled, true);
    EXPECT_EQ(onDisk()["ZRStatusIconDuration"], 3);

    controller.toggleShowAddNoteToTiming(0);
    EXPECT_EQ(view.hotKeyLabel, "Toggle timer and show 'Add note':");
    controller.toggleShowAddNoteToTiming(2);
    EXPECT_EQ(view.hotKeyLabel, "Toggle timer, do not show 'Add note':");
    EXPECT_EQ(onDisk()["ZRShowAddNoteToTiming"], 2);
    EXPECT_TRUE(environment.posted().empty());
}

TEST_F(PreferenceController, SyncedSettingsGoIntoThePreferencesRecordAndAreSaved) {
    ASSERT_TRUE(controller.toggleAllowSimultaneousTimers(true).ok());
    EXPECT_TRUE(environment.posted().empty());
    ASSERT_TRUE(controller.newDayChanged(4).ok());
    EXPECT_EQ(environment.posted(), (Names{"ReloadMenuBarPanelTable",
                                           "MenuBarNeedsToReloadTotalTime", "ZRNewDayChanged"}));
    EXPECT_EQ(recalculations, 1);
    EXPECT_GE(delegate.saves, 2);
    EXPECT_FALSE(context().hasChanges());

    environment.clearPosted();
    Status refused = controller.newDayChanged(24);
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(environment.posted().empty());
    EXPECT_EQ(recalculations, 1);

    controller.reloadCoreDataPreferences();
    EXPECT_EQ(view.simultaneousTimers, true);
    EXPECT_EQ(view.newDay, 4);
    EXPECT_TRUE(environment.defaults().keys().empty());  // nothing local

    auto next = reopened();
    ZRCDPreferences* record =
        ZRCDPreferences::getPreferences_inContext(*next->managedObjectContext().value());
    EXPECT_TRUE(record->allowMultipleTimers());
    EXPECT_EQ(record->newDay(), 4);
}

TEST_F(PreferenceController, ANewDeviceNameRenamesThisDevicesOriginsAndIsSaved) {
    addOrigin("0a1b2c3d4e5f", 1000, 0, "Analytical Engine", "Ada Lovelace");
    addOrigin("0a1b2c3d4e5f", 1000, 2, "Analytical Engine", "Ada Lovelace");
    addOrigin("0a1b2c3d4e5f", 501, 0, "Old name", "Charles");
    addOrigin("ffeeddccbbaa", 1000, 0, "Difference Engine", "Ada Lovelace");
    ASSERT_TRUE(context().save().ok());
    context().processPendingChanges();
    const std::size_t undoSteps = context().undoManager()->undoCount();
    environment.clock().set(2000.0);

    ASSERT_TRUE(controller.deviceNameChanged("  Babbage's Laptop \n").ok());
    EXPECT_EQ(onDisk()["ZRDeviceName"], "Babbage's Laptop");
    EXPECT_EQ(view.deviceName, "Babbage's Laptop");
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(context().undoManager()->undoCount(), undoSteps);  // no undo step of its own

    // An entry of blanks only (a no-break space among them) goes back to the computer's name.
    environment.clock().set(3000.0);
    ASSERT_TRUE(controller.deviceNameChanged(" \t\u00A0\u3000").ok());
    EXPECT_FALSE(onDisk().contains("ZRDeviceName"));
    EXPECT_EQ(view.deviceName, "Analytical Engine");

    auto next = reopened();
    std::map<std::string, std::pair<std::string, Instant>> devices;
    for (ZRCDOrigin* origin : next->managedObjectContext().value()->fetchAll<ZRCDOrigin>()) {
        devices[origin->uuid()] = {origin->device().value_or(""),
                                   origin->deviceNameChanged().value_or(0)};
    }
    using Entry = std::pair<std::string, Instant>;
    EXPECT_EQ(devices["0a1b2c3d4e5f//1000//0"], (Entry{"Analytical Engine", 3000.0}));
    EXPECT_EQ(devices["0a1b2c3d4e5f//1000//2"], (Entry{"Analytical Engine", 3000.0}));
    EXPECT_EQ(devices["0a1b2c3d4e5f//501//0"], (Entry{"Analytical Engine", 3000.0}));
    EXPECT_EQ(devices["ffeeddccbbaa//1000//0"], (Entry{"Difference Engine", 1000.0}));
}

TEST_F(PreferenceController, ANewUserNameRenamesOnlyThisUsersOriginsOnThisDevice) {
    ZRCDOrigin* mine = addOrigin("0a1b2c3d4e5f", 1000, 0, "Analytical Engine", "Ada Lovelace");
    ZRCDOrigin* imported = addOrigin("0a1b2c3d4e5f", 1000, 2, "Analytical Engine", "Ada");
    ZRCDOrigin* otherUser = addOrigin("0a1b2c3d4e5f", 501, 0, "Analytical Engine", "Charles");
    ZRCDOrigin* otherDevice = addOrigin("ffeeddccbbaa", 1000, 0, "Difference Engine", "Ada");
    ASSERT_TRUE(context().save().ok());
    environment.clock().set(2000.0);

    ASSERT_TRUE(controller.userNameChanged("Countess of Lovelace").ok());
    EXPECT_EQ(onDisk()["ZRUserName"], "Countess of Lovelace");
    EXPECT_EQ(view.userName, "Countess of Lovelace");
    EXPECT_EQ(mine->user(), "Countess of Lovelace");
    EXPECT_EQ(mine->userNameChanged(), 2000.0);
    EXPECT_EQ(imported->user(), "Countess of Lovelace");
    EXPECT_EQ(otherUser->user(), "Charles");
    EXPECT_EQ(otherDevice->user(), "Ada");
    EXPECT_EQ(otherDevice->userNameChanged(), 1000.0);
    EXPECT_FALSE(context().hasChanges());

    // Clearing the name: back to the account's full name, and only where it differs.
    const int savesBefore = delegate.saves;
    environment.clock().set(3000.0);
    ASSERT_TRUE(controller.userNameChanged("").ok());
    EXPECT_FALSE(onDisk().contains("ZRUserName"));
    EXPECT_EQ(view.userName, "Ada Lovelace");
    EXPECT_EQ(mine->user(), "Ada Lovelace");
    EXPECT_EQ(mine->userNameChanged(), 3000.0);
    EXPECT_EQ(delegate.saves, savesBefore + 1);
    ASSERT_TRUE(controller.userNameChanged("Ada Lovelace").ok());  // nothing to rename
    EXPECT_EQ(delegate.saves, savesBefore + 1);
    EXPECT_EQ(mine->userNameChanged(), 3000.0);
}

TEST_F(PreferenceController, StartAtLoginFailuresAreShownAndTheSwitchShowsTheTruth) {
    // The autostart folder is a file: the entry can be neither written nor removed.
    std::filesystem::create_directories(environment.folder() / "config");
    app_testing::writeFileBytes(environment.folder() / "config" / "autostart", "");
    EXPECT_FALSE(controller.toggleStartAtLogin(true));
    EXPECT_EQ(view.startAtLogin, false);

    std::filesystem::remove(environment.folder() / "config" / "autostart");
    ASSERT_TRUE(controller.toggleStartAtLogin(true));
    const std::filesystem::path entry =
        environment.folder() / "config" / "autostart" / "ravelong.desktop";
    std::filesystem::remove(entry);
    std::filesystem::create_directories(entry / "blocked");
    EXPECT_FALSE(controller.toggleStartAtLogin(false));
    EXPECT_EQ(view.startAtLogin, true);

    const auto& alerts = environment.alerts().shownAlerts();
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].messageText, "An error occurred");
    EXPECT_EQ(alerts[0].informativeText,
              "Couldn't add Ravelong to the startup applications. Please add Ravelong to your "
              "desktop's startup applications manually.");
    EXPECT_EQ(alerts[0].buttons, (Names{"OK"}));
    EXPECT_EQ(alerts[1].messageText, "An error occurred");
    EXPECT_EQ(alerts[1].informativeText, "Couldn't remove Ravelong from the startup applications.");
    EXPECT_EQ(alerts[1].buttons, (Names{"OK"}));
}

}  // namespace
}  // namespace ravelong

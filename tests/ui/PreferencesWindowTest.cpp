#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <cstdlib>

#include "app/PreferenceKeys.h"
#include "app/StoreStack.h"
#include "app/XdgAutostart.h"
#include "app/ZRPreferenceController.h"
#include "core/model/ZRCDPreferences.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "support/FixedDeviceIdentity.h"
#include "support/TestSupport.h"
#include "ui/GeneralPane.h"
#include "ui/IdlePane.h"
#include "ui/PreferencesWindow.h"
#include "ui/ShortcutRecorder.h"
#include "ui/TimerPane.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

struct SavingDelegate : ContextDelegate {
    bool saveContext(ManagedObjectContext& context) override { return context.save().ok(); }
};

struct ScopedCenter {
    explicit ScopedCenter(NotificationCenter& center) {
        NotificationCenter::setDefaultCenter(&center);
    }
    ~ScopedCenter() { NotificationCenter::setDefaultCenter(nullptr); }
};

class PreferencesWindowTest : public ::testing::Test {
protected:
    PreferencesWindowTest() {
        stack.setContextDelegate(&delegate);
        (void)context().save();
    }

    ManagedObjectContext& context() { return *stack.managedObjectContext().value(); }

    // The window, made once the test has stored what it needs.
    PreferencesWindow& window(HotKeysPane::Options hotKeys = {}) {
        if (!window_)
            window_ = std::make_unique<PreferencesWindow>(
                PreferencesWindow::Services{controller, defaults, center, nullptr, hotKeys});
        return *window_;
    }
    template <typename Widget>
    Widget* control(std::string_view name) {
        return window().findChild<Widget*>(QString::fromUtf8(name.data(), name.size()));
    }
    void choose(std::string_view combo, int index) {
        QComboBox* box = control<QComboBox>(combo);
        ASSERT_TRUE(box) << combo;
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    ZRCDPreferences& preferences() { return *ZRCDPreferences::getPreferences_inContext(context()); }

    testing::TemporaryDirectory directory;
    UserDefaults defaults{directory.path() / "settings.json"};
    ScopedUserDefaults scopedDefaults{UserDefaults::Suite::standard, defaults};
    NotificationCenter center;
    ScopedCenter scopedCenter{center};
    FixedDeviceIdentity identity{
        {"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Analytical Engine"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    LogCapture log{LogCapture::Output::silent};
    DataLocations locations = DataLocations::inDataFolder(directory.path() / "data");
    StoreStack stack{locations, StoreModels::standard(), [] { return false; }};
    SavingDelegate delegate;
    XdgAutostart autostart{
        "/usr/bin/ravelong", directory.path() / "config", {directory.path() / "xdg"}};
    ZRPreferenceController controller{context(), autostart};
    std::unique_ptr<PreferencesWindow> window_;
};

TEST_F(PreferencesWindowTest, EachPaneShowsTheStoredValues) {
    defaults.setString(kZRDeviceName, "Workbench");
    defaults.setInteger(kZRStatusIconDuration, 3);
    defaults.setInteger(kZRStatusIconShowSecondsDuration, 180);
    defaults.setBool(kZRShowTaskNameInStatusIcon, false);
    defaults.setBool(kZRAnimateStatusItem, true);
    defaults.setInteger(kZRMenuBarCustomDuration, 2);
    defaults.setBool(kZRExcludeArchivedTimesInMenuBar, true);
    defaults.setInteger(kZRNumberOfRecentTasks, 20);
    defaults.setBool(kZROpenMainWindowAtStart, true);
    defaults.setInteger(kZRShowAddNoteToTiming, 3);
    defaults.setInteger(kZRIdleTime, 2700);
    defaults.setBool(kZRTimingWhenSleeping, false);
    defaults.setDictionary(kZRAddNoteHotKey, HotKeyCombination{0x6e, HotKeyCombination::kControl |
                                                                         HotKeyCombination::kAlt}
                                                 .toDictionary());
    ASSERT_TRUE(ZRCDPreferences::setNewDayTo(5, context()));
    ASSERT_TRUE(ZRCDPreferences::setAllowMultipleTimersTo(true, context()));

    const std::pair<std::string_view, int> combos[] = {{kZRStatusIconDuration, 3},
                                                       {kZRStatusIconShowSecondsDuration, 3},
                                                       {kZRMenuBarCustomDuration, 2},
                                                       {kZRNumberOfRecentTasks, 2},
                                                       {kZRShowAddNoteToTiming, 3},
                                                       {"NewDay", 5},
                                                       {kZRIdleTime, 6}};
    for (const auto& [name, index] : combos) {
        ASSERT_TRUE(control<QComboBox>(name)) << name;
        EXPECT_EQ(control<QComboBox>(name)->currentIndex(), index) << name;
    }
    const std::pair<std::string_view, bool> checks[] = {
        {kZRShowTaskNameInStatusIcon, false}, {kZRAnimateStatusItem, true},
        {kZRSimpleStatusItemDesign, false},   {kZRExcludeArchivedTimesInMenuBar, false},
        {kZROpenMainWindowAtStart, true},     {kZRTimingWhenSleeping, false},
        {"AllowMultipleTimers", true},        {"StartAtLogin", false}};
    for (const auto& [name, checked] : checks) {
        ASSERT_TRUE(control<QCheckBox>(name)) << name;
        EXPECT_EQ(control<QCheckBox>(name)->isChecked(), checked) << name;
    }
    EXPECT_EQ(control<QLineEdit>(kZRDeviceName)->text(), "Workbench");
    // No stored user name: the account's full name.
    EXPECT_EQ(control<QLineEdit>(kZRUserName)->text(), "Ada Lovelace");
    EXPECT_TRUE(control<QComboBox>(kZRStatusIconShowSecondsDuration)->isEnabled());
    ShortcutRecorder* addNote = window().hotKeysPane()->recorder(kZRAddNoteHotKey);
    ASSERT_TRUE(addNote);
    ASSERT_TRUE(addNote->combination());
    EXPECT_EQ(addNote->combination()->keyCode, 0x6e);
    EXPECT_FALSE(window().hotKeysPane()->recorder(kZRToggleTimerHotKey)->combination());
}

TEST_F(PreferencesWindowTest, TheTimerPaneEditsWhereRoundingApplies) {
    defaults.setBool(kZRTimingsShowRoundedDurations, true);
    defaults.setBool("ZRBarChartDontUseRounding", true);
    // Shown as stored: the charts' boxes say whether rounding is used.
    const std::pair<std::string_view, bool> shown[] = {
        {"ZRTimingsShowRoundedDurations", true},
        {"ZRTimingsRoundDurationsAfterCompact", false},
        {"ZRPieChartDontUseRounding", true},
        {"ZRBarChartDontUseRounding", false},
        {"ZRLineChartDontUseRounding", true}};
    for (const auto& [name, checked] : shown) {
        ASSERT_TRUE(control<QCheckBox>(name)) << name;
        EXPECT_EQ(control<QCheckBox>(name)->isChecked(), checked) << name;
    }
    // Each box stores its own key, inverted for the charts.
    const std::pair<std::string_view, bool> stored[] = {
        {"ZRTimingsShowRoundedDurations", true},
        {"ZRTimingsRoundDurationsAfterCompact", true},
        {"ZRPieChartDontUseRounding", false},
        {"ZRBarChartDontUseRounding", false},
        {"ZRLineChartDontUseRounding", false}};
    for (const auto& [name, storedWhenChecked] : stored) {
        QCheckBox* box = control<QCheckBox>(name);
        box->setChecked(false);
        box->setChecked(true);
        EXPECT_EQ(defaults.boolForKey(name, !storedWhenChecked), storedWhenChecked) << name;
        box->setChecked(false);
        EXPECT_EQ(defaults.boolForKey(name, storedWhenChecked), !storedWhenChecked) << name;
    }
    // A change made elsewhere (the chart's own switch) shows at once.
    defaults.setBool("ZRPieChartDontUseRounding", true);
    EXPECT_FALSE(control<QCheckBox>("ZRPieChartDontUseRounding")->isChecked());
    EXPECT_FALSE(controller.setRoundingSetting("ZRStatusIconDuration", true))
        << "only rounding keys";
}

TEST_F(PreferencesWindowTest, ControlsStoreTheirSettings) {
    struct ComboCase {
        std::string_view combo;
        int index;
        std::string_view key;
        std::int64_t stored;
    };
    const ComboCase combos[] = {
        {kZRStatusIconDuration, 8, kZRStatusIconDuration, 8},
        {kZRStatusIconShowSecondsDuration, 4, kZRStatusIconShowSecondsDuration, 300},
        {kZRMenuBarCustomDuration, 3, kZRMenuBarCustomDuration, 3},
        {kZRNumberOfRecentTasks, 1, kZRNumberOfRecentTasks, 15},
        {kZRShowAddNoteToTiming, 2, kZRShowAddNoteToTiming, 2},
        {kZRIdleTime, 1, kZRIdleTime, 300}};
    for (const ComboCase& c : combos) {
        choose(c.combo, c.index);
        EXPECT_EQ(defaults.integerForKey(c.key, -1), c.stored) << c.combo;
    }
    struct CheckCase {
        std::string_view key;
        bool storedAfterClick;
    };
    const CheckCase checks[] = {{kZRShowTaskNameInStatusIcon, false},
                                {kZRSimpleStatusItemDesign, true},
                                {kZRAnimateStatusItem, true},
                                {kZRShowTaskDescriptionUnderTaskName, true},
                                // The box shows the inverse of the stored key:
                                // checked at first, so a click excludes them.
                                {kZRExcludeArchivedTimesInMenuBar, true},
                                {kZROpenMainWindowAtStart, true},
                                {kZRTimingWhenSleeping, false}};
    for (const CheckCase& c : checks) {
        ASSERT_TRUE(control<QCheckBox>(c.key)) << c.key;
        control<QCheckBox>(c.key)->click();
        ASSERT_TRUE(defaults.exists(c.key)) << c.key;
        EXPECT_EQ(defaults.boolForKey(c.key), c.storedAfterClick) << c.key;
    }
    // The file on disk has them too.
    UserDefaults reread(defaults.path());
    EXPECT_EQ(reread.integerForKey(kZRIdleTime), 300);

    control<QLineEdit>(kZRDeviceName)->setText("  Laptop \n");
    emit control<QLineEdit>(kZRDeviceName)->editingFinished();
    EXPECT_EQ(defaults.stringForKey(kZRDeviceName), "Laptop");
    EXPECT_EQ(control<QLineEdit>(kZRDeviceName)->text(), "Laptop");

    choose("NewDay", 4);
    control<QCheckBox>("AllowMultipleTimers")->click();
    EXPECT_EQ(preferences().newDay(), 4);
    EXPECT_TRUE(preferences().allowMultipleTimers());
    EXPECT_FALSE(context().hasChanges());

    control<QCheckBox>("StartAtLogin")->click();
    EXPECT_TRUE(autostart.isEnabled());
    EXPECT_TRUE(window().message().isEmpty());
}

TEST_F(PreferencesWindowTest, RefusedValuesAreExplainedAndChangeNothing) {
    defaults.setInteger(kZRIdleTime, 600);
    defaults.setInteger(kZRStatusIconDuration, 1);
    defaults.setInteger(kZRStatusIconShowSecondsDuration, 60);
    ASSERT_TRUE(ZRCDPreferences::setNewDayTo(3, context()));
    window();

    struct Case {
        const char* what;
        std::function<void()> attempt;
        std::function<bool()> unchanged;
    };
    const Case cases[] = {
        {"idle time entry 8", [&] { window().idlePane()->chooseIdleTime(8); },
         [&] {
             return defaults.integerForKey(kZRIdleTime) == 600 &&
                    control<QComboBox>(kZRIdleTime)->currentIndex() == 2;
         }},
        {"45 seconds shown", [&] { window().generalPane()->chooseShowSecondsDuration(45); },
         [&] {
             return defaults.integerForKey(kZRStatusIconShowSecondsDuration) == 60 &&
                    control<QComboBox>(kZRStatusIconShowSecondsDuration)->currentIndex() == 1;
         }},
        {"new day at 24", [&] { window().timerPane()->chooseNewDay(24); },
         [&] {
             return preferences().newDay() == 3 &&
                    control<QComboBox>("NewDay")->currentIndex() == 3;
         }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(window().message().isEmpty()) << c.what;
        c.attempt();
        EXPECT_FALSE(window().message().isEmpty()) << c.what;
        EXPECT_TRUE(c.unchanged()) << c.what;
        window_.reset();
    }
}

TEST_F(PreferencesWindowTest, FollowsChangesMadeElsewhere) {
    window();
    defaults.setInteger(kZRIdleTime, 1200);
    EXPECT_EQ(control<QComboBox>(kZRIdleTime)->currentIndex(), 4);
    // A value no entry stands for selects none rather than a wrong one.
    defaults.setInteger(kZRIdleTime, 42);
    EXPECT_EQ(control<QComboBox>(kZRIdleTime)->currentIndex(), -1);
    defaults.setInteger(kZRStatusIconDuration, 0);
    EXPECT_FALSE(control<QComboBox>(kZRStatusIconShowSecondsDuration)->isEnabled());
    defaults.setBool(kZRTimingWhenSleeping, false);
    EXPECT_FALSE(control<QCheckBox>(kZRTimingWhenSleeping)->isChecked());
    defaults.setString(kZRUserName, "Grace");
    EXPECT_EQ(control<QLineEdit>(kZRUserName)->text(), "Grace");

    defaults.setInteger(kZRShowAddNoteToTiming, 1);
    EXPECT_EQ(control<QComboBox>(kZRShowAddNoteToTiming)->currentIndex(), 1);
    bool relabelled = false;
    for (QLabel* l : window().hotKeysPane()->findChildren<QLabel*>())
        relabelled |= l->text().toStdString() == ZRPreferenceController::toggleTimerHotKeyLabel(1);
    EXPECT_TRUE(relabelled);

    const HotKeyCombination combination{0x74, HotKeyCombination::kSuper};
    defaults.setDictionary(kZRToggleTimerHotKey, combination.toDictionary());
    ASSERT_TRUE(window().hotKeysPane()->recorder(kZRToggleTimerHotKey)->combination());
    EXPECT_EQ(*window().hotKeysPane()->recorder(kZRToggleTimerHotKey)->combination(), combination);

    // The synced hour, changed by another device or an undo.
    ASSERT_TRUE(ZRCDPreferences::setNewDayTo(6, context()));
    center.post(std::string("ZRNewDayChanged"));
    EXPECT_EQ(control<QComboBox>("NewDay")->currentIndex(), 6);
}

TEST_F(PreferencesWindowTest, WithoutShortcutRegistrationTheCommandsAreOffered) {
    window(HotKeysPane::Options{false, {}});
    EXPECT_EQ(window().hotKeysPane()->recorder(kZRToggleTimerHotKey), nullptr);
    EXPECT_TRUE(window().hotKeysPane()->findChildren<ShortcutRecorder*>().isEmpty());
    ASSERT_TRUE(control<QLabel>("NoGlobalShortcuts"));
    const QString commands = control<QLabel>("ShortcutCommands")->text();
    EXPECT_TRUE(commands.contains("ravelong-cli toggle"));
    for (const char* action : {"toggle-timer", "add-note", "toggle-panel",
                               "toggle-timer-and-add-note", "show-recent-tasks"})
        EXPECT_TRUE(commands.contains(QStringLiteral("ravelong-cli hot-key ") + action)) << action;
}

TEST_F(PreferencesWindowTest, GeneralPaneScreenshot) {
    window().resize(560, 520);
    window().show();
    window().showPane("General");
    const std::filesystem::path file = ui_testing::saveScreenshot(window(), "preferences.png");
    ASSERT_FALSE(file.empty());
    EXPECT_GT(std::filesystem::file_size(file), 0u);
}

}  // namespace
}  // namespace ravelong

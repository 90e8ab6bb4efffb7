#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/StoreStack.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ZRCDTask.h"
#include "core/services/DeviceIdentity.h"
#include "exchange/BackupWriter.h"
#include "exchange/ZRAutomaticBackup.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "support/FixedDeviceIdentity.h"
#include "support/SettableClock.h"
#include "support/TestSupport.h"
#include "ui/BackupsPane.h"
#include "ui/QtMainLoop.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

class BackupsPaneTest : public ::testing::Test {
protected:
    BackupsPaneTest() {
        (void)context().save();
        pane.setFileChooser([this](const std::filesystem::path&) { return chosenFile; });
        pane.setFolderChooser([this](const std::filesystem::path&) { return chosenFolder; });
    }
    ManagedObjectContext& context() { return *stack.managedObjectContext().value(); }
    QPushButton* button(const char* text) {
        for (QPushButton* candidate : pane.findChildren<QPushButton*>())
            if (candidate->text() == text)
                return candidate;
        return nullptr;
    }

    testing::TemporaryDirectory directory;
    UserDefaults defaults{directory.path() / "settings.json"};
    ScopedUserDefaults scopedDefaults{UserDefaults::Suite::standard, defaults};
    FixedDeviceIdentity identity{
        {"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Analytical Engine"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    SettableClock clock{731322000.0};
    ScopedClock scopedClock{clock};
    LogCapture log{LogCapture::Output::silent};
    ScriptedAlertPresenter alerts;
    QtMainLoop loop;
    DataLocations locations = DataLocations::inDataFolder(directory.path() / "data");
    StoreStack stack{locations, StoreModels::standard(), [] { return false; }};
    ZRAutomaticBackup backup{[this] { return &context(); }, clock, locations};
    BackupsPane pane{stack, backup, alerts, loop, locations};
    std::filesystem::path chosenFile;
    std::filesystem::path chosenFolder;
};

TEST_F(BackupsPaneTest, TheControlsStoreTheSettingsAndBackUp) {
    auto* count = pane.findChild<QComboBox*>();
    ASSERT_TRUE(count);
    EXPECT_EQ(count->currentText(), "4");
    count->setCurrentIndex(count->findText("16"));
    emit count->activated(count->currentIndex());
    EXPECT_EQ(ZRUserDefaults2::autoBackupCount(), 16);

    ZRCDTask::createCoreDataTaskWithName("Not saved yet", false, context());
    ASSERT_TRUE(button("Back Up Now"));
    button("Back Up Now")->click();
    // The file is written on a worker: until its result is back the pane is busy, the button
    // is off, and a second click starts nothing.
    EXPECT_TRUE(pane.busy());
    EXPECT_FALSE(button("Back Up Now")->isEnabled());
    button("Back Up Now")->click();
    ASSERT_TRUE(ui_testing::runUntil([&] { return !pane.busy(); }, 10000));
    EXPECT_TRUE(button("Back Up Now")->isEnabled());
    EXPECT_TRUE(alerts.shownAlerts().empty());
    auto* info = pane.findChild<QLabel*>("info");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->text().left(17), "Backup written to");
    const std::filesystem::path folder = locations.backupDirectory();
    EXPECT_EQ(pane.folderText().toStdString(), folder.string());
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
    // The copy the worker wrote holds the main context's state, unsaved changes too.
    const std::filesystem::path written = *std::filesystem::directory_iterator(folder);
    EXPECT_NE(testing::readFile(written).find("<name>Not saved yet</name>"), std::string::npos);

    // Another folder takes the backups with it.
    chosenFolder = directory.path() / "elsewhere";
    std::filesystem::create_directories(chosenFolder);
    button("Choose...")->click();
    EXPECT_EQ(pane.folderText().toStdString(), chosenFolder.string());
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_FALSE(std::filesystem::is_empty(chosenFolder));
}

TEST_F(BackupsPaneTest, RestoreAsksThenShowsTheResult) {
    ZRCDTask::createCoreDataTaskWithName("From the file", false, context());
    ASSERT_TRUE(context().save());
    chosenFile = directory.path() / "backup.xml";
    ASSERT_TRUE(BackupWriter(context()).writeTo(chosenFile));
    ZRCDTask::createCoreDataTaskWithName("Made later", false, context());
    ASSERT_TRUE(context().save());

    // First declined at the warning, then confirmed.
    alerts.queueButton(0);
    button("Restore...")->click();
    ASSERT_TRUE(ui_testing::runUntil([&] { return alerts.shownAlerts().size() == 1; }));
    EXPECT_EQ(alerts.shownAlerts()[0].messageText, "Replace all tasks and timings?");
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context()), 2u);

    alerts.queueButton(1);
    alerts.queueButton(0);
    button("Restore...")->click();
    ASSERT_TRUE(ui_testing::runUntil([&] { return alerts.shownAlerts().size() == 3; }, 10000));
    EXPECT_EQ(alerts.shownAlerts()[2].messageText, "Ravelong data successfully restored!");
    EXPECT_EQ(alerts.shownAlerts()[2].informativeText, "1 tasks restored\n0 timings restored");
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context()), 1u);
    EXPECT_FALSE(context().hasChanges());

    // A file that is not a backup: told so, nothing changes.
    chosenFile = directory.path() / "settings.json";
    button("Import...")->click();
    ASSERT_TRUE(ui_testing::runUntil([&] { return !pane.busy(); }));
    ui_testing::runFor(50);
    EXPECT_EQ(alerts.shownAlerts().size(), 3u);
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context()), 1u);

    // Clear all data, once declined and once confirmed.
    alerts.queueButton(0);
    button("Clear All Data...")->click();
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context()), 1u);
    alerts.queueButton(1);
    button("Clear All Data...")->click();
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context()), 0u);
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(BackupsPaneTest, AChosenFolderThatIsGoneIsReportedAndForgotten) {
    chosenFolder = directory.path() / "gone";
    std::filesystem::create_directories(chosenFolder);
    button("Choose...")->click();
    std::filesystem::remove_all(chosenFolder);
    pane.refresh();
    EXPECT_EQ(pane.folderText().toStdString(), locations.backupDirectory().string());
    bool told = false;
    for (QLabel* label : pane.findChildren<QLabel*>())
        told = told || label->text().startsWith("The chosen backup folder is no longer available");
    EXPECT_TRUE(told);
}

}  // namespace
}  // namespace ravelong

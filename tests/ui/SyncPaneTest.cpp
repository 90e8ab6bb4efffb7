#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <cstdlib>
#include <thread>

#include "app/SavePathTexts.h"
#include "sync/SyncSetup.h"
#include "sync/SyncTexts.h"
#include "sync/cloudkit/FakeCloudKitServer.h"
#include "sync/cloudkit/ICloudSyncBackend.h"
#include "sync/dropbox/MemorySecretStore.h"
#include "ui/FinishingSyncWindow.h"
#include "ui/ICloudAccountBox.h"
#include "ui/QtText.h"
#include "ui/SyncAlertWindow.h"
#include "ui/SyncPane.h"
#include "ui/SyncServices.h"
#include "ui/SyncTestWorld.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

namespace t = sync_texts;

class SyncPaneTest : public ::testing::Test, protected testing::SyncTestWorld {
protected:
    std::unique_ptr<SyncSetup> setup;
    QString folderAnswer;  // what the folder dialog answers
    std::unique_ptr<SyncPane> pane;

    void makeSetup() {
        setup = newSetup();
        setup->start();
    }
    SyncPane& makePane() {
        pane = std::make_unique<SyncPane>(
            SyncPane::Services{standard, group, notifications, loop, setup.get(),
                               [this](const QString&) { return folderAnswer; }});
        return *pane;
    }
    void post(std::string_view name, UserInfo info = {}) {
        notifications.post(std::string(name), nullptr, std::move(info));
    }
    static UserInfo progress(int activity, double fraction) {
        return {{std::string(t::kSESyncActivityKey), activity},
                {std::string(t::kSEProgressFractionKey), fraction},
                {std::string(t::kSEActivityPhaseKey), std::string("upload")}};
    }
};

TEST_F(SyncPaneTest, ThePaneShowsTheStoredStateRowByRow) {
    struct Case {
        std::int64_t state;
        bool lastSync;
        int chooser;
        QString status;
        bool indeterminate, forceSync, chooserEnabled;
        int theme;
    } cases[] = {
        {0, false, kChooserNone, qt(t::kNotConnected), false, false, true, kThemeBusy},
        {100, true, kChooserICloud, "Connected - Last sync: ", false, true, true, kThemeConnected},
        {200, false, kChooserDropbox, qt(t::kConnected), false, true, true, kThemeConnected},
        // The folder's idle state never writes the last-sync line.
        {500, true, kChooserFolder, qt(t::kConnected), false, true, true, kThemeConnected},
        {503, false, kChooserFolder, qt(t::kConnected), false, true, true, kThemeBusy},
        {502, false, kChooserFolder, qt(t::kConnecting), true, false, true, kThemeBusy},
        {204, false, kChooserDropbox, qt(t::kNetworkUnavailable), false, true, true, kThemeWarning},
        {504, false, kChooserFolder, qt(t::kNetworkUnavailable), false, true, true, kThemeWarning},
        {2, false, kChooserNone, qt(t::kDisconnecting), true, false, false, kThemeBusy},
        {103, true, kChooserNone, qt(t::kNotConnected), false, false, true, kThemeBusy},
    };
    makeSetup();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        pane.reset();
        standard.setInteger(t::kZRConnectionState, c.state);
        if (c.lastSync)
            group.setDate(t::kZRLastSync, 799'000'000.0);
        else
            group.remove(t::kZRLastSync);
        SyncPane& p = makePane();
        EXPECT_EQ(p.chooserItem(), c.chooser);
        if (c.status.endsWith(QLatin1String(": ")))
            EXPECT_TRUE(p.statusText().startsWith(c.status)) << p.statusText().toStdString();
        else
            EXPECT_EQ(p.statusText(), c.status);
        EXPECT_EQ(p.isIndeterminate(), c.indeterminate);
        EXPECT_EQ(p.forceSyncEnabled(), c.forceSync);
        EXPECT_EQ(p.chooserEnabled(), c.chooserEnabled);
        EXPECT_EQ(p.theme(), c.theme);
        // The folder row belongs to the synced folder (and to choosing one), not to a service.
        EXPECT_EQ(p.folderRowVisible(), c.chooser == kChooserNone || c.chooser == kChooserFolder);
        EXPECT_EQ(pane->findChild<QLabel*>(qt(t::kZRLastSync))->text() == "Never", !c.lastSync);
    }
}

TEST_F(SyncPaneTest, ServicesWithoutABackEndAreListedButCannotBeChosen) {
    makeSetup();
    SyncPane& p = makePane();
    auto* chooser = p.findChild<QComboBox*>("SyncService");
    auto* model = qobject_cast<QStandardItemModel*>(chooser->model());
    ASSERT_TRUE(model);
    EXPECT_FALSE(model->item(kChooserICloud)->isEnabled());
    EXPECT_FALSE(model->item(kChooserDropbox)->isEnabled());
    EXPECT_TRUE(model->item(kChooserFolder)->isEnabled());
    p.syncMethodChanged(kChooserDropbox);
    EXPECT_EQ(p.chooserItem(), kChooserNone);
    EXPECT_EQ(standard.integerForKey(t::kZRConnectionState), 0);
}

TEST_F(SyncPaneTest, ChoosingTheFolderConnectsAndSyncNowReachesTheEngine) {
    makeSetup();
    SyncPane& p = makePane();
    folderAnswer = QString::fromStdString(folder.path().string());
    p.syncMethodChanged(kChooserFolder);
    EXPECT_EQ(p.statusText(), qt(t::kConnecting));
    EXPECT_FALSE(p.forceSyncEnabled());
    loop.runPending();
    EXPECT_EQ(p.folderText(), folderAnswer);
    EXPECT_EQ(p.chooserItem(), kChooserFolder);
    ASSERT_EQ(merger.optionsSeen.size(), 1u);  // the first merge
    clock.set(800'000'100.0);
    merger.finish();
    EXPECT_EQ(p.statusText(), qt(t::kConnected));
    EXPECT_EQ(p.theme(), kThemeConnected);
    EXPECT_EQ(p.barValue(), 1.0);
    EXPECT_NE(p.findChild<QLabel*>(qt(t::kZRLastSync))->text(), "Never");

    p.findChild<QPushButton*>("SyncNow")->click();
    EXPECT_EQ(merger.optionsSeen, (std::vector<std::uint64_t>{32, 32}));
    EXPECT_EQ(p.barValue(), -1.0);  // connecting: indeterminate
    merger.finish(makeSEError(kSEErrorNoConnection, "The sync folder is not available."));
    EXPECT_EQ(p.statusText(), qt(t::kNetworkUnavailable));
    EXPECT_EQ(p.theme(), kThemeWarning);
    EXPECT_TRUE(p.forceSyncEnabled());

    p.syncMethodChanged(kChooserNone);
    loop.runPending();
    EXPECT_EQ(p.chooserItem(), kChooserNone);
    EXPECT_EQ(p.statusText(), qt(t::kNotConnected));
    EXPECT_FALSE(standard.exists(t::kRavelongSyncFolder));
}

TEST_F(SyncPaneTest, AFolderThatCannotBeUsedIsExplainedAndACancelledDialogChangesNothing) {
    makeSetup();
    SyncPane& p = makePane();
    folderAnswer = QString();
    p.syncMethodChanged(kChooserFolder);
    loop.runPending();
    EXPECT_EQ(p.chooserItem(), kChooserNone);
    EXPECT_TRUE(p.message().isEmpty());

    folderAnswer = QString::fromStdString((folder / "missing").string());
    p.syncMethodChanged(kChooserFolder);
    loop.runPending();
    EXPECT_EQ(p.chooserItem(), kChooserNone);
    EXPECT_EQ(p.statusText(), qt(t::kNotConnected));
    EXPECT_TRUE(p.message().contains(folderAnswer)) << p.message().toStdString();
    EXPECT_TRUE(merger.optionsSeen.empty());
}

TEST_F(SyncPaneTest, ProgressMovesTheBarAndAStalledPhaseTurnsItIndeterminateAfterSixSeconds) {
    standard.setInteger(t::kZRConnectionState, 500);
    makeSetup();
    SyncPane& p = makePane();
    post(t::kZRSyncActivityDidBegin);
    EXPECT_EQ(p.barValue(), 0.0);
    post(t::kSEPersistentStoreSyncDidMakeProgressWithActivityNotification, progress(300, 0.5));
    EXPECT_EQ(p.barValue(), 0.5);
    EXPECT_TRUE(p.stallTimerPending());
    loop.advance(kStallSeconds - 0.1);
    EXPECT_FALSE(p.isIndeterminate());
    loop.advance(0.2);
    EXPECT_TRUE(p.isIndeterminate());

    // Progress again leaves the indeterminate look; a finished phase starts no timer.
    post(t::kSEPersistentStoreSyncDidMakeProgressWithActivityNotification, progress(300, 1.0));
    EXPECT_EQ(p.barValue(), 1.0);
    EXPECT_FALSE(p.stallTimerPending());
    loop.advance(kStallSeconds * 2);
    EXPECT_FALSE(p.isIndeterminate());

    // A stall timer pending at the end of the activity is dropped.
    post(t::kSEPersistentStoreSyncDidMakeProgressWithActivityNotification, progress(300, 0.2));
    UserInfo failed{{std::string(t::kErrorKey), Error{"CKErrorDomain", 5}}};
    post(t::kZRSyncActivityDidEnd, failed);
    EXPECT_FALSE(p.stallTimerPending());
    EXPECT_EQ(p.statusText(), qt(t::kUnableToSync));
    EXPECT_EQ(p.barValue(), 1.0);
    loop.advance(kStallSeconds * 2);
    EXPECT_FALSE(p.isIndeterminate());
}

TEST_F(SyncPaneTest, NotificationsFromAnotherThreadChangeThePaneOnTheMainThread) {
    standard.setInteger(t::kZRConnectionState, 500);
    makeSetup();
    SyncPane& p = makePane();
    std::thread worker([&] {
        post(t::kSEPersistentStoreSyncDidMakeProgressWithActivityNotification, progress(300, 0.25));
    });
    worker.join();
    EXPECT_NE(p.barValue(), 0.25);  // not yet: queued for the main thread
    EXPECT_TRUE(ui_testing::runUntil([&] { return p.barValue() == 0.25; }));
}

TEST_F(SyncPaneTest, WithoutASetupThePaneOnlyShowsTheState) {
    standard.setInteger(t::kZRConnectionState, 500);
    SyncPane& p = makePane();
    EXPECT_EQ(p.chooserItem(), kChooserFolder);
    EXPECT_FALSE(p.chooserEnabled());
    EXPECT_FALSE(p.forceSyncEnabled());
    EXPECT_FALSE(p.findChild<QPushButton*>("SyncChooseFolder")->isEnabled());
}

// The Sync pane offering iCloud, signed in against the tests' fake CloudKit service.
class ICloudSyncPaneTest : public ::testing::Test, protected testing::SyncTestWorld {
protected:
    testing::FakeCloudKitServer server;
    testing::TemporaryDirectory cacheHome;
    testing::MemorySecretStore secrets;
    std::vector<std::string> opened;  // pages the browser was asked to show
    std::unique_ptr<SyncSetup> setup;
    std::unique_ptr<SyncPane> pane;
    ICloudSyncBackend* icloud = nullptr;

    void SetUp() override {
        setenv("XDG_CACHE_HOME", cacheHome.path().c_str(), 1);
        server.acceptWebAuthToken("good-token");
        setup = newSetup();
        auto backend = std::make_unique<ICloudSyncBackend>(
            ICloudSyncBackend::Services{loop, standard, secrets,
                                        [this](const std::string& url) {
                                            opened.push_back(url);
                                            return true;
                                        },
                                        server.config(), settings.path(), 0});
        icloud = backend.get();
        setup->addBackend(std::move(backend));
        setup->start();
        pane = std::make_unique<SyncPane>(
            SyncPane::Services{standard, group, notifications, loop, setup.get(), {}});
    }
    void TearDown() override {
        pane.reset();
        setup.reset();
        unsetenv("XDG_CACHE_HOME");
    }
    ICloudAccountBox& box() { return *pane->findChild<ICloudAccountBox*>("ICloudAccount"); }
};

TEST_F(ICloudSyncPaneTest, SigningInInThePaneLetsICloudBeChosenAndSigningOutLeavesIt) {
    auto* chooser = pane->findChild<QComboBox*>("SyncService");
    auto* model = qobject_cast<QStandardItemModel*>(chooser->model());
    ASSERT_TRUE(model);
    EXPECT_TRUE(model->item(kChooserICloud)->isEnabled());
    EXPECT_EQ(chooser->itemText(kChooserICloud), "iCloud");
    ASSERT_NE(pane->findChild<ICloudAccountBox*>("ICloudAccount"), nullptr);
    EXPECT_EQ(box().accountText(), "Not signed in");
    EXPECT_FALSE(box().signOutEnabled());

    // Not ready: the pane says what is missing and nothing changes.
    pane->syncMethodChanged(kChooserICloud);
    ASSERT_TRUE(pumpUntil([&] { return !pane->message().isEmpty(); }));
    EXPECT_EQ(pane->message(), qt(t::kICloudNoContainer));
    EXPECT_EQ(pane->chooserItem(), kChooserNone);

    // Settings that cannot be used are explained in the box; no page opens.
    box().setFields("org.example.Times", qt(server.apiToken), "development");
    box().signIn();
    EXPECT_EQ(box().message(), qt(t::kICloudBadContainer));
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(icloud->isSigningIn());

    box().setFields(qt(server.containerIdentifier), qt(server.apiToken), "production");
    box().findChild<QPushButton*>("ICloudSignIn")->click();
    ASSERT_TRUE(pumpUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{server.signInPage});
    EXPECT_EQ(icloud->environment(), "production");
    box().refresh();
    EXPECT_TRUE(box().pasteVisible());
    EXPECT_FALSE(box().signInEnabled());

    // Text without a token is refused in place; the token itself signs in.
    box().usePasted("two words");
    EXPECT_FALSE(box().message().isEmpty());
    EXPECT_TRUE(icloud->isSigningIn());
    box().usePasted("good-token");
    ASSERT_TRUE(
        pumpUntil([&] { return !icloud->isSigningIn() && box().accountText() == "Signed in"; }));
    EXPECT_EQ(secrets.secret, "good-token");
    EXPECT_TRUE(box().message().isEmpty());
    EXPECT_FALSE(box().pasteVisible());
    EXPECT_TRUE(box().signOutEnabled());
    // Signed in, the account's one action is signing out.
    EXPECT_FALSE(box().signInEnabled());
    EXPECT_TRUE(box().findChild<QPushButton*>("ICloudSignIn")->isHidden());
    EXPECT_TRUE(pane->folderRowVisible());

    pane->syncMethodChanged(kChooserICloud);
    ASSERT_TRUE(pumpUntil([&] { return merger.running(); }));
    EXPECT_EQ(standard.integerForKey(t::kZRConnectionState), 102);
    EXPECT_EQ(pane->statusText(), qt(t::kConnecting));
    merger.finish();
    EXPECT_EQ(pane->chooserItem(), kChooserICloud);
    EXPECT_EQ(pane->statusText(), qt(t::kConnected));
    EXPECT_FALSE(pane->folderRowVisible());

    // A picture of the pane, signed in and connected, for a reviewer.
    pane->resize(560, 560);
    pane->show();
    const std::filesystem::path file = ui_testing::saveScreenshot(pane->grab(), "sync-icloud.png");
    ASSERT_FALSE(file.empty());
    EXPECT_GT(std::filesystem::file_size(file), 0u);

    // Signing out removes the token and leaves iCloud.
    box().findChild<QPushButton*>("ICloudSignOut")->click();
    EXPECT_FALSE(secrets.secret.has_value());
    ASSERT_TRUE(pumpUntil([&] { return standard.integerForKey(t::kZRConnectionState) == 0; }));
    EXPECT_EQ(setup->service(), SyncService::none);
    EXPECT_EQ(pane->chooserItem(), kChooserNone);
    EXPECT_EQ(box().accountText(), "Not signed in");
    EXPECT_TRUE(box().signInEnabled());
    EXPECT_FALSE(box().signOutEnabled());
    EXPECT_TRUE(pane->folderRowVisible());
}

class SyncServicesTest : public ::testing::Test, protected testing::SyncTestWorld {
protected:
    std::vector<std::pair<std::int32_t, bool>> indicator;
    int windowsClosed = 0;
    std::unique_ptr<SyncServices> sync;

    void SetUp() override {
        standard.setInteger(t::kZRConnectionState, 500);
        standard.setString(t::kRavelongSyncFolder, folder.path().string());
        sync = std::make_unique<SyncServices>(SyncServices::Options{
            [this](std::int32_t state, bool animate) { indicator.emplace_back(state, animate); },
            loop, clock, notifications, standard, group,
            [this](SECloudFileSystem&) { return merger.makeHandle(); }, [this] { ++windowsClosed; },
            false});
        sync->start();
    }
};

TEST_F(SyncServicesTest, QuitWaitsForTheRunningMergeBehindTheFinishingWindow) {
    sync->setup().forceSyncWithMergeOptions(32);
    int finished = 0;
    sync->waitForTerminatingMerge([&] { ++finished; });
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(windowsClosed, 1);
    FinishingSyncWindow* window = sync->finishingWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->label(), qt(t::kSynchronizing));
    EXPECT_TRUE(window->isIndeterminate());
    notifications.post(
        std::string(t::kSEPersistentStoreSyncDidMakeProgressWithActivityNotification), nullptr,
        {{std::string(t::kSESyncActivityKey), 300},
         {std::string(t::kSEProgressFractionKey), 0.75}});
    EXPECT_DOUBLE_EQ(window->barValue(), 0.75);

    // A save meanwhile starts nothing new.
    notifications.post(std::string(kRavelongChangesSaved));
    merger.finish();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(sync->finishingWindow(), nullptr);
    loop.advance(60);
    EXPECT_EQ(merger.optionsSeen.size(), 1u);
    // The indicator spun for the merge and stopped.
    EXPECT_EQ(indicator, (std::vector<std::pair<std::int32_t, bool>>{{1, true}, {0, true}}));
}

TEST_F(SyncServicesTest, QuitWithoutARunningMergeGoesOnAtOnceWithoutAWindow) {
    int finished = 0;
    sync->waitForTerminatingMerge([&] { ++finished; });
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(windowsClosed, 0);
    EXPECT_EQ(sync->finishingWindow(), nullptr);
}

TEST_F(SyncServicesTest, ASaveIsSyncedShortlyAfterAndALocalFolderIgnoresTheNetwork) {
    notifications.post(std::string(kRavelongChangesSaved));
    EXPECT_TRUE(merger.pending.empty());
    loop.advance(SyncSetup::kSaveSyncDelay + 0.5);
    ASSERT_EQ(merger.optionsSeen.size(), 1u);
    merger.finish();
    // The folder is on a local disk: the network going away changes nothing.
    sync->networkReachabilityChanged(false);
    EXPECT_EQ(standard.integerForKey(t::kZRConnectionState), 500);
    EXPECT_TRUE(sync->setup().readyToSync());
}

TEST_F(SyncServicesTest, TheClockWarningShowsOnceAndCanBeClosed) {
    sync->showSystemTimesNotSynchronousAlert();
    SyncAlertWindow* window = sync->clockWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->message(), qt(t::kClocksMessage));
    sync->showSystemTimesNotSynchronousAlert();
    EXPECT_EQ(sync->clockWindow(), window);  // the same window, not a second one
    sync->closeSynchronousAlertWindow();
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace ravelong

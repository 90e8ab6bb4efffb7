#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <thread>

#include "sync/SyncSetup.h"
#include "sync/SyncTexts.h"
#include "ui/QtText.h"
#include "ui/SyncPane.h"
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

}  // namespace
}  // namespace ravelong

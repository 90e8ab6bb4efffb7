#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QStandardItemModel>
#include <cstdlib>

#include "sync/SyncSetup.h"
#include "sync/SyncTexts.h"
#include "sync/cloudkit/FakeCloudKitServer.h"
#include "sync/cloudkit/ICloudSyncBackend.h"
#include "sync/dropbox/MemorySecretStore.h"
#include "ui/ICloudAccountBox.h"
#include "ui/QtText.h"
#include "ui/SyncPane.h"
#include "ui/SyncTestWorld.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

namespace t = sync_texts;

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

}  // namespace
}  // namespace ravelong

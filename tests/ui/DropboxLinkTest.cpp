#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <iostream>

#include "sync/SyncSetup.h"
#include "sync/SyncTexts.h"
#include "sync/dropbox/DropboxSyncBackend.h"
#include "sync/dropbox/FakeBrowser.h"
#include "sync/dropbox/FakeDropboxServer.h"
#include "sync/dropbox/MemorySecretStore.h"
#include "ui/QtText.h"
#include "ui/SyncPane.h"
#include "ui/SyncTestWorld.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

namespace t = sync_texts;
using testing::FakeBrowser;

// The Sync pane linking a Dropbox account against the fake Dropbox, through the widgets as a
// user reaches them: the app key typed in, "Link..." clicked, the browser played by FakeBrowser.
class DropboxLinkTest : public ::testing::Test, public testing::SyncTestWorld {
public:  // the cases' steps reach the fixture through a reference
    testing::FakeDropboxServer server;
    testing::MemorySecretStore secrets;
    testing::TemporaryDirectory temporary;
    FakeBrowser browser{server};
    std::vector<std::string> opened;  // the pages the pane opened in the browser
    bool browserWorks = true;
    std::unique_ptr<SyncSetup> setup;
    DropboxSyncBackend* dropbox = nullptr;
    std::unique_ptr<SyncPane> pane;

    SyncPane& make(bool loopback = true) {
        setup = newSetup();
        const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
        auto backend = std::make_unique<DropboxSyncBackend>(DropboxSyncBackend::Services{
            loop, standard, secrets, server.clientOptions(), base + "/oauth2/authorize",
            base + "/oauth2/token", temporary.path(), loopback, 0});
        dropbox = backend.get();
        setup->addBackend(std::move(backend));
        setup->start();
        pane = std::make_unique<SyncPane>(SyncPane::Services{
            standard, group, notifications, loop, setup.get(),
            [this](const QString&) { return QString::fromStdString(folder.path().string()); },
            [this](const QString& url) {
                opened.push_back(url.toStdString());
                return browserWorks;
            }});
        return *pane;
    }
    template <class W>
    W* control(const char* name) {
        return pane->findChild<W*>(QString::fromLatin1(name));
    }
    std::int64_t state() const { return standard.integerForKey(t::kZRConnectionState, -1); }
    void typeAppKeyAndLink() {
        control<QLineEdit>("DropboxAppKey")->clear();
        QTest::keyClicks(control<QLineEdit>("DropboxAppKey"), qt(server.appKey));
        QTest::mouseClick(control<QPushButton>("DropboxLink"), Qt::LeftButton);
    }
};

TEST_F(DropboxLinkTest, LinkingInThePaneConnectsDropboxAndUnlinkingRemovesTheTokens) {
    SyncPane& p = make();
    p.resize(620, 460);
    p.show();
    EXPECT_TRUE(p.chooserItemEnabled(kChooserDropbox));
    EXPECT_FALSE(p.chooserItemEnabled(kChooserICloud));
    EXPECT_EQ(p.statusText(), qt(t::kNotConnected));
    EXPECT_EQ(p.dropboxAccountText(), QStringLiteral("Not linked"));

    // Choosing Dropbox with no key says what is missing, and changes nothing.
    p.syncMethodChanged(kChooserDropbox);
    EXPECT_EQ(p.message(), qt(t::kDropboxNoAppKey));
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(p.chooserItem(), kChooserNone);

    typeAppKeyAndLink();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(p.dropboxCodeVisible());
    EXPECT_FALSE(control<QLineEdit>("DropboxAppKey")->isEnabled());
    EXPECT_EQ(state(), 0);  // nothing is chosen before the account is linked

    FakeBrowser::Visit visit = browser.open(opened.front());
    ASSERT_TRUE(visit.opened) << opened.front();
    EXPECT_EQ(visit.redirectStatus, 200);
    ASSERT_TRUE(pumpUntil([&] { return state() == 202; })) << p.message().toStdString();
    EXPECT_EQ(p.statusText(), qt(t::kConnecting));
    ASSERT_TRUE(merger.finish());
    ASSERT_TRUE(pumpUntil([&] { return state() == 200; }));
    EXPECT_EQ(p.chooserItem(), kChooserDropbox);
    EXPECT_TRUE(p.forceSyncEnabled());
    EXPECT_FALSE(p.dropboxLinkVisible());
    EXPECT_FALSE(control<QPushButton>("DropboxUnlink")->isHidden());
    EXPECT_FALSE(p.dropboxCodeVisible());
    EXPECT_FALSE(p.folderRowVisible());
    EXPECT_TRUE(p.dropboxAccountText().startsWith(QStringLiteral("Linked")));
    EXPECT_TRUE(p.message().isEmpty());
    ASSERT_TRUE(secrets.secret.has_value());
    EXPECT_NE(secrets.secret->find(server.refreshToken), std::string::npos);

    // The picture of the linked pane, for a reviewer.
    ui_testing::runFor(100);
    const std::filesystem::path file =
        ui_testing::saveScreenshot(p.grab(), "sync-pane-dropbox.png");
    ASSERT_FALSE(file.empty());
    std::cout << "screenshot (" << QGuiApplication::platformName().toStdString()
              << "): " << file.string() << "\n";

    QTest::mouseClick(control<QPushButton>("DropboxUnlink"), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return state() == 0 && !secrets.secret; }));
    EXPECT_TRUE(p.dropboxLinkVisible());
    EXPECT_TRUE(control<QPushButton>("DropboxUnlink")->isHidden());
    EXPECT_EQ(p.chooserItem(), kChooserNone);
    EXPECT_TRUE(p.folderRowVisible());
    EXPECT_TRUE(control<QLineEdit>("DropboxAppKey")->isEnabled());
    EXPECT_EQ(standard.stringForKey(t::kRavelongDropboxAppKey), server.appKey);
}

TEST_F(DropboxLinkTest, ASignInThatFailsLeavesTheFolderInUse) {
    struct Case {
        const char* what;
        bool loopback;
        bool browserWorks;
        // What the user does once the page was opened.
        std::function<void(SyncPane&, DropboxLinkTest&)> user;
        // The pane's message line afterwards; "*": the server's own words, whatever they are.
        QString message;
    } cases[] = {
        {"the user refuses in the browser", true, true,
         [](SyncPane&, DropboxLinkTest& f) {
             f.browser.open(f.opened.back(), FakeBrowser::Answer::deny);
         },
         QStringLiteral("Dropbox did not grant access (access_denied).")},
        {"the user cancels", true, true,
         [](SyncPane&, DropboxLinkTest& f) {
             QTest::mouseClick(f.control<QPushButton>("DropboxCancel"), Qt::LeftButton);
         },
         QString()},
        {"a pasted code that does not work", false, true,
         [](SyncPane&, DropboxLinkTest& f) {
             QTest::keyClicks(f.control<QLineEdit>("DropboxCode"), QStringLiteral("typo"));
             QTest::mouseClick(f.control<QPushButton>("DropboxUseCode"), Qt::LeftButton);
         },
         QStringLiteral("*")},
        {"no browser: the address is shown and the code pasted wrongly", false, false,
         [](SyncPane& p, DropboxLinkTest& f) {
             EXPECT_TRUE(p.dropboxAccountText().contains(QStringLiteral("127.0.0.1")));
             QTest::keyClicks(f.control<QLineEdit>("DropboxCode"), QStringLiteral("   "));
             QTest::mouseClick(f.control<QPushButton>("DropboxUseCode"), Qt::LeftButton);
             EXPECT_EQ(p.message(), qt(t::kDropboxNoCode));
             QTest::mouseClick(f.control<QPushButton>("DropboxCancel"), Qt::LeftButton);
         },
         QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        pane.reset();
        setup.reset();
        standard.setInteger(t::kZRConnectionState, 500);
        standard.setString(t::kRavelongSyncFolder, folder.path().string());
        secrets.secret.reset();
        browserWorks = c.browserWorks;
        SyncPane& p = make(c.loopback);
        p.show();
        ASSERT_EQ(p.chooserItem(), kChooserFolder);
        const std::size_t pagesBefore = opened.size();
        typeAppKeyAndLink();
        ASSERT_EQ(opened.size(), pagesBefore + 1);
        c.user(p, *this);
        ASSERT_TRUE(pumpUntil([&] { return !dropbox->isLinking(); }));
        ui_testing::runFor(20);
        if (c.message == QStringLiteral("*"))
            EXPECT_FALSE(p.message().isEmpty());
        else
            EXPECT_EQ(p.message(), c.message);
        EXPECT_FALSE(secrets.secret.has_value());
        EXPECT_EQ(state(), 500);
        EXPECT_EQ(setup->service(), SyncService::folder);
        EXPECT_EQ(p.chooserItem(), kChooserFolder);
        EXPECT_FALSE(p.dropboxCodeVisible());
        EXPECT_TRUE(p.dropboxLinkVisible());
    }
}

}  // namespace
}  // namespace ravelong

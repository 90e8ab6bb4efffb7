#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "sync/BackendSetupFixture.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncTexts.h"
#include "sync/dropbox/DropboxSyncBackend.h"
#include "sync/dropbox/DropboxTestLoop.h"
#include "sync/dropbox/FakeBrowser.h"
#include "sync/dropbox/MemorySecretStore.h"

namespace ravelong {
namespace {

namespace t = sync_texts;
namespace fs = std::filesystem;
using testing::FakeBrowser;

class DropboxSyncBackendTest : public ::testing::Test {
protected:
    testing::DropboxTestLoop t;
    testing::TemporaryDirectory settings;
    testing::TemporaryDirectory temporary;
    UserDefaults standard{settings / "standard.json"};
    testing::MemorySecretStore secrets;
    FakeBrowser browser{t.server};
    std::string base = "http://127.0.0.1:" + std::to_string(t.server.port());

    std::unique_ptr<DropboxSyncBackend> make(bool loopback = true, int redirectPort = 0) {
        return std::make_unique<DropboxSyncBackend>(DropboxSyncBackend::Services{
            t.loop, standard, secrets, t.server.clientOptions(), base + "/oauth2/authorize",
            base + "/oauth2/token", temporary.path(), loopback, redirectPort});
    }

    // Runs a whole sign-in; `user` plays the part of the user between the page and the end.
    Status link(DropboxSyncBackend& backend,
                const std::function<void(const std::string& url)>& user) {
        std::optional<Status> ended;
        Result<std::string> url = backend.beginLink([&](Status s) { ended = s; });
        if (!url.ok())
            return url.error();
        user(url.value());
        EXPECT_TRUE(t.pumpUntil([&] { return ended.has_value(); }, 0.5));
        return ended.value_or(makeSEError(kSEErrorUnknown, "the sign-in never ended"));
    }
};

TEST_F(DropboxSyncBackendTest, EverySignInPathLinksTheAccountWithTheTokensOnlyInTheKeyring) {
    struct Case {
        const char* what;
        bool loopback;
        bool follow;  // the browser reaches the redirect
        // Given the page and what the browser left, does what the user does.
        std::function<void(DropboxSyncBackend&, const FakeBrowser::Visit&)> user;
    } cases[] = {
        {"the browser comes back by itself", true, true,
         [](DropboxSyncBackend&, const FakeBrowser::Visit& v) {
             EXPECT_EQ(v.redirectStatus, 200);
         }},
        {"no loopback: the code is pasted", false, false,
         [](DropboxSyncBackend& b, const FakeBrowser::Visit& v) {
             EXPECT_FALSE(v.back.has_value());
             EXPECT_TRUE(b.finishLinkWithCode("  " + v.code + "\n").ok());
         }},
        {"the redirect did not arrive: its address is pasted", true, false,
         [](DropboxSyncBackend& b, const FakeBrowser::Visit& v) {
             ASSERT_TRUE(v.back.has_value());
             EXPECT_TRUE(b.finishLinkWithCode(*v.back).ok());
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        secrets.secret.reset();
        auto backend = make(c.loopback);
        ASSERT_TRUE(backend->setAppKey(t.server.appKey).ok());
        EXPECT_FALSE(backend->isConfigured());
        EXPECT_EQ(backend->makeCloudFileSystem(), nullptr);
        Status linked = link(*backend, [&](const std::string& url) {
            EXPECT_EQ(backend->waitsForRedirect(), c.loopback);
            FakeBrowser::Visit visit = browser.open(url, FakeBrowser::Answer::allow, c.follow);
            ASSERT_TRUE(visit.opened) << url;
            c.user(*backend, visit);
        });
        ASSERT_TRUE(linked.ok()) << linked.error().description;
        EXPECT_TRUE(backend->isLinked());
        EXPECT_FALSE(backend->isLinking());
        ASSERT_TRUE(secrets.secret.has_value());
        EXPECT_NE(secrets.secret->find(t.server.refreshToken), std::string::npos);
        // The settings hold the app key and nothing of the sign-in.
        ASSERT_TRUE(standard.synchronize().ok());
        const std::string written = testing::readFile(settings / "standard.json");
        EXPECT_NE(written.find(t.server.appKey), std::string::npos);
        EXPECT_EQ(written.find(t.server.refreshToken), std::string::npos);
        EXPECT_EQ(written.find(t.server.accessToken()), std::string::npos);
    }
}

TEST_F(DropboxSyncBackendTest, ASignInThatDoesNotFinishLeavesTheEarlierLinkAlone) {
    const std::string earlier = R"({"access_token":"earlier","refresh_token":"r0"})";
    struct Case {
        const char* what;
        std::function<void(DropboxSyncBackend&, const std::string& url)> user;
        int code;  // of the error the sign-in ends with
    } cases[] = {
        {"the user refuses access in the browser",
         [&](DropboxSyncBackend&, const std::string& url) {
             browser.open(url, FakeBrowser::Answer::deny);
         },
         kSEErrorAuthorization},
        {"a code Dropbox does not know",
         [&](DropboxSyncBackend& b, const std::string& url) {
             browser.open(url, FakeBrowser::Answer::allow, false);
             EXPECT_TRUE(b.finishLinkWithCode("made-up-code").ok());
         },
         kSEErrorAuthorization},
        {"the user cancels", [&](DropboxSyncBackend& b, const std::string&) { b.cancelLink(); },
         kSEErrorLinkCancelled},
        {"a newer sign-in takes over",
         [&](DropboxSyncBackend& b, const std::string&) {
             ASSERT_TRUE(b.beginLink([](Status) {}).ok());
         },
         kSEErrorLinkCancelled},
        {"the keyring refuses the tokens",
         [&](DropboxSyncBackend&, const std::string& url) {
             secrets.failSaving = true;
             browser.open(url);
         },
         kSEErrorAuthorization},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        secrets.secret = earlier;
        secrets.failSaving = false;
        standard.setString(t::kRavelongDropboxAppKey, t.server.appKey);
        auto backend = make();
        Status ended = link(*backend, [&](const std::string& url) { c.user(*backend, url); });
        ASSERT_FALSE(ended.ok());
        EXPECT_EQ(ended.error().code, c.code) << ended.error().description;
        EXPECT_EQ(secrets.secret, earlier);
        backend->cancelLink();
    }
}

TEST_F(DropboxSyncBackendTest, TheRegisteredRedirectPortIsUsedOrTheCodeIsPasted) {
    standard.setString(t::kRavelongDropboxAppKey, t.server.appKey);
    // Another program holds a port; then it is free again.
    auto holder = std::make_unique<DBLoopbackRedirect>(t.loop, "other");
    ASSERT_TRUE(holder->open([](auto) {}).ok());
    const std::string address = holder->redirectURI();
    const int port = std::stoi(address.substr(std::string("http://127.0.0.1:").size()));
    for (bool taken : {true, false}) {
        SCOPED_TRACE(taken ? "taken" : "free");
        if (!taken)
            holder.reset();
        auto backend = make(true, port);
        Result<std::string> url = backend->beginLink([](Status) {});
        ASSERT_TRUE(url.ok());
        EXPECT_EQ(backend->waitsForRedirect(), !taken);
        EXPECT_EQ(LoopbackListener::queryValue(url.value(), "redirect_uri"),
                  taken ? std::nullopt : std::optional<std::string>(address));
        backend->cancelLink();
    }
}

TEST_F(DropboxSyncBackendTest, PastedTextIsCheckedBeforeItIsSent) {
    auto backend = make(false);
    standard.setString(t::kRavelongDropboxAppKey, t.server.appKey);
    EXPECT_EQ(backend->finishLinkWithCode("abc").error().description, t::kDropboxNotLinking);
    ASSERT_TRUE(backend->beginLink([](Status) {}).ok());
    struct Case {
        std::string pasted;
        std::string_view refusal;
    } cases[] = {
        {"", t::kDropboxNoCode},
        {"   \n", t::kDropboxNoCode},
        {std::string(2000, 'a'), t::kDropboxNoCode},
        {"http://127.0.0.1:1/?state=someone-else&code=x", t::kDropboxForeignCode},
        {"http://127.0.0.1:1/?error=access_denied", t::kDropboxNoCode},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pasted.substr(0, 60));
        Status used = backend->finishLinkWithCode(c.pasted);
        ASSERT_FALSE(used.ok());
        EXPECT_EQ(used.error().description, c.refusal);
        EXPECT_TRUE(backend->isLinking());
    }
    EXPECT_EQ(t.server.requestCount("oauth2/token"), 0);
}

TEST_F(DropboxSyncBackendTest, TheAppKeyIsCheckedAndFixedWhileAnAccountIsLinked) {
    auto backend = make();
    Result<std::string> noKey = backend->beginLink([](Status) {});
    ASSERT_FALSE(noKey.ok());
    EXPECT_EQ(noKey.error().description, t::kDropboxNoAppKey);
    EXPECT_EQ(backend->whyNotConfigured().description, t::kDropboxNoAppKey);
    struct Case {
        std::string entered;
        bool accepted;
        std::string stored;
    } cases[] = {
        {"  k3y0fmyapp12  ", true, "k3y0fmyapp12"},
        {"key with spaces", false, "k3y0fmyapp12"},
        {"key/../../etc", false, "k3y0fmyapp12"},
        {std::string(65, 'a'), false, "k3y0fmyapp12"},
        {"", true, ""},
        {"AnotherKey9", true, "AnotherKey9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entered);
        EXPECT_EQ(backend->setAppKey(c.entered).ok(), c.accepted);
        EXPECT_EQ(backend->appKey(), c.stored);
    }
    EXPECT_EQ(backend->whyNotConfigured().description, t::kDropboxNotLinked);
    secrets.secret = R"({"access_token":"t","refresh_token":"r"})";
    Status changed = backend->setAppKey("third");
    ASSERT_FALSE(changed.ok());
    EXPECT_EQ(changed.error().description, t::kDropboxKeyWhileLinked);
    EXPECT_EQ(backend->appKey(), "AnotherKey9");
    ASSERT_TRUE(backend->unlink().ok());
    EXPECT_FALSE(secrets.secret.has_value());
    EXPECT_TRUE(backend->setAppKey("third").ok());
}

TEST_F(DropboxSyncBackendTest, TheBackEndZipsEveryFileUnderTheProgramsFolder) {
    secrets.secret = R"({"access_token":"fake-token","refresh_token":"r"})";
    auto backend = make();
    auto cloud = backend->makeCloudFileSystem();
    ASSERT_NE(dynamic_cast<SEZipCloudFileSystem*>(cloud.get()), nullptr);
    testing::writeFile(temporary / "e1.json", "{\"event\":1}");
    auto uploaded = t.await<Status>(
        [&](auto done) { cloud->uploadLocalFile(temporary / "e1.json", "events/e1.json", done); });
    ASSERT_TRUE(uploaded && uploaded->ok());
    auto zipped = t.server.fileContents("/Ravelong/events/e1.json.synczip");
    ASSERT_TRUE(zipped.has_value());
    EXPECT_EQ(zipped->substr(0, 2), "PK");
    EXPECT_FALSE(t.server.fileContents("/Ravelong/events/e1.json").has_value());

    // Once unlinked the back-end cannot reach the account any more.
    ASSERT_TRUE(backend->unlink().ok());
    EXPECT_FALSE(cloud->isConnected());
    EXPECT_EQ(backend->makeCloudFileSystem(), nullptr);
}

class DropboxSyncSetupTest
    : public testing::BackendSetupFixture<DropboxSyncBackendTest, DropboxSyncBackend> {
protected:
    void linkAccount() {
        standard.setString(t::kRavelongDropboxAppKey, t.server.appKey);
        ASSERT_TRUE(link(*service, [&](const std::string& url) { browser.open(url); }).ok());
    }
};

TEST_F(DropboxSyncSetupTest, DropboxTakesOverFromTheFolderOnlyOnceAnAccountIsLinked) {
    auto setup = makeSetupOnFolder();

    // Without an account nothing changes.
    Status refused = choose(*setup, SyncService::dropbox);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().description, t::kDropboxNoAppKey);
    EXPECT_EQ(state(), 500);
    EXPECT_EQ(setup->service(), SyncService::folder);

    linkAccount();
    EXPECT_EQ(setup->service(), SyncService::folder);  // linking alone chooses nothing
    ASSERT_TRUE(choose(*setup, SyncService::dropbox).ok());
    EXPECT_EQ(setup->service(), SyncService::dropbox);
    EXPECT_EQ(state(), 202);  // the first merge runs
    EXPECT_EQ(mergersMadeFor, (std::vector<std::string>{"plain", "zip"}));
    EXPECT_FALSE(standard.exists(t::kRavelongSyncFolder));
    ASSERT_TRUE(merger.finish());
    EXPECT_EQ(state(), 200);

    // The next run finds the choice and the account again.
    restart(setup, SyncService::dropbox);

    // Leaving Dropbox keeps the account linked; an account unlinked meanwhile reads as none.
    disconnect(*setup);
    EXPECT_TRUE(service->isLinked());
    standard.setInteger(t::kZRConnectionState, 200);
    ASSERT_TRUE(service->unlink().ok());
    setup->start();
    EXPECT_EQ(setup->service(), SyncService::none);
    EXPECT_EQ(state(), 0);
}

TEST_F(DropboxSyncSetupTest, ChangesMadeElsewhereAskForAMerge) {
    t.server.addFolder("/Ravelong");
    auto setup = makeSetup();
    setup->start();
    linkAccount();
    ASSERT_TRUE(choose(*setup, SyncService::dropbox).ok());
    ASSERT_TRUE(merger.finish());
    ASSERT_FALSE(merger.running());
    // The watch is waiting on the server; another computer writes an event.
    ASSERT_TRUE(
        t.pumpUntil([&] { return t.server.requestCount("files/list_folder/longpoll") > 0; }));
    t.server.addFile("/Ravelong/events/other.json.synczip", "PK");
    ASSERT_TRUE(t.pumpUntil([&] { return merger.running(); }));
    EXPECT_EQ(merger.optionsSeen.back(), 32u);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "sync/BackendSetupFixture.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncTexts.h"
#include "sync/cloudkit/CloudKitTestLoop.h"
#include "sync/cloudkit/CloudKitWebTestLoop.h"
#include "sync/cloudkit/ICloudSyncBackend.h"
#include "sync/cloudkit/SECloudKitFileSystem.h"
#include "sync/dropbox/MemorySecretStore.h"

namespace ravelong {
namespace {

namespace t = sync_texts;
using testing::CloudKitWebTestLoop;

class ICloudSyncBackendTest : public ::testing::Test {
protected:
    CloudKitWebTestLoop t{false};
    testing::TemporaryDirectory settings;
    testing::TemporaryDirectory temporary;
    testing::TemporaryDirectory cacheHome;
    UserDefaults standard{settings / "standard.json"};
    testing::MemorySecretStore secrets;
    std::vector<std::string> opened;  // pages the browser was asked to show
    bool browserStarts = true;

    testing::ScopedCacheHome scopedCacheHome{cacheHome.path()};

    void SetUp() override { t.server.acceptWebAuthToken("good-token"); }

    std::unique_ptr<ICloudSyncBackend> make() {
        return std::make_unique<ICloudSyncBackend>(
            ICloudSyncBackend::Services{t.loop, standard, secrets,
                                        [this](const std::string& url) {
                                            opened.push_back(url);
                                            return browserStarts;
                                        },
                                        t.server.config(), temporary.path(), 0});
    }
    void fillIn(ICloudSyncBackend& backend) {
        ASSERT_TRUE(backend.setContainer(t.server.containerIdentifier, t.server.apiToken, "").ok());
    }

    // Runs a whole sign-in; `user` plays the part of the user once the page was opened.
    Status signIn(ICloudSyncBackend& backend, const std::function<void()>& user) {
        std::optional<Status> ended;
        opened.clear();
        backend.signIn([&](Status s) { ended = s; });
        if (!t.pumpUntil([&] { return !opened.empty() || ended.has_value(); }))
            return makeSEError(kSEErrorUnknown, "the sign-in page was never opened");
        if (!ended)
            user();
        EXPECT_TRUE(t.pumpUntil([&] { return ended.has_value(); }));
        return ended.value_or(makeSEError(kSEErrorUnknown, "the sign-in never ended"));
    }
    void comeBackWith(ICloudSyncBackend& backend, const std::string& token) {
        ASSERT_TRUE(backend.waitsForBrowser());
        EXPECT_EQ(t.browse(backend.callbackAddress() + "?ckWebAuthToken=" + token), 200);
    }
};

TEST_F(ICloudSyncBackendTest, EverySignInPathKeepsTheTokenOnlyInTheKeyring) {
    struct Case {
        const char* what;
        std::function<void(ICloudSyncBackend&)> user;
    } cases[] = {
        {"the browser comes back by itself",
         [&](ICloudSyncBackend& b) { comeBackWith(b, "good-token"); }},
        {"the token is pasted",
         [](ICloudSyncBackend& b) { EXPECT_TRUE(b.paste(" good-token\n").ok()); }},
        {"the address the browser ended at is pasted",
         [](ICloudSyncBackend& b) {
             EXPECT_TRUE(b.paste("http://127.0.0.1:1/?ckWebAuthToken=good-token").ok());
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        secrets.secret.reset();
        auto backend = make();
        fillIn(*backend);
        EXPECT_FALSE(backend->isConfigured());
        EXPECT_EQ(backend->makeCloudFileSystem(), nullptr);
        Status signedIn = signIn(*backend, [&] { c.user(*backend); });
        ASSERT_TRUE(signedIn.ok()) << signedIn.error().description;
        EXPECT_EQ(opened, std::vector<std::string>{t.server.signInPage});
        EXPECT_TRUE(backend->isSignedIn());
        EXPECT_TRUE(backend->isConfigured());
        EXPECT_FALSE(backend->isSigningIn());
        EXPECT_EQ(secrets.secret, "good-token");
        // The settings hold the container and nothing of the sign-in.
        ASSERT_TRUE(standard.synchronize().ok());
        const std::string written = testing::readFile(settings / "standard.json");
        EXPECT_NE(written.find(t.server.containerIdentifier), std::string::npos);
        EXPECT_EQ(written.find("good-token"), std::string::npos);
    }
}

TEST_F(ICloudSyncBackendTest, ASignInThatDoesNotFinishLeavesTheEarlierTokenAlone) {
    t.server.acceptWebAuthToken("earlier");
    struct Case {
        const char* what;
        std::function<void(ICloudSyncBackend&)> user;
        int code;  // of the error the sign-in ends with
        std::string_view domain;
    } cases[] = {
        {"the service refuses the token the browser brought",
         [&](ICloudSyncBackend& b) { comeBackWith(b, "forged"); },
         static_cast<int>(CKErrorCode::notAuthenticated), kCKErrorDomain},
        {"a pasted token the service refuses",
         [](ICloudSyncBackend& b) { EXPECT_TRUE(b.paste("forged").ok()); },
         static_cast<int>(CKErrorCode::notAuthenticated), kCKErrorDomain},
        {"the user cancels", [](ICloudSyncBackend& b) { b.cancelSignIn(); }, kSEErrorLinkCancelled,
         kSEErrorDomain},
        {"a newer sign-in takes over", [](ICloudSyncBackend& b) { b.signIn([](Status) {}); },
         kSEErrorLinkCancelled, kSEErrorDomain},
        {"the keyring refuses the token",
         [&](ICloudSyncBackend& b) {
             secrets.failSaving = true;
             comeBackWith(b, "good-token");
         },
         kSEErrorAuthorization, kSEErrorDomain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        secrets.secret.reset();
        secrets.failSaving = false;
        auto backend = make();
        fillIn(*backend);
        secrets.secret = "earlier";
        Status ended = signIn(*backend, [&] { c.user(*backend); });
        ASSERT_FALSE(ended.ok());
        EXPECT_EQ(ended.error().code, c.code) << ended.error().description;
        EXPECT_EQ(ended.error().domain, c.domain);
        EXPECT_EQ(secrets.secret, "earlier");
        EXPECT_TRUE(backend->isConfigured());
        backend->cancelSignIn();
        t.loop.runPending();
    }
}

TEST_F(ICloudSyncBackendTest, AServiceThatRefusesTheContainerEndsTheSignInWithoutABrowser) {
    auto backend = make();
    ASSERT_TRUE(backend->setContainer(t.server.containerIdentifier, "wrong-api-token", "").ok());
    secrets.secret = "earlier";
    Status ended = signIn(*backend, [] {});
    ASSERT_FALSE(ended.ok());
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(secrets.secret, "earlier");
}

TEST_F(ICloudSyncBackendTest, TheSettingsAreCheckedAndFixedWhileSignedIn) {
    auto backend = make();
    std::optional<Status> early;
    backend->signIn([&](Status s) { early = s; });
    ASSERT_TRUE(t.pumpUntil([&] { return early.has_value(); }));
    ASSERT_FALSE(early->ok());
    EXPECT_EQ(early->error().description, t::kICloudNoContainer);
    EXPECT_EQ(backend->whyNotConfigured().description, t::kICloudNoContainer);
    EXPECT_TRUE(opened.empty());

    const std::string id = "iCloud.org.example.Times";
    struct Case {
        std::string identifier, token, environment;
        std::string_view refusal;  // empty: accepted
        std::string storedIdentifier, storedEnvironment;
    } cases[] = {
        {"  " + id + " ", "a1b2c3", "", {}, id, "development"},
        {"org.example.Times", "a1b2c3", "", t::kICloudBadContainer, id, "development"},
        {"iCloud.", "a1b2c3", "", t::kICloudBadContainer, id, "development"},
        {"iCloud.a/../b", "a1b2c3", "", t::kICloudBadContainer, id, "development"},
        {id, "tok en", "", t::kICloudBadAPIToken, id, "development"},
        {id, "a&ckWebAuthToken=x", "", t::kICloudBadAPIToken, id, "development"},
        {id, std::string(300, 'a'), "", t::kICloudBadAPIToken, id, "development"},
        {id, "a1b2c3", "staging", t::kICloudBadEnvironment, id, "development"},
        {id, "a1b2c3", "production", {}, id, "production"},
        {"", "", "development", {}, "", "development"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.identifier + " | " + c.token.substr(0, 20) + " | " + c.environment);
        Status set = backend->setContainer(c.identifier, c.token, c.environment);
        EXPECT_EQ(set.ok(), c.refusal.empty());
        if (!set.ok()) {
            EXPECT_EQ(set.error().description, c.refusal);
        }
        EXPECT_EQ(backend->containerIdentifier(), c.storedIdentifier);
        EXPECT_EQ(backend->environment(), c.storedEnvironment);
    }

    fillIn(*backend);
    EXPECT_EQ(backend->whyNotConfigured().description, t::kICloudNotSignedIn);
    secrets.secret = "good-token";
    Status changed = backend->setContainer("iCloud.org.example.Other", "abc", "");
    ASSERT_FALSE(changed.ok());
    EXPECT_EQ(changed.error().description, t::kICloudSettingsWhileSignedIn);
    EXPECT_EQ(backend->containerIdentifier(), t.server.containerIdentifier);
    ASSERT_TRUE(backend->signOut().ok());
    EXPECT_FALSE(secrets.secret.has_value());
    EXPECT_TRUE(backend->setContainer("iCloud.org.example.Other", "abc", "").ok());
}

TEST_F(ICloudSyncBackendTest, PastedTextIsCheckedBeforeItIsSent) {
    auto backend = make();
    fillIn(*backend);
    EXPECT_EQ(backend->paste("good-token").error().description, t::kICloudNotSigningIn);
    backend->signIn([](Status) {});
    ASSERT_TRUE(t.pumpUntil([&] { return !opened.empty(); }));
    for (const std::string pasted : {"", "  \n", "two words", "http://127.0.0.1:1/?other=1"}) {
        SCOPED_TRACE(pasted);
        EXPECT_FALSE(backend->paste(pasted).ok());
        EXPECT_TRUE(backend->isSigningIn());
    }
    EXPECT_FALSE(secrets.secret.has_value());
    backend->cancelSignIn();
}

TEST_F(ICloudSyncBackendTest, TheBackEndIsZippedOnTheProgramsZoneOfThePrivateDatabase) {
    auto backend = make();
    fillIn(*backend);
    secrets.secret = "good-token";
    auto cloud = backend->makeCloudFileSystem();
    auto* zip = dynamic_cast<SEZipCloudFileSystem*>(cloud.get());
    ASSERT_NE(zip, nullptr);
    auto* cloudKit = dynamic_cast<SECloudKitFileSystem*>(zip->cloudFileSystem());
    ASSERT_NE(cloudKit, nullptr);
    EXPECT_EQ(cloudKit->schemaVersion(), 2);
    EXPECT_EQ(cloudKit->databaseScope(), CloudKitDatabase::Scope::privateScope);

    auto connected = t.await<Status>([&](auto done) { cloud->connect(done); });
    ASSERT_TRUE(connected && std::get<0>(*connected).ok());
    ASSERT_TRUE(t.server.zoneExists(SECloudKitFileSystem::zoneNameForSchema(2)));

    // Once signed out there is no account to reach any more.
    ASSERT_TRUE(backend->signOut().ok());
    EXPECT_EQ(backend->makeCloudFileSystem(), nullptr);
}

using ICloudSyncSetupTest = testing::BackendSetupFixture<ICloudSyncBackendTest, ICloudSyncBackend>;

TEST_F(ICloudSyncSetupTest, ICloudTakesOverFromTheFolderOnlyOnceSignedIn) {
    auto setup = makeSetupOnFolder();

    // Without a container, then without a sign-in, nothing changes.
    Status refused = choose(*setup, SyncService::iCloud);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().description, t::kICloudNoContainer);
    fillIn(*service);
    refused = choose(*setup, SyncService::iCloud);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().description, t::kICloudNotSignedIn);
    EXPECT_EQ(state(), 500);
    EXPECT_EQ(setup->service(), SyncService::folder);

    // A refused sign-in leaves the folder in use.
    ASSERT_FALSE(signIn(*service, [&] { comeBackWith(*service, "forged"); }).ok());
    EXPECT_EQ(setup->service(), SyncService::folder);
    EXPECT_EQ(state(), 500);

    ASSERT_TRUE(signIn(*service, [&] { comeBackWith(*service, "good-token"); }).ok());
    EXPECT_EQ(setup->service(), SyncService::folder);  // signing in alone chooses nothing
    ASSERT_TRUE(choose(*setup, SyncService::iCloud).ok());
    EXPECT_EQ(setup->service(), SyncService::iCloud);
    EXPECT_EQ(state(), 102);  // the first merge runs
    EXPECT_EQ(mergersMadeFor, (std::vector<std::string>{"plain", "zip"}));
    EXPECT_FALSE(standard.exists(t::kRavelongSyncFolder));
    ASSERT_TRUE(merger.finish());
    EXPECT_EQ(state(), 100);
    EXPECT_TRUE(t.server.zoneExists(SECloudKitFileSystem::zoneNameForSchema(2)));

    // The next run finds the choice and the sign-in again.
    restart(setup, SyncService::iCloud);

    // Leaving iCloud keeps the sign-in; signing out meanwhile reads as none at the next start.
    disconnect(*setup);
    EXPECT_TRUE(service->isSignedIn());
    standard.setInteger(t::kZRConnectionState, 100);
    ASSERT_TRUE(service->signOut().ok());
    EXPECT_FALSE(secrets.secret.has_value());
    setup->start();
    EXPECT_EQ(setup->service(), SyncService::none);
    EXPECT_EQ(state(), 0);
}

}  // namespace
}  // namespace ravelong

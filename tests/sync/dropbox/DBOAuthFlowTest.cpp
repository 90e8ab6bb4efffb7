#include <gtest/gtest.h>

#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBLoopbackRedirect.h"
#include "sync/dropbox/DBOAuthFlow.h"
#include "sync/dropbox/DBOAuthTokenSource.h"
#include "sync/dropbox/DropboxTestLoop.h"
#include "sync/dropbox/FakeBrowser.h"
#include "sync/dropbox/MemorySecretStore.h"

namespace ravelong {
namespace {

using testing::DropboxTestLoop;
using testing::FakeBrowser;
using testing::MemorySecretStore;

class DBOAuthFlowTest : public ::testing::Test {
protected:
    DropboxTestLoop t;
    HttpTransport transport{t.loop};
    std::string base = "http://127.0.0.1:" + std::to_string(t.server.port());
    DBOAuthFlow flow{transport, t.server.appKey, "https://www.dropbox.com/oauth2/authorize",
                     base + "/oauth2/token"};

    static std::string parameter(const std::string& url, const std::string& name) {
        return LoopbackListener::queryValue(url, name).value_or("<none>");
    }
};

TEST_F(DBOAuthFlowTest, ChallengesFollowS256AndEachSignInIsFresh) {
    // The worked example of the PKCE standard.
    EXPECT_EQ(DBOAuthFlow::codeChallengeFor("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    std::string first = flow.authorizationURL("http://127.0.0.1:5000/");
    EXPECT_EQ(first.rfind("https://www.dropbox.com/oauth2/authorize?", 0), 0u);
    EXPECT_EQ(parameter(first, "client_id"), t.server.appKey);
    EXPECT_EQ(parameter(first, "response_type"), "code");
    EXPECT_EQ(parameter(first, "token_access_type"), "offline");
    EXPECT_EQ(parameter(first, "code_challenge_method"), "S256");
    EXPECT_EQ(parameter(first, "redirect_uri"), "http://127.0.0.1:5000/");
    EXPECT_EQ(parameter(first, "state"), flow.state());
    EXPECT_EQ(parameter(first, "code_challenge").size(), 43u);
    EXPECT_EQ(flow.authorizationURL("http://127.0.0.1:5000/"), first);
    flow.restart();
    std::string second = flow.authorizationURL();
    EXPECT_NE(parameter(first, "code_challenge"), parameter(second, "code_challenge"));
    EXPECT_NE(parameter(first, "state"), parameter(second, "state"));
    EXPECT_EQ(parameter(second, "redirect_uri"), "<none>");
}

TEST_F(DBOAuthFlowTest, TheLoopbackRedirectCarriesTheCodeIntoALinkedAccount) {
    std::optional<Result<std::string>> code;
    std::optional<DBLoopbackRedirect> real;
    real.emplace(t.loop, flow.state());
    ASSERT_TRUE(real->open([&](auto r) { code.emplace(std::move(r)); }).ok());
    std::string url = flow.authorizationURL(real->redirectURI());
    EXPECT_EQ(parameter(url, "redirect_uri"), real->redirectURI());
    t.server.issueCode("the-code", parameter(url, "code_challenge"));

    // The browser arrives: first a request with a foreign state, which is turned away.
    EXPECT_EQ(FakeBrowser::get(real->redirectURI() + "?code=evil&state=not-ours"), 400);
    EXPECT_EQ(FakeBrowser::get(real->redirectURI() + "?code=the-code&state=" + flow.state()), 200);
    ASSERT_TRUE(t.pumpUntil([&] { return code.has_value(); }));
    ASSERT_TRUE(code->ok());
    EXPECT_EQ(code->value(), "the-code");

    auto tokens = t.await<DBResult<DBOAuthTokens>>(
        [&](auto done) { flow.exchangeCode(code->value(), done); });
    ASSERT_TRUE(tokens && tokens->ok()) << (tokens ? tokens->error().summary : "");
    EXPECT_EQ(tokens->value().refreshToken, t.server.refreshToken);
    EXPECT_EQ(tokens->value().accountId, t.server.accountId);

    // A code works once.
    auto again =
        t.await<DBResult<DBOAuthTokens>>([&](auto done) { flow.exchangeCode("the-code", done); });
    ASSERT_TRUE(again);
    ASSERT_FALSE(again->ok());
    EXPECT_EQ(again->error().toSEError().code, kSEErrorAuthorization);
}

TEST_F(DBOAuthFlowTest, TheRedirectListensOnTheRegisteredPortWhileItIsFree) {
    // A port of the system's choosing, free again once its first listener is gone.
    int registered = 0;
    {
        DBLoopbackRedirect probe(t.loop, "s");
        ASSERT_TRUE(probe.open([](auto) {}).ok());
        registered = std::stoi(probe.redirectURI().substr(std::string("http://127.0.0.1:").size()));
    }
    DBLoopbackRedirect first(t.loop, "s", registered);
    ASSERT_TRUE(first.open([](auto) {}).ok());
    EXPECT_EQ(first.redirectURI(), "http://127.0.0.1:" + std::to_string(registered) + "/");
    // Taken: the second waits elsewhere rather than not at all.
    DBLoopbackRedirect second(t.loop, "s", registered);
    ASSERT_TRUE(second.open([](auto) {}).ok());
    EXPECT_NE(second.redirectURI(), first.redirectURI());
}

TEST_F(DBOAuthFlowTest, ARefusedSignInEndsInAnAuthorisationError) {
    DBLoopbackRedirect redirect(t.loop, flow.state());
    std::optional<Result<std::string>> code;
    ASSERT_TRUE(redirect.open([&](auto r) { code.emplace(std::move(r)); }).ok());
    EXPECT_EQ(
        FakeBrowser::get(redirect.redirectURI() + "?error=access_denied&state=" + flow.state()),
        200);
    ASSERT_TRUE(t.pumpUntil([&] { return code.has_value(); }));
    ASSERT_FALSE(code->ok());
    EXPECT_EQ(code->error().code, kSEErrorAuthorization);
}

TEST_F(DBOAuthFlowTest, ExpiredTokensAreRefreshedThroughTheSecretStore) {
    MemorySecretStore store;
    DBOAuthTokenSource tokens(flow, store);
    EXPECT_FALSE(tokens.accessToken());
    ASSERT_TRUE(tokens.link({"stale", t.server.refreshToken, 14400, t.server.accountId}).ok());
    t.server.setExpiredToken("stale");

    DBUserClient client(transport, tokens, t.server.clientOptions());
    // Two calls meet the expired token together and share one refresh.
    std::optional<DBResult<std::string>> a, b;
    client.getCurrentAccount([&](auto r) { a.emplace(std::move(r)); });
    client.getCurrentAccount([&](auto r) { b.emplace(std::move(r)); });
    ASSERT_TRUE(t.pumpUntil([&] { return a && b; }));
    ASSERT_TRUE(a->ok()) << a->error().summary;
    ASSERT_TRUE(b->ok()) << b->error().summary;
    EXPECT_EQ(tokens.accessToken(), t.server.accessToken());
    EXPECT_NE(store.secret->find(t.server.refreshToken), std::string::npos);
    EXPECT_EQ(t.server.requestCount("oauth2/token"), 1);

    // When the fresh token cannot be kept, the refresh counts as failed.
    t.server.setExpiredToken(*tokens.accessToken());
    store.failSaving = true;
    auto refused =
        t.await<DBResult<std::string>>([&](auto done) { client.getCurrentAccount(done); });
    ASSERT_TRUE(refused);
    ASSERT_FALSE(refused->ok());
    EXPECT_EQ(refused->error().toSEError().code, kSEErrorAuthorization);

    ASSERT_TRUE(tokens.unlink().ok());
    EXPECT_FALSE(tokens.accessToken());
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "sync/cloudkit/CloudKitWebSignIn.h"
#include "sync/cloudkit/CloudKitWebTestLoop.h"

namespace ravelong {
namespace {

using testing::CloudKitWebTestLoop;

TEST(CloudKitWebSignIn, TheTokenArrivesFromTheBrowserOrIsPasted) {
    enum class Via { browser, paste, pasteURL };
    struct Case {
        const char* name;
        Via via;
        std::string token;
        bool accepted;
    } cases[] = {
        {"loopback redirect", Via::browser, "good-token", true},
        {"pasted token", Via::paste, "good-token", true},
        {"pasted address", Via::pasteURL, "good-token", true},
        {"token the service refuses", Via::browser, "forged", false},
    };
    for (const auto& c : cases) {
        CloudKitWebTestLoop t(false);
        t.server.acceptWebAuthToken("good-token");
        std::vector<std::string> opened;
        CloudKitWebSignIn signIn(
            t.loop, *t.database, t.tokens,
            [&](const std::string& url) {
                opened.push_back(url);
                return true;
            },
            0);
        std::optional<Status> result;
        signIn.start([&](Status s) { result = s; });
        ASSERT_TRUE(t.pumpUntil([&] { return !opened.empty(); })) << c.name;
        EXPECT_EQ(opened, std::vector<std::string>{t.server.signInPage}) << c.name;
        EXPECT_FALSE(result) << c.name;
        ASSERT_TRUE(signIn.listening()) << c.name;
        if (c.via == Via::browser) {
            // A stray request (the page's icon) does not end the wait.
            EXPECT_EQ(t.browse(signIn.redirectURI() + "favicon.ico"), 400) << c.name;
            EXPECT_EQ(t.browse(signIn.redirectURI() + "?ckWebAuthToken=" + c.token), 200) << c.name;
        } else {
            signIn.paste(c.via == Via::paste ? c.token
                                             : signIn.redirectURI() + "?ckWebAuthToken=" + c.token);
        }
        ASSERT_TRUE(t.pumpUntil([&] { return result.has_value(); })) << c.name;
        EXPECT_EQ(result->ok(), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_EQ(t.tokens.secret, c.token) << c.name;
        } else {
            EXPECT_EQ(result->error().code, CKErrorCode::notAuthenticated) << c.name;
            EXPECT_FALSE(t.tokens.secret) << c.name << ": a refused token is not kept";
        }
    }
}

TEST(CloudKitWebSignIn, AGoodStoredTokenNeedsNoBrowser) {
    CloudKitWebTestLoop t;
    int opened = 0;
    CloudKitWebSignIn signIn(
        t.loop, *t.database, t.tokens,
        [&](const std::string&) {
            ++opened;
            return true;
        },
        0);
    std::optional<Status> result;
    signIn.start([&](Status s) { result = s; });
    ASSERT_TRUE(t.pumpUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(result->ok());
    EXPECT_EQ(opened, 0);
    EXPECT_FALSE(signIn.listening());
}

TEST(CloudKitWebSignIn, OtherFailuresEndTheSignInWithTheirError) {
    CloudKitWebTestLoop t(false);
    t.server.failNext("users/caller", testing::FakeCloudKitServer::error(403, "ACCESS_DENIED"));
    CloudKitWebSignIn signIn(
        t.loop, *t.database, t.tokens, [](const std::string&) { return true; }, 0);
    std::optional<Status> result;
    signIn.start([&](Status s) { result = s; });
    ASSERT_TRUE(t.pumpUntil([&] { return result.has_value(); }));
    ASSERT_FALSE(result->ok());
    EXPECT_EQ(result->error().code, CKErrorCode::permissionFailure);
    // Garbage pasted when nothing waits changes nothing.
    signIn.paste("two words");
    EXPECT_FALSE(t.tokens.secret);
}

}  // namespace
}  // namespace ravelong

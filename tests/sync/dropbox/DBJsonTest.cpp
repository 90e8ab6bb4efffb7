#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBContentHash.h"
#include "sync/dropbox/DBError.h"
#include "sync/dropbox/DBJson.h"

namespace ravelong {
namespace {

TEST(DropboxJson, HeaderArgumentsEscapeEverythingOutsidePrintableAscii) {
    nlohmann::json arg{{"field",
                        "some_\xC3\xBC\xC3\xB1\xC3\xAE"
                        "c\xC3\xB8"
                        "d\xC3\xA9_and_\x7F"}};
    EXPECT_EQ(dropbox_json::headerSafe(arg),
              R"({"field":"some_\u00fc\u00f1\u00eec\u00f8d\u00e9_and_\u007f"})");
    // Characters beyond the basic plane become surrogate pairs.
    EXPECT_EQ(dropbox_json::headerSafe(nlohmann::json("\xF0\x9F\x93\x81")), R"("\ud83d\udcc1")");
}

TEST(DropboxJson, RepliesAreRefusedWhenTooLargeTooDeepOrBroken) {
    struct Case {
        std::string text;
        std::size_t maxBytes;
        bool ok;
    } cases[] = {
        {R"({"a": [1, {"b": "[[[[[[[["}]})", 1000, true},
        {std::string(64, '[') + std::string(64, ']'), 1000, true},
        {std::string(65, '[') + std::string(65, ']'), 1000, false},
        {std::string(1000000, '{'), 2000000, false},
        {R"({"a": )", 1000, false},
        {"", 1000, false},
        {"[\"" + std::string(200, 'x') + "\"]", 204, true},
        {"[\"" + std::string(200, 'x') + "\"]", 203, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        auto r = dropbox_json::parseReply(c.text, c.maxBytes);
        EXPECT_EQ(r.ok(), c.ok);
        if (!r.ok()) {
            EXPECT_EQ(r.error().code, kSEErrorUnknown);
        }
    }
    EXPECT_EQ(dropbox_json::nestingDepth(R"(["\"[[[", {"x": [[]]}])", 10), 4);
}

TEST(DropboxContentHash, HashesBlockDigestsOfFourMebibytes) {
    EXPECT_EQ(dropbox_content_hash::ofBytes(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(dropbox_content_hash::ofBytes("abc"),
              "4f8b42c22dd3729b519ba6f68d2da7cc5b2d606d05daed5ad5128cc03e6c6358");
    std::string twoBlocks;
    for (std::size_t i = 0; i < (4u << 20) + 1; ++i)
        twoBlocks.push_back(static_cast<char>(i % 251));
    const char* expected = "4a6cc0a344febaa07772e7c974834b2fb1d24594d4ba15f27c97a54699709f44";
    EXPECT_EQ(dropbox_content_hash::ofBytes(twoBlocks), expected);
    testing::TemporaryDirectory dir;
    testing::writeFile(dir / "f", twoBlocks);
    auto fromFile = dropbox_content_hash::ofFile(dir / "f");
    ASSERT_TRUE(fromFile.ok());
    EXPECT_EQ(fromFile.value(), expected);
    EXPECT_FALSE(dropbox_content_hash::ofFile(dir / "missing").ok());
}

TEST(DropboxErrors, RepliesDecodeIntoKindsTagsAndEngineCodes) {
    auto reply = [](long status, std::string body, std::string type = "application/json",
                    std::string retryAfter = "") {
        HttpResponse r;
        r.status = status;
        r.body = std::move(body);
        if (!type.empty())
            r.headers["content-type"] = type;
        if (!retryAfter.empty())
            r.headers["retry-after"] = retryAfter;
        return r;
    };
    HttpResponse dropped;
    dropped.failure = HttpResponse::Failure::connection;
    struct Case {
        const char* what;
        HttpResponse response;
        DBError::Kind kind;
        std::vector<std::string> tags;
        int code;
        std::optional<double> retryAfter;
    } cases[] = {
        {"not found",
         reply(409, R"({"error_summary": "path/not_found/..", "error": {".tag": "path",
                        "path": {".tag": "not_found"}}})"),
         DBError::Kind::route,
         {"path", "not_found"},
         kSEErrorUnknown,
         {}},
        {"expired",
         reply(401, R"({"error": {".tag": "expired_access_token"}})"),
         DBError::Kind::authorization,
         {"expired_access_token"},
         kSEErrorAuthorization,
         {}},
        {"rate limit in header",
         reply(429, "too many", "text/plain", "12"),
         DBError::Kind::rateLimited,
         {},
         kSEErrorNoConnection,
         12.0},
        {"rate limit in body",
         reply(429, R"({"error": {"reason": {".tag": "too_many_write_operations"},
                        "retry_after": 3}})"),
         DBError::Kind::rateLimited,
         {"too_many_write_operations"},
         kSEErrorNoConnection,
         3.0},
        {"server",
         reply(502, "<html>bad gateway</html>", "text/html"),
         DBError::Kind::server,
         {},
         kSEErrorNoConnection,
         {}},
        {"bad request",
         reply(400, "Error in call", "text/plain"),
         DBError::Kind::badRequest,
         {},
         kSEErrorUnknown,
         {}},
        {"409 in text",
         reply(409, "conflict", "text/plain"),
         DBError::Kind::malformedReply,
         {},
         kSEErrorUnknown,
         {}},
        {"409 too deep",
         reply(409, std::string(500, '[')),
         DBError::Kind::malformedReply,
         {},
         kSEErrorUnknown,
         {}},
        {"storage full",
         reply(507, "Insufficient Storage", "text/plain"),
         DBError::Kind::route,
         {"insufficient_space"},
         kSEErrorUnknown,
         {}},
        {"dropped", dropped, DBError::Kind::connection, {}, kSEErrorNoConnection, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto e = DBError::fromResponse(c.response);
        EXPECT_EQ(e.kind, c.kind);
        EXPECT_EQ(e.tags, c.tags);
        EXPECT_EQ(e.toSEError().code, c.code);
        EXPECT_EQ(e.toSEError().domain, kSEErrorDomain);
        EXPECT_EQ(e.retryAfterSeconds, c.retryAfter);
    }
}

}  // namespace
}  // namespace ravelong

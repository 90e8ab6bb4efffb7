#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"
#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBClientsManager.h"
#include "sync/dropbox/DropboxTestLoop.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;
using testing::DropboxTestLoop;
using testing::FakeReply;
using testing::MemoryTokenSource;
using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

class DBUserClientTest : public ::testing::Test {
protected:
    DropboxTestLoop t;
    MemoryTokenSource tokens;
    DBClientOptions options = t.server.clientOptions();
    std::optional<HttpTransport> transport;
    std::optional<DBUserClient> client;
    TemporaryDirectory local;

    void SetUp() override { rebuild(); }
    void rebuild() {
        client.reset();
        transport.reset();
        transport.emplace(t.loop);
        client.emplace(*transport, tokens, options);
    }

    template <class T>
    DBResult<T> wait(const std::function<void(DBUserClient::Callback<T>)>& start,
                     double virtualStep = 0.5) {
        auto got = t.await<DBResult<T>>([&](auto done) { start(done); }, virtualStep);
        if (!got)
            return DBError::malformed("no completion");
        return std::move(*got);
    }
    DBResult<DBMetadata> metadata(const std::string& path) {
        return wait<DBMetadata>([&](auto done) { client->getMetadata(path, done); });
    }
};

TEST_F(DBUserClientTest, RateLimitedCallsWaitForRetryAfterThenSucceed) {
    t.server.addFile("/a.txt", "x");
    FakeReply busy = FakeReply::json(
        429, {{"error_summary", "too_many_requests/"},
              {"error", {{"reason", {{".tag", "too_many_requests"}}, {"retry_after", 7}}}}});
    busy.headers.emplace_back("Retry-After", "7");
    t.server.failNext("files/get_metadata", busy);

    std::optional<DBResult<DBMetadata>> got;
    client->getMetadata("/a.txt", [&](auto r) { got.emplace(std::move(r)); });
    // Once the 429 has arrived, the retry waits on a timer.
    ASSERT_TRUE(t.pumpUntil([&] { return t.loop.pendingCount() > 0; }));
    EXPECT_EQ(t.server.requestCount("files/get_metadata"), 1);
    // The second try waits for the server's seven seconds, not a moment less.
    t.loop.advance(6.9);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    t.loop.runPending();
    EXPECT_FALSE(got);
    EXPECT_EQ(t.server.requestCount("files/get_metadata"), 1);
    t.loop.advance(0.2);
    ASSERT_TRUE(t.pumpUntil([&] { return got.has_value(); }));
    ASSERT_TRUE(got->ok()) << got->error().summary;
    EXPECT_EQ(got->value().size, 1u);
    EXPECT_EQ(t.server.requestCount("files/get_metadata"), 2);
}

TEST_F(DBUserClientTest, TransientFailuresAreRetriedWithBoundedBackOffThenReported) {
    t.server.addFile("/a.txt", "x");
    struct Case {
        const char* what;
        FakeReply fault;
        int failures;
        bool succeeds;
        int expectedCode;
    } cases[] = {
        {"503 twice", FakeReply{503, {}, "upstream busy"}, 2, true, 0},
        {"dropped connection",
         [] {
             FakeReply r;
             r.drop = true;
             return r;
         }(),
         1, true, 0},
        {"500 every time", FakeReply{500, {}, "boom"}, 10, false, kSEErrorNoConnection},
        {"429 every time", FakeReply::json(429, {{"error", {{"reason", "too_many_requests"}}}}), 10,
         false, kSEErrorNoConnection},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int before = t.server.requestCount("files/get_metadata");
        t.server.failNext("files/get_metadata", c.fault, c.failures);
        auto r = metadata("/a.txt");
        int tries = t.server.requestCount("files/get_metadata") - before;
        EXPECT_EQ(r.ok(), c.succeeds);
        if (c.succeeds) {
            EXPECT_EQ(tries, c.failures + 1);
        } else {
            EXPECT_EQ(tries, options.maxAttempts);
            EXPECT_EQ(r.error().toSEError().code, c.expectedCode);
        }
        // Whatever faults a case left queued must not leak into the next one.
        while (!metadata("/a.txt").ok()) {
        }
    }
}

TEST_F(DBUserClientTest, RouteErrorsAreDecodedAndNotRetried) {
    auto missing = metadata("/nothing/here");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, DBError::Kind::route);
    EXPECT_TRUE(missing.error().hasTags({"path", "not_found"}));
    EXPECT_EQ(t.server.requestCount("files/get_metadata"), 1);

    auto gone = wait<DBMetadata>([&](auto done) { client->deleteV2("/never/was", done); });
    ASSERT_FALSE(gone.ok());
    EXPECT_TRUE(gone.error().hasTags({"path_lookup", "not_found"}));

    t.server.addFolder("/dir");
    auto twice = wait<DBMetadata>([&](auto done) { client->createFolderV2("/dir", done); });
    ASSERT_FALSE(twice.ok());
    EXPECT_TRUE(twice.error().hasTags({"path", "conflict", "folder"}));
}

TEST_F(DBUserClientTest, UnreadableRepliesFailCleanly) {
    t.server.addFile("/a.txt", "x");
    std::string deep(100000, '[');
    struct Case {
        const char* what;
        FakeReply reply;
    } cases[] = {
        {"not JSON", FakeReply{200, {{"Content-Type", "application/json"}}, "{\"name\": "}},
        {"deeply nested", FakeReply{200, {{"Content-Type", "application/json"}}, deep}},
        {"huge", FakeReply{200,
                           {{"Content-Type", "application/json"}},
                           "[\"" + std::string(33u << 20, 'x') + "\"]"}},
        {"wrong shape", FakeReply::json(200, {{".tag", "file"}, {"name", 5}})},
        {"unknown tag", FakeReply::json(200, {{".tag", "symlink"}, {"name", "a"}})},
        {"409 without JSON", FakeReply{409, {}, "conflict"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        t.server.failNext("files/get_metadata", c.reply);
        auto r = metadata("/a.txt");
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().kind, DBError::Kind::malformedReply);
        EXPECT_EQ(r.error().toSEError().code, kSEErrorUnknown);
    }
}

TEST_F(DBUserClientTest, SlowServersTimeOutAsLostConnections) {
    options.requestTimeoutSeconds = 0.5;
    options.maxAttempts = 1;
    rebuild();
    FakeReply slow = FakeReply::json(200, {{"account_id", "dbid:x"}});
    slow.delaySeconds = 3;
    t.server.failNext("users/get_current_account", slow);
    auto start = std::chrono::steady_clock::now();
    auto r = wait<std::string>([&](auto done) { client->getCurrentAccount(done); });
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, DBError::Kind::connection);
    EXPECT_EQ(r.error().toSEError().code, kSEErrorNoConnection);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(DBUserClientTest, ExpiredTokensAreRefreshedOnceAndTheCallRepeated) {
    tokens.token = "old";
    t.server.setExpiredToken("old");
    tokens.fresh = "fake-token";
    auto r = wait<std::string>([&](auto done) { client->getCurrentAccount(done); });
    ASSERT_TRUE(r.ok()) << r.error().summary;
    EXPECT_EQ(r.value(), t.server.accountId);
    EXPECT_EQ(tokens.refreshes, 1);

    // A refresh that brings no new token ends in an authorisation error.
    tokens.token = "old";
    tokens.fresh.reset();
    auto refused = wait<std::string>([&](auto done) { client->getCurrentAccount(done); });
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().toSEError().code, kSEErrorAuthorization);
    EXPECT_EQ(tokens.refreshes, 2);

    // Refreshed elsewhere while the call was on its way: sent again, with no refresh of its own.
    tokens.token = "old";
    auto late = wait<std::string>([&](auto done) {
        client->getCurrentAccount(done);
        tokens.token = "fake-token";
    });
    ASSERT_TRUE(late.ok()) << late.error().summary;
    EXPECT_EQ(tokens.refreshes, 2);

    tokens.token = "revoked";
    auto revoked = wait<std::string>([&](auto done) { client->getCurrentAccount(done); });
    ASSERT_FALSE(revoked.ok());
    EXPECT_EQ(revoked.error().toSEError().code, kSEErrorAuthorization);
    EXPECT_EQ(tokens.refreshes, 2);
}

TEST_F(DBUserClientTest, NonAsciiPathsTravelInHeaderSafeArguments) {
    writeFile(local / "up", "grüße");
    std::string path = "/Zeit/Übersicht – 東京.json";
    auto up = wait<DBMetadata>([&](auto done) { client->uploadFile(local / "up", path, done); });
    ASSERT_TRUE(up.ok()) << up.error().summary;
    EXPECT_EQ(t.server.fileContents(path), "grüße");
    for (const auto& header : t.server.apiArgHeaders("files/upload"))
        for (unsigned char c : header)
            EXPECT_TRUE(c >= 0x20 && c < 0x7f) << header;

    auto down = wait<DBMetadata>(
        [&](auto done) { client->download(path, local / "sub" / "down.json", done); });
    ASSERT_TRUE(down.ok()) << down.error().summary;
    EXPECT_EQ(readFile(local / "sub" / "down.json"), "grüße");
}

TEST_F(DBUserClientTest, LargeFilesTravelInUploadSessionChunks) {
    options.uploadChunkBytes = 1000;
    rebuild();
    std::string bytes;
    for (int i = 0; i < 3500; ++i)
        bytes.push_back(static_cast<char>('a' + i % 26));
    writeFile(local / "big", bytes);
    auto r = wait<DBMetadata>([&](auto done) { client->uploadFile(local / "big", "/big", done); });
    ASSERT_TRUE(r.ok()) << r.error().summary;
    EXPECT_EQ(t.server.fileContents("/big"), bytes);
    EXPECT_EQ(t.server.requestCount("files/upload_session/start"), 1);
    EXPECT_EQ(t.server.requestCount("files/upload_session/append_v2"), 3);
    EXPECT_EQ(t.server.requestCount("files/upload_session/finish"), 1);
    EXPECT_EQ(t.server.requestCount("files/upload"), 0);
}

TEST_F(DBUserClientTest, BatchUploadsCommitTogetherAndReportEachFile) {
    options.uploadChunkBytes = 64;
    rebuild();
    t.server.latencySeconds = 0.02;
    std::vector<std::pair<fs::path, std::string>> files;
    for (int i = 0; i < 40; ++i) {
        auto name = "f" + std::to_string(i);
        // One file needs several chunks; the rest fit in one.
        writeFile(local / name, i == 7 ? std::string(200, 'z') : "content " + name);
        files.emplace_back(local / name, "/batch/" + name);
    }
    t.server.addFolder("/batch/f3");  // a conflict: a folder where a file goes
    files.emplace_back(local / "missing-local-file", "/batch/none");

    auto r = t.await<std::vector<DBResult<DBMetadata>>>(
        [&](auto done) { client->uploadFiles(files, done); });
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].second);
        bool shouldFail = i == 3 || i == 40;
        EXPECT_EQ((*r)[i].ok(), !shouldFail);
    }
    EXPECT_EQ((*r)[40].error().kind, DBError::Kind::local);
    EXPECT_TRUE((*r)[3].error().hasTags({"path"}));
    EXPECT_EQ(t.server.fileContents("/batch/f7"), std::string(200, 'z'));
    EXPECT_EQ(t.server.fileContents("/batch/f39"), "content f39");
    EXPECT_TRUE(t.server.folderExists("/batch/f3"));
    EXPECT_EQ(t.server.requestCount("files/upload_session/finish_batch_v2"), 1);
    EXPECT_EQ(t.server.requestCount("files/upload"), 0);
    EXPECT_GT(t.server.mostConcurrent(), 1);
}

TEST_F(DBUserClientTest, DamagedDownloadsLeaveTheLocalFileAsItWas) {
    t.server.addFile("/data.json", std::string(5000, 'd'));
    struct Case {
        const char* what;
        std::function<void(FakeReply&)> damage;
    } cases[] = {
        {"cut short", [](FakeReply& r) { r.truncateAt = 100; }},
        {"a byte changed", [](FakeReply& r) { r.body[10] = 'X'; }},
        {"shorter body announced as whole", [](FakeReply& r) { r.body.resize(4000); }},
        {"no result header", [](FakeReply& r) { r.headers.erase(r.headers.begin() + 1); }},
    };
    options.maxAttempts = 1;
    rebuild();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(local / "data.json", "previous");
        t.server.alterNext("files/download", c.damage);
        auto r = wait<DBMetadata>(
            [&](auto done) { client->download("/data.json", local / "data.json", done); });
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(readFile(local / "data.json"), "previous");
        EXPECT_EQ(std::distance(fs::directory_iterator(local.path()), fs::directory_iterator()), 1);
    }
    auto whole = wait<DBMetadata>(
        [&](auto done) { client->download("/data.json", local / "data.json", done); });
    ASSERT_TRUE(whole.ok()) << whole.error().summary;
    EXPECT_EQ(readFile(local / "data.json"), std::string(5000, 'd'));
}

TEST_F(DBUserClientTest, ListingsFollowEveryPage) {
    t.server.listPageSize = 3;
    for (int i = 0; i < 10; ++i)
        t.server.addFile("/dir/f" + std::to_string(i), "x");
    auto r = wait<std::vector<DBMetadata>>(
        [&](auto done) { client->listFolderAllPages("/dir", false, done); });
    ASSERT_TRUE(r.ok()) << r.error().summary;
    EXPECT_EQ(r.value().size(), 10u);
    EXPECT_EQ(t.server.requestCount("files/list_folder"), 1);
    EXPECT_EQ(t.server.requestCount("files/list_folder/continue"), 3);
}

TEST_F(DBUserClientTest, CancellingAtQuitEndsTransfersAndRetriesAtOnce) {
    FakeReply slow = FakeReply::json(200, {{"account_id", "dbid:x"}});
    slow.delaySeconds = 5;
    t.server.failNext("users/get_current_account", slow);
    t.server.failNext("files/get_metadata", FakeReply{503, {{"Retry-After", "100"}}, ""});
    std::optional<DBResult<std::string>> account;
    std::optional<DBResult<DBMetadata>> meta;
    client->getCurrentAccount([&](auto r) { account.emplace(std::move(r)); });
    client->getMetadata("/x", [&](auto r) { meta.emplace(std::move(r)); });
    // Let the 503 arrive so that the call waits for its retry.
    ASSERT_TRUE(t.pumpUntil([&] { return t.loop.pendingCount() > 0; }));

    auto start = std::chrono::steady_clock::now();
    client->cancelAll();
    ASSERT_TRUE(t.pumpUntil([&] { return account && meta; }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_FALSE(account->ok());
    EXPECT_EQ(account->error().kind, DBError::Kind::cancelled);
    ASSERT_FALSE(meta->ok());
    EXPECT_EQ(meta->error().kind, DBError::Kind::cancelled);
}

TEST_F(DBUserClientTest, DestroyingTheClientDropsItsCompletions) {
    FakeReply slow = FakeReply::json(200, {{"account_id", "dbid:x"}});
    slow.delaySeconds = 0.3;
    t.server.failNext("users/get_current_account", slow);
    bool called = false;
    client->getCurrentAccount([&](auto) { called = true; });
    client.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    t.loop.runPending();
    t.loop.advance(100);
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TestSupport.h"
#include "sync/cloudkit/CloudKitWebServicesJson.h"
#include "sync/cloudkit/CloudKitWebTestLoop.h"
#include "sync/http/LoopbackListener.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testing::CloudKitWebTestLoop;
using testing::FakeCloudKitServer;
using testing::FakeReply;

using Saved = std::tuple<std::vector<CKRecord>, std::vector<CKRecordID>, CKError>;
using Fetched = std::tuple<std::vector<CKRecord>, CKError>;

class CloudKitWebServicesDatabaseTest : public ::testing::Test {
protected:
    CloudKitWebTestLoop t;
    CloudKitWebServicesDatabase& db = *t.database;
    testing::TemporaryDirectory folder;

    CKRecord fileRecord(const std::string& name, const std::string& bytes,
                        CKRecordZoneID zone = {}) {
        fs::path file = folder / name;
        std::ofstream(file, std::ios::binary) << bytes;
        CKRecord r;
        r.recordType = "FileNode";
        r.recordID = {name, zone};
        r.setField("name", name);
        r.setField("size", static_cast<std::int64_t>(bytes.size()));
        r.setField("contents", CKAsset{file});
        return r;
    }

    Saved save(std::vector<CKRecord> records, std::vector<CKRecordID> deletions = {}) {
        auto got = t.await<std::vector<CKRecord>, std::vector<CKRecordID>, CKError>(
            [&](auto done) { db.modifyRecords(records, deletions, done); });
        EXPECT_TRUE(got.has_value()) << "the save did not complete once, on the loop";
        return got.value_or(Saved{});
    }

    Fetched fetch(std::vector<CKRecordID> ids) {
        auto got = t.await<std::vector<CKRecord>, CKError>(
            [&](auto done) { db.fetchRecords(ids, std::nullopt, done); });
        EXPECT_TRUE(got.has_value()) << "the fetch did not complete once, on the loop";
        return got.value_or(Fetched{});
    }
};

TEST_F(CloudKitWebServicesDatabaseTest, RecordsWithAssetsGoUpAndComeBackWhole) {
    CKRecord r = fileRecord("events-1", "{\"kind\":\"insert\"}");
    r.setField("ratio", 0.25);
    r.parent = CKRecordID{"folder", {}};
    r.setField("folder", CKReference{{"folder", {}}, CKReference::Action::deleteSelf});
    auto [saved, deleted, error] = save({r});
    ASSERT_TRUE(error.ok()) << error.description;
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_FALSE(saved[0].recordChangeTag.empty());
    EXPECT_EQ(t.server.assetBytes("events-1", "contents"), "{\"kind\":\"insert\"}");

    auto [records, fetchError] = fetch({r.recordID});
    ASSERT_TRUE(fetchError.ok()) << fetchError.description;
    ASSERT_EQ(records.size(), 1u);
    const CKRecord& back = records[0];
    EXPECT_EQ(back.recordType, "FileNode");
    EXPECT_EQ(back.recordChangeTag, saved[0].recordChangeTag);
    EXPECT_EQ(back.parent, r.parent);
    for (const char* key : {"name", "size", "ratio", "folder"}) {
        ASSERT_NE(back.field(key), nullptr) << key;
        EXPECT_EQ(*back.field(key), *r.field(key)) << key;
    }
    auto asset = std::get_if<CKAsset>(back.field("contents"));
    ASSERT_NE(asset, nullptr);
    EXPECT_EQ(testing::readFile(asset->fileURL), "{\"kind\":\"insert\"}");
    EXPECT_GT(back.modificationDate, 0);
    // The tokens travel in the address; the web auth token is the stored one.
    auto query = t.server.queries().front();
    EXPECT_EQ(LoopbackListener::queryValue(query, "ckAPIToken"), "fake-api-token");
    EXPECT_EQ(LoopbackListener::queryValue(query, "ckWebAuthToken"), "web-token-1");
}

TEST_F(CloudKitWebServicesDatabaseTest, LargeSavesAreSplitAndSentTogether) {
    t.server.latencySeconds = 0.05;
    std::vector<CKRecord> records;
    for (int i = 0; i < 450; ++i) {
        CKRecord r;
        r.recordType = "Event";
        r.recordID = {"e" + std::to_string(i), {}};
        r.setField("n", static_cast<std::int64_t>(i));
        records.push_back(r);
    }
    auto [saved, deleted, error] = save(records);
    ASSERT_TRUE(error.ok()) << error.description;
    EXPECT_EQ(saved.size(), 450u);
    EXPECT_EQ(t.server.recordCount(), 450u);
    auto bodies = t.server.bodies("records/modify");
    ASSERT_EQ(bodies.size(), 3u);
    for (const auto& body : bodies)
        EXPECT_LE(body["operations"].size(), 200u);
    EXPECT_GE(t.server.mostConcurrent(), 2);

    // Deletions travel in the same requests; a missing record is the only failure.
    std::vector<CKRecordID> gone = {{"e1", {}}, {"e2", {}}, {"never-there", {}}};
    auto [saved2, deleted2, error2] = save({}, gone);
    EXPECT_EQ(deleted2.size(), 2u);
    ASSERT_TRUE(error2.isPartialFailureOnlyOf({CKErrorCode::unknownItem})) << error2.code;
    EXPECT_EQ(error2.partialErrors[0].recordID.recordName, "never-there");
    EXPECT_EQ(t.server.recordCount(), 448u);
}

TEST_F(CloudKitWebServicesDatabaseTest, ARequestThatFailsWholeFailsOnlyItsRecords) {
    std::vector<CKRecord> records;
    for (int i = 0; i < 250; ++i) {
        CKRecord r;
        r.recordType = "Event";
        r.recordID = {"e" + std::to_string(i), {}};
        records.push_back(r);
    }
    t.server.failNext("records/modify", FakeCloudKitServer::error(413, "QUOTA_EXCEEDED"));
    auto [saved, deleted, error] = save(records);
    ASSERT_EQ(error.code, CKErrorCode::partialFailure);
    EXPECT_TRUE(error.isPartialFailureOnlyOf({CKErrorCode::quotaExceeded}));
    EXPECT_EQ(saved.size() + error.partialErrors.size(), 250u);
    EXPECT_EQ(t.server.recordCount(), saved.size());

    // When every request fails, the call fails as a whole.
    t.server.failNext("records/modify", FakeCloudKitServer::error(413, "QUOTA_EXCEEDED"));
    auto [saved2, deleted2, error2] = save({records[0]});
    EXPECT_EQ(error2.code, CKErrorCode::quotaExceeded);
    EXPECT_TRUE(saved2.empty());
}

// Faults of the service or the network, each on the user route, with what the caller sees and
// how many requests the client made.
TEST_F(CloudKitWebServicesDatabaseTest, FaultsEndInTheRightErrorAfterBoundedRetries) {
    auto deep = std::string(100000, '[') + std::string(100000, ']');
    FakeReply dropped;
    dropped.drop = true;
    FakeReply huge = FakeReply::json(200, {{"userRecordName", std::string(40u << 20, 'x')}});
    struct Case {
        const char* name;
        std::vector<FakeReply> faults;
        int expected;
        int requests;
        double retryAfter = 0;
    } cases[] = {
        {"sign-in needed",
         {FakeCloudKitServer::error(421, "AUTHENTICATION_REQUIRED")},
         CKErrorCode::notAuthenticated,
         1},
        {"token refused",
         {FakeCloudKitServer::error(401, "AUTHENTICATION_FAILED")},
         CKErrorCode::notAuthenticated,
         1},
        {"unavailable once",
         {FakeCloudKitServer::error(503, "TRY_AGAIN_LATER", {{"retryAfter", 3}})},
         CKErrorCode::none,
         2},
        {"throttled throughout",
         std::vector<FakeReply>(6,
                                FakeCloudKitServer::error(429, "THROTTLED", {{"retryAfter", 2}})),
         CKErrorCode::requestRateLimited, 5, 2},
        {"dropped twice", {dropped, dropped}, CKErrorCode::none, 3},
        {"bare 500 once", {FakeReply{500, {}, "oops"}}, CKErrorCode::none, 2},
        {"malformed", {FakeReply{200, {}, "{\"userRecordName\": "}}, CKErrorCode::internalError, 1},
        {"deeply nested", {FakeReply{200, {}, deep}}, CKErrorCode::internalError, 1},
        {"huge", {huge}, CKErrorCode::serverRejectedRequest, 1},
        {"no user", {FakeReply::json(200, json::object())}, CKErrorCode::internalError, 1},
        {"access denied",
         {FakeCloudKitServer::error(403, "ACCESS_DENIED")},
         CKErrorCode::permissionFailure,
         1},
    };
    for (const auto& c : cases) {
        CloudKitWebTestLoop fresh;
        for (const auto& f : c.faults)
            fresh.server.failNext("users/caller", f);
        auto got = fresh.await<std::optional<CKRecordID>, CKError>(
            [&](auto done) { fresh.database->fetchUserRecordID(done); });
        ASSERT_TRUE(got) << c.name;
        const CKError& e = std::get<1>(*got);
        EXPECT_EQ(e.code, c.expected) << c.name << ": " << e.description;
        EXPECT_EQ(fresh.server.requestCount("users/caller"), c.requests) << c.name;
        EXPECT_EQ(e.retryAfterSeconds, c.retryAfter) << c.name;
        if (c.expected == CKErrorCode::none) {
            EXPECT_EQ(std::get<0>(*got)->recordName, fresh.server.userRecordName) << c.name;
        }
        // No error text gives the tokens away.
        EXPECT_EQ(e.description.find("web-token-1"), std::string::npos) << c.name;
        EXPECT_EQ(e.description.find("fake-api-token"), std::string::npos) << c.name;
    }
}

TEST_F(CloudKitWebServicesDatabaseTest, DamagedDownloadsAreFetchedAgainOrRefused) {
    save({fileRecord("doc", "the real contents")});
    auto truncate = [](FakeReply& r) { r.truncateAt = 4; };
    auto corrupt = [](FakeReply& r) { r.body[0] ^= 1; };
    auto shorten = [](FakeReply& r) { r.body.pop_back(); };
    struct Case {
        const char* name;
        std::function<void(FakeReply&)> alter;
        bool always;
    } cases[] = {
        {"truncated once", truncate, false},
        {"corrupted once", corrupt, false},
        {"short once", shorten, false},
        {"corrupted always", corrupt, true},
    };
    for (const auto& c : cases) {
        int before = t.server.requestCount("assets/download");
        if (c.always)
            t.server.failNext("assets/download", FakeReply{200, {}, "the real contentz"}, 5);
        else
            t.server.alterNext("assets/download", c.alter);
        auto [records, error] = fetch({{"doc", {}}});
        int requests = t.server.requestCount("assets/download") - before;
        if (c.always) {
            EXPECT_EQ(error.code, CKErrorCode::networkFailure) << c.name;
            EXPECT_TRUE(records.empty()) << c.name;
            EXPECT_EQ(requests, 5) << c.name;
        } else {
            ASSERT_TRUE(error.ok()) << c.name << ": " << error.description;
            ASSERT_EQ(records.size(), 1u) << c.name;
            EXPECT_EQ(testing::readFile(std::get<CKAsset>(*records[0].field("contents")).fileURL),
                      "the real contents")
                << c.name;
            EXPECT_EQ(requests, 2) << c.name;
        }
    }
}

TEST_F(CloudKitWebServicesDatabaseTest, FailedUploadsSaveNothing) {
    struct Case {
        const char* name;
        std::string route;
        FakeReply reply;
        int expected;
    } cases[] = {
        {"no upload address", "assets/upload", FakeReply::json(200, {{"tokens", json::array()}}),
         CKErrorCode::internalError},
        {"upload refused", "assets/put", FakeCloudKitServer::error(400, "BAD_REQUEST"),
         CKErrorCode::invalidArguments},
        {"no receipt", "assets/put", FakeReply::json(200, {{"other", 1}}),
         CKErrorCode::internalError},
        {"quota", "assets/upload", FakeCloudKitServer::error(413, "QUOTA_EXCEEDED"),
         CKErrorCode::quotaExceeded},
    };
    for (const auto& c : cases) {
        t.server.failNext(c.route, c.reply);
        auto [saved, deleted, error] = save({fileRecord("up", "data")});
        EXPECT_EQ(error.code, c.expected) << c.name << ": " << error.description;
        EXPECT_TRUE(saved.empty()) << c.name;
        EXPECT_FALSE(t.server.record("up")) << c.name;
    }
    // A file that cannot be read fails its save, not the program.
    CKRecord unreadable = fileRecord("gone", "x");
    fs::remove(folder / "gone");
    auto [saved, deleted, error] = save({unreadable});
    EXPECT_EQ(error.code, CKErrorCode::invalidArguments);
    EXPECT_FALSE(t.server.record("gone"));

    // A full account refuses the records whose files went over, one by one.
    t.server.quotaBytes = 6;
    auto [saved2, deleted2, error2] =
        save({fileRecord("small", "1234"), fileRecord("big", "5678")});
    ASSERT_TRUE(error2.isPartialFailureOnlyOf({CKErrorCode::quotaExceeded})) << error2.code;
    ASSERT_EQ(saved2.size(), 1u);
    EXPECT_EQ(saved2[0].recordID.recordName, "small");
    EXPECT_EQ(error2.partialErrors[0].recordID.recordName, "big");
}

TEST_F(CloudKitWebServicesDatabaseTest, ADatabaseDestroyedMidRequestCompletesNothing) {
    t.server.latencySeconds = 0.2;
    int completions = 0;
    t.database->modifyRecords({fileRecord("late", "bytes")}, {},
                              [&](auto, auto, CKError) { ++completions; });
    t.database.reset();
    for (int i = 0; i < 60; ++i) {  // long enough for the reply to arrive
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        t.loop.runPending();
        t.loop.advance(0.5);
    }
    EXPECT_EQ(completions, 0);
}

// An invitation is accepted by the short GUID its link ends in; the share's record name means
// nothing to the service, and an invitation without a link is refused before anything is sent.
TEST_F(CloudKitWebServicesDatabaseTest, SharesAreAcceptedByTheirLinksShortGUID) {
    const CKRecordZoneID zone{"Shared", kCKCurrentUserOwnerName};
    ASSERT_TRUE(
        std::get<0>(*t.await<CKError>([&](auto done) { db.saveRecordZone(zone, done); })).ok());
    CKRecord root;
    root.recordType = "FileNode";
    root.recordID = {"root", zone};
    CKRecord share;
    share.recordType = kCKShareRecordType;
    share.recordID = {"share-1", zone};
    share.shareRootRecordID = root.recordID;
    ASSERT_TRUE(std::get<2>(save({root, share})).ok());
    auto stored = t.server.record("share-1", "Shared");
    ASSERT_TRUE(stored && stored->contains("shortGUID"));
    const std::string guid = stored->at("shortGUID");
    ASSERT_NE(guid, "share-1");

    const struct {
        std::string name, link;
        int expected;  // CloudKit error code, 0 when accepted
        bool sent;
    } cases[] = {
        {"the owner's link", "https://www.icloud.com/share/" + guid + "#Ravelong", 0, true},
        {"a link to a share that is gone", "https://www.icloud.com/share/0Gone",
         CKErrorCode::unknownItem, true},
        {"no link, only the record name", "", CKErrorCode::invalidArguments, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = t.server.requestCount("records/accept");
        CKShareMetadata invitation{share.recordID, root.recordID, "_owner", c.link, ""};
        auto got = t.await<CKError>([&](auto done) { db.acceptShare(invitation, done); });
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(std::get<0>(*got).code, c.expected) << std::get<0>(*got).description;
        ASSERT_EQ(t.server.requestCount("records/accept"), before + (c.sent ? 1 : 0));
        if (c.sent) {
            const json sent = t.server.bodies("records/accept").back();
            EXPECT_EQ(sent.at("shortGUIDs").size(), 1u);
            EXPECT_NE(sent.at("shortGUIDs").at(0).at("value"), "share-1");
        }
    }
}

TEST_F(CloudKitWebServicesDatabaseTest, RenewedWebAuthTokensAreKept) {
    t.server.renewTokens = true;
    auto got =
        t.await<std::optional<CKRecordID>, CKError>([&](auto done) { db.fetchUserRecordID(done); });
    ASSERT_TRUE(got && std::get<1>(*got).ok());
    EXPECT_FALSE(t.server.lastRenewedToken().empty());
    EXPECT_EQ(t.tokens.secret, t.server.lastRenewedToken());
    // The next request carries the renewed token.
    std::string renewed = t.server.lastRenewedToken();
    t.await<std::optional<CKRecordID>, CKError>([&](auto done) { db.fetchUserRecordID(done); });
    EXPECT_EQ(LoopbackListener::queryValue(t.server.queries().back(), "ckWebAuthToken"), renewed);
}

}  // namespace
}  // namespace ravelong

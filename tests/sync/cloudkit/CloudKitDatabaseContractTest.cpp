#include <gtest/gtest.h>

#include <algorithm>

#include "support/TestSupport.h"
#include "sync/cloudkit/CloudKitTestLoop.h"
#include "sync/cloudkit/CloudKitWebTestLoop.h"

namespace ravelong {
namespace {

using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

// What the iCloud file system relies on from either database: the one held in memory and the web
// services client talking to the fake service.
class CloudKitDatabaseTest : public ::testing::TestWithParam<bool> {
protected:
    // The in-memory container's loop; with the web client it waits for the fake's replies.
    struct Loop : testing::CloudKitTestLoop {
        bool web = false;
        void settle(const std::function<bool()>& done) override {
            if (web)
                pumpUntil(done, 0.5);
            else
                loop.runPending();
        }
    };

    void SetUp() override {
        if (GetParam()) {
            t.web = true;
            server.emplace();
            client.emplace(t.loop, *server, "web-token");
        }
        ASSERT_TRUE(t.saveZone(db(), kZone).ok());
    }
    CloudKitDatabase& db() {
        if (GetParam())
            return *client->database;
        return *t.db;
    }
    void setChangesPageSize(std::size_t size) {
        if (GetParam())
            server->changesPageSize = size;
        else
            t.container->changesPageSize = size;
    }
    void expireChangeTokens() {
        if (GetParam())
            server->expireChangeTokens();
        else
            t.container->expireChangeTokens();
    }
    // A record of the zone; with contents, they travel as an asset.
    CKRecord node(const std::string& name, std::int64_t size = 0,
                  const std::optional<std::string>& contents = std::nullopt) {
        CKRecord r;
        r.recordType = "Node";
        r.recordID = {name, kZone};
        r.setField("path", name);
        r.setField("fileSize", size);
        if (contents) {
            writeFile(files / name, *contents);
            r.setField("data", CKAsset{files / name});
        }
        return r;
    }

    const CKRecordZoneID kZone{"sync.zone", kCKCurrentUserOwnerName};
    Loop t;
    std::optional<testing::FakeCloudKitServer> server;
    std::optional<testing::CloudKitWebComputerClient> client;
    TemporaryDirectory files;
};

TEST_P(CloudKitDatabaseTest, ZonesAreMadeFoundAndDeleted) {
    const CKRecordZoneID other{"other", kCKCurrentUserOwnerName};
    EXPECT_EQ(t.fetchZone(db(), other).code, CKErrorCode::zoneNotFound);
    ASSERT_TRUE(t.saveZone(db(), other).ok());
    EXPECT_TRUE(t.fetchZone(db(), other).ok());
    CKRecord inOther = node("x");
    inOther.recordID.zoneID = other;
    ASSERT_TRUE(t.modify(db(), {inOther}).second.ok());
    ASSERT_TRUE(t.deleteZone(db(), other).ok());
    EXPECT_EQ(t.fetchZone(db(), other).code, CKErrorCode::zoneNotFound);
    EXPECT_EQ(t.deleteZone(db(), other).code, CKErrorCode::zoneNotFound);
    EXPECT_EQ(t.changes(db(), other, std::nullopt).second.code, CKErrorCode::zoneNotFound);
    EXPECT_TRUE(t.fetchZone(db(), kZone).ok());
}

TEST_P(CloudKitDatabaseTest, ChangeTagsGuardSavesRecordByRecord) {
    t.clock.set(5000);
    auto [saved, error] = t.modify(db(), {node("a")});
    ASSERT_TRUE(error.ok()) << error.description;
    ASSERT_EQ(saved.size(), 1u);
    const std::string tag = saved[0].recordChangeTag;
    EXPECT_FALSE(tag.empty());
    EXPECT_GT(saved[0].modificationDate, 0);
    if (!GetParam()) {
        EXPECT_EQ(saved[0].modificationDate, 5000);  // the clock's time
    }

    struct Case {
        const char* what;
        std::string tag;
        bool accepted;
    } cases[] = {
        {"a new record over an existing one", "", false},
        {"a stale tag", "stale", false},
        {"the current tag", tag, true},
        {"the tag that save replaced", tag, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CKRecord again = node("a", 7);
        again.recordChangeTag = c.tag;
        // Saved together with a new record, which must go through either way.
        const std::string fresh = "new-" + std::to_string(&c - cases);
        auto [result, e] = t.modify(db(), {again, node(fresh)});
        if (c.accepted) {
            EXPECT_TRUE(e.ok()) << e.description;
        } else {
            EXPECT_TRUE(e.isPartialFailureOnlyOf({CKErrorCode::serverRecordChanged})) << e.code;
            ASSERT_EQ(e.partialErrors.size(), 1u);
            EXPECT_EQ(e.partialErrors[0].recordID.recordName, "a");
        }
        EXPECT_EQ(result.size(), c.accepted ? 2u : 1u);
        EXPECT_EQ(t.fetch(db(), {{fresh, kZone}}).first.size(), 1u);
    }
    auto stored = t.fetch(db(), {{"a", kZone}}).first;
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(std::get<std::int64_t>(*stored[0].field("fileSize")), 7);
}

TEST_P(CloudKitDatabaseTest, MissingRecordsArePartialErrorsBesideTheOnesFound) {
    ASSERT_TRUE(t.modify(db(), {node("here", 1, "contents")}).second.ok());
    auto [found, error] = t.fetch(db(), {{"here", kZone}, {"missing", kZone}});
    ASSERT_EQ(error.code, CKErrorCode::partialFailure);
    EXPECT_TRUE(error.isPartialFailureOnlyOf({CKErrorCode::unknownItem}));
    ASSERT_EQ(error.partialErrors.size(), 1u);
    EXPECT_EQ(error.partialErrors[0].recordID.recordName, "missing");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].recordID.recordName, "here");
    EXPECT_EQ(readFile(std::get<CKAsset>(*found[0].field("data")).fileURL), "contents");
}

TEST_P(CloudKitDatabaseTest, TheChangeFeedPagesResumesFromItsTokenAndRejectsOthers) {
    setChangesPageSize(2);
    ASSERT_TRUE(
        t.modify(db(), {node("a", 1, "bytes a"), node("b", 1, "bytes b"), node("c", 1, "bytes c")})
            .second.ok());
    std::vector<std::string> seen;
    std::optional<CKServerChangeToken> token;
    bool more = true;
    for (int round = 0; more && round < 10; ++round) {
        auto [changes, error] = t.changes(db(), kZone, token);
        ASSERT_TRUE(error.ok()) << error.description;
        EXPECT_LE(changes.changedRecords.size(), 2u);
        for (auto& r : changes.changedRecords) {
            seen.push_back(r.recordID.recordName);
            EXPECT_EQ(readFile(std::get<CKAsset>(*r.field("data")).fileURL),
                      "bytes " + r.recordID.recordName);
        }
        token = changes.serverChangeToken;
        more = changes.moreComing;
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));

    // Nothing new, then one change and one deletion.
    auto [quiet, e1] = t.changes(db(), kZone, token);
    EXPECT_TRUE(e1.ok());
    EXPECT_TRUE(quiet.changedRecords.empty() && quiet.deletedRecords.empty() && !quiet.moreComing);
    ASSERT_TRUE(t.modify(db(), {node("d")}, {{"a", kZone}}).second.ok());
    auto [later, e2] = t.changes(db(), kZone, quiet.serverChangeToken);
    ASSERT_EQ(later.changedRecords.size(), 1u);
    EXPECT_EQ(later.changedRecords[0].recordID.recordName, "d");
    ASSERT_EQ(later.deletedRecords.size(), 1u);
    EXPECT_EQ(later.deletedRecords[0].recordID.recordName, "a");
    EXPECT_EQ(later.deletedRecords[0].recordType, "Node");

    EXPECT_EQ(t.changes(db(), kZone, CKServerChangeToken{"never-issued"}).second.code,
              CKErrorCode::changeTokenExpired);
    expireChangeTokens();
    EXPECT_EQ(t.changes(db(), kZone, later.serverChangeToken).second.code,
              CKErrorCode::changeTokenExpired);
}

TEST_P(CloudKitDatabaseTest, QueriesFilterSortAndPageWithCursors) {
    std::vector<CKRecord> records;
    for (int i = 0; i < 25; ++i) {
        CKRecord r = node("n" + std::to_string(100 + i), i % 5);
        r.setField("directory", CKReference{{i < 10 ? "A" : "B", kZone}});
        records.push_back(r);
    }
    ASSERT_TRUE(t.modify(db(), records).second.ok());
    using C = CKQueryFilter::Comparator;
    struct Case {
        const char* what;
        std::vector<CKQueryFilter> filters;
        bool ascending;
        std::size_t expected;
        const char* first;
    } cases[] = {
        {"all", {}, true, 25, "n100"},
        {"all, descending", {}, false, 25, "n124"},
        {"fileSize > 2", {{"fileSize", C::greaterThan, std::int64_t{2}}}, true, 10, "n103"},
        {"directory = A", {{"directory", C::equals, CKReference{{"A", kZone}}}}, true, 10, "n100"},
        {"directory = B and fileSize > 3",
         {{"directory", C::equals, CKReference{{"B", kZone}}},
          {"fileSize", C::greaterThan, std::int64_t{3}}},
         false,
         3,
         "n124"},
        {"path = n107", {{"path", C::equals, std::string("n107")}}, true, 1, "n107"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CKQuery query{"Node", c.filters, "path", c.ascending};
        std::vector<std::string> names;
        std::optional<CKQueryCursor> cursor;
        int pages = 0;
        do {
            using Page = std::pair<std::vector<CKRecord>, std::optional<CKQueryCursor>>;
            auto page = t.await<Page>([&](auto done) {
                auto got = [done](std::vector<CKRecord> r, std::optional<CKQueryCursor> next,
                                  CKError e) {
                    EXPECT_TRUE(e.ok()) << e.description;
                    done({std::move(r), std::move(next)});
                };
                if (cursor)
                    db().performQuery(*cursor, std::nullopt, got);
                else
                    db().performQuery(query, kZone, std::nullopt, 4, got);
            });
            EXPECT_LE(page.first.size(), 4u);
            for (auto& r : page.first)
                names.push_back(r.recordID.recordName);
            cursor = page.second;
        } while (cursor && ++pages < 20);
        ASSERT_EQ(names.size(), c.expected);
        EXPECT_EQ(names.front(), c.first);
        EXPECT_TRUE(c.ascending ? std::is_sorted(names.begin(), names.end())
                                : std::is_sorted(names.rbegin(), names.rend()));
    }
    // A cursor the database never handed out is refused.
    auto damaged = t.await<CKError>([&](auto done) {
        db().performQuery(CKQueryCursor{"not a cursor"}, std::nullopt,
                          [done](auto, auto, CKError e) { done(e); });
    });
    EXPECT_EQ(damaged.code, CKErrorCode::invalidArguments);
}

INSTANTIATE_TEST_SUITE_P(InMemoryAndWeb, CloudKitDatabaseTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Web" : "InMemory"; });

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include <algorithm>

#include "support/TestSupport.h"
#include "sync/cloudkit/CloudKitTestLoop.h"
#include "sync/cloudkit/CloudKitWebTestLoop.h"

namespace ravelong {
namespace {

using Scope = CloudKitDatabase::Scope;
using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

const CKRecordZoneID kZone{"sync.zone", kCKCurrentUserOwnerName};

CKRecord nodeRecord(const std::string& name, std::int64_t size = 0) {
    CKRecord r;
    r.recordType = "Node";
    r.recordID = {name, kZone};
    r.setField("path", name);
    r.setField("fileSize", size);
    return r;
}

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
        CKRecord r = nodeRecord(name, size);
        if (contents) {
            writeFile(files / name, *contents);
            r.setField("data", CKAsset{files / name});
        }
        return r;
    }

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

// What only the database held in memory does: zones the user deletes, accounts, shares, and
// the failures and delays tests inject.
class InMemoryCloudKitDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(t.saveZone(*t.db, kZone).ok()); }
    static CKRecord node(const std::string& name) { return nodeRecord(name); }
    testing::CloudKitTestLoop t;
};

TEST_F(InMemoryCloudKitDatabaseTest, AZoneTheUserDeletedComesBackAndIsSharedByTheAccountOnly) {
    const CKRecordZoneID other{"other", kCKCurrentUserOwnerName};
    ASSERT_TRUE(t.saveZone(*t.db, other).ok());
    // Deleted by the user in the account settings.
    t.container->userDeletesZone("alice", "other");
    EXPECT_EQ(t.fetchZone(*t.db, other).code, CKErrorCode::userDeletedZone);
    CKRecord inOther = node("x");
    inOther.recordID.zoneID = other;
    EXPECT_EQ(t.modify(*t.db, {inOther}).second.partialErrors.at(0).code,
              CKErrorCode::userDeletedZone);
    ASSERT_TRUE(t.saveZone(*t.db, other).ok());
    EXPECT_TRUE(t.fetchZone(*t.db, other).ok());
    // Another computer of the same account sees the same zones; another account does not.
    auto sameAccount = t.database(Scope::privateScope);
    auto otherAccount = t.database(Scope::privateScope, "bob");
    EXPECT_TRUE(t.fetchZone(*sameAccount, kZone).ok());
    EXPECT_EQ(t.fetchZone(*otherAccount, kZone).code, CKErrorCode::zoneNotFound);
}

TEST_F(InMemoryCloudKitDatabaseTest, FetchesHandBackOwnAssetCopiesAndOnlyTheFieldsAskedFor) {
    TemporaryDirectory dir;
    writeFile(dir / "in.txt", "contents");
    CKRecord withData = node("d");
    withData.setField("data", CKAsset{dir / "in.txt"});
    ASSERT_TRUE(t.modify(*t.db, {withData}).second.ok());
    writeFile(dir / "in.txt", "changed after the save");

    auto [found, error] = t.fetch(*t.db, {{"d", kZone}});
    ASSERT_TRUE(error.ok());
    ASSERT_EQ(found.size(), 1u);
    auto asset = std::get<CKAsset>(*found[0].field("data"));
    EXPECT_NE(asset.fileURL, dir / "in.txt");
    EXPECT_EQ(readFile(asset.fileURL), "contents");

    // Only the fields asked for.
    auto some = t.fetch(*t.db, {{"d", kZone}}, std::vector<std::string>{"path"}).first;
    ASSERT_EQ(some.size(), 1u);
    EXPECT_NE(some[0].field("path"), nullptr);
    EXPECT_EQ(some[0].field("data"), nullptr);
    EXPECT_EQ(some[0].field("fileSize"), nullptr);

    // An asset whose file is gone fails that record alone.
    CKRecord lost = node("lost");
    lost.setField("data", CKAsset{dir / "missing.txt"});
    auto [saved, e] = t.modify(*t.db, {lost, node("fine")});
    EXPECT_EQ(saved.size(), 1u);
    ASSERT_EQ(e.partialErrors.size(), 1u);
    EXPECT_EQ(e.partialErrors[0].code, CKErrorCode::invalidArguments);
}

TEST_F(InMemoryCloudKitDatabaseTest, DeletingARecordTakesItsDeleteSelfDependantsAlong) {
    CKRecord dir = node("dir"), child = node("dir/sub"), file = node("dir/sub/f"),
             loose = node("loose");
    child.setField("directory", CKReference{dir.recordID, CKReference::Action::deleteSelf});
    file.setField("directory", CKReference{child.recordID, CKReference::Action::deleteSelf});
    loose.setField("directory", CKReference{dir.recordID, CKReference::Action::none});
    ASSERT_TRUE(t.modify(*t.db, {dir, child, file, loose}).second.ok());
    // Deleting what is already gone is no error.
    ASSERT_TRUE(t.modify(*t.db, {}, {dir.recordID, {"never-there", kZone}}).second.ok());
    auto left = t.container->records("alice", kZone.zoneName);
    EXPECT_EQ(left.size(), 1u);
    EXPECT_TRUE(left.contains("loose"));
}

TEST_F(InMemoryCloudKitDatabaseTest, SignedOutAndForeignZonesAreRefused) {
    auto signedOut = t.database(Scope::privateScope, std::nullopt);
    auto user = t.await<std::pair<std::optional<CKRecordID>, CKError>>([&](auto done) {
        signedOut->fetchUserRecordID([done](auto id, CKError e) { done({id, e}); });
    });
    EXPECT_EQ(user.second.code, CKErrorCode::notAuthenticated);
    EXPECT_EQ(t.fetchZone(*signedOut, kZone).code, CKErrorCode::notAuthenticated);
    EXPECT_EQ(t.modify(*signedOut, {node("x")}).second.code, CKErrorCode::notAuthenticated);

    auto me = t.await<std::pair<std::optional<CKRecordID>, CKError>>([&](auto done) {
        t.db->fetchUserRecordID([done](auto id, CKError e) { done({id, e}); });
    });
    ASSERT_TRUE(me.first.has_value());
    EXPECT_EQ(me.first->recordName, "alice");
}

TEST_F(InMemoryCloudKitDatabaseTest, AnAcceptedShareOpensTheOwnersZoneToTheParticipant) {
    auto bobShared = t.database(Scope::sharedScope, "bob");
    const CKRecordZoneID asSeenByBob{kZone.zoneName, "alice"};
    CKShareMetadata invitation{{"share", asSeenByBob}, {"root", asSeenByBob}, "alice"};
    auto accept = [&] {
        return t.await<CKError>([&](auto done) { bobShared->acceptShare(invitation, done); });
    };
    EXPECT_EQ(accept().code, CKErrorCode::unknownItem);

    CKRecord share;
    share.recordType = kCKShareRecordType;
    share.recordID = {"share", kZone};
    share.shareRootRecordID = CKRecordID{"root", kZone};
    // A share needs its root.
    EXPECT_EQ(t.modify(*t.db, {share}).second.partialErrors.at(0).code,
              CKErrorCode::invalidArguments);
    ASSERT_TRUE(t.modify(*t.db, {node("root"), share}).second.ok());

    EXPECT_EQ(t.fetchZone(*bobShared, asSeenByBob).code, CKErrorCode::zoneNotFound);
    ASSERT_TRUE(accept().ok());
    EXPECT_TRUE(t.fetchZone(*bobShared, asSeenByBob).ok());
    ASSERT_TRUE(t.modify(*bobShared, {[&] {
                     CKRecord r = node("from-bob");
                     r.recordID.zoneID = asSeenByBob;
                     return r;
                 }()})
                    .second.ok());
    EXPECT_TRUE(t.container->records("alice", kZone.zoneName).contains("from-bob"));
}

TEST_F(InMemoryCloudKitDatabaseTest, InjectedFailuresAndDelays) {
    t.db->failNextCalls(CKError{CKErrorCode::networkFailure, "down", {}, 0}, 2);
    EXPECT_EQ(t.modify(*t.db, {node("a")}).second.code, CKErrorCode::networkFailure);
    EXPECT_EQ(t.fetch(*t.db, {{"a", kZone}}).second.code, CKErrorCode::networkFailure);
    EXPECT_TRUE(t.modify(*t.db, {node("a")}).second.ok());

    t.db->failRecords({"b"}, CKErrorCode::serverRecordChanged);
    auto [saved, e] = t.modify(*t.db, {node("b"), node("c")});
    EXPECT_EQ(saved.size(), 1u);
    EXPECT_TRUE(e.isPartialFailureOnlyOf({CKErrorCode::serverRecordChanged}));
    t.db->clearFailures();

    // A delayed call takes effect only when its time has come.
    t.db->delay = 3;
    bool done = false;
    t.db->modifyRecords({node("slow")}, {}, [&](auto, auto, CKError) { done = true; });
    t.loop.runPending();
    EXPECT_FALSE(done);
    EXPECT_FALSE(t.container->records("alice", kZone.zoneName).contains("slow"));
    t.loop.advance(3);
    EXPECT_TRUE(done);
    EXPECT_TRUE(t.container->records("alice", kZone.zoneName).contains("slow"));

    // A database gone before its call ran still completes the call, with a failure.
    CKError last;
    t.db->fetchRecords({{"a", kZone}}, std::nullopt, [&](auto, CKError e) { last = e; });
    t.db.reset();
    t.loop.advance(3);
    EXPECT_EQ(last.code, CKErrorCode::networkFailure);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include <algorithm>

#include "support/TestSupport.h"
#include "sync/cloudkit/CloudKitTestLoop.h"

namespace ravelong {
namespace {

using Scope = CloudKitDatabase::Scope;
using testing::CloudKitTestLoop;
using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

const CKRecordZoneID kZone{"sync.zone", kCKCurrentUserOwnerName};

CKRecord node(const std::string& name, std::int64_t size = 0) {
    CKRecord r;
    r.recordType = "Node";
    r.recordID = {name, kZone};
    r.setField("path", name);
    r.setField("fileSize", size);
    return r;
}

class InMemoryCloudKitDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(t.saveZone(*t.db, kZone).ok()); }
    CloudKitTestLoop t;
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

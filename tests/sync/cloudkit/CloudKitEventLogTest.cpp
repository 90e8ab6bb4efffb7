#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "support/TestSupport.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncEventLog.h"
#include "sync/cloudkit/CloudKitTestLoop.h"
#include "sync/cloudkit/SECloudKitFileSystem.h"

namespace ravelong {
namespace {

using json = nlohmann::json;
using Scope = CloudKitDatabase::Scope;
using testing::CloudKitTestLoop;
using testing::TemporaryDirectory;

json setNote(const std::string& uuid, const std::string& note) {
    return json::array({{{"entity", "ZRCDTiming"}, {"uuid", uuid}, {"set", {{"note", note}}}}});
}

// One computer syncing through the in-memory CloudKit account, plain or zipped. Each keeps its
// own cache folder, as two machines would.
struct Computer {
    Computer(CloudKitTestLoop& t, const std::string& id, bool zipped) : t(t), replica(id) {
        db = t.database(Scope::privateScope);
        setenv("XDG_CACHE_HOME", cacheHome.path().c_str(), 1);
        auto ck = SECloudKitFileSystem::withPrivateDatabase(
            t.loop, [db = db](Scope) { return db; }, "iCloud.test", 2);
        unsetenv("XDG_CACHE_HOME");
        cloudKit = ck.get();
        std::unique_ptr<SECloudFileSystem> backEnd = std::move(ck);
        cloud = zipped ? std::make_unique<SEZipCloudFileSystem>(std::move(backEnd), scratch.path())
                       : std::move(backEnd);
        log = std::make_unique<SyncEventLog>(*cloud, replica, scratch.path());
        t.loop.runPending();
    }
    Status publish(json changes) {
        return t.await<Status>([&](auto done) { log->publish(changes, done); });
    }
    // What the controller does before each sync: prime the back-end, then pull.
    SyncEventLog::PullReport pull() {
        EXPECT_TRUE(
            t.await<Status>([&](auto done) { cloud->primeForActivityWithCompletion(done); }).ok());
        auto got = t.await<std::pair<SyncEventLog::PullReport, Status>>([&](auto done) {
            log->pull([done](SyncEventLog::PullReport r, Status s) { done({std::move(r), s}); });
        });
        EXPECT_TRUE(got.second.ok());
        return got.first;
    }

    CloudKitTestLoop& t;
    TemporaryDirectory scratch, cacheHome;
    SyncReplica replica;
    std::shared_ptr<InMemoryCloudKitDatabase> db;
    SECloudKitFileSystem* cloudKit = nullptr;
    std::unique_ptr<SECloudFileSystem> cloud;
    std::unique_ptr<SyncEventLog> log;
};

class CloudKitEventLogTest : public ::testing::TestWithParam<bool> {
protected:
    CloudKitTestLoop t;
};

TEST_P(CloudKitEventLogTest, TwoComputersConvergeThroughOneCloudKitAccount) {
    Computer a(t, "A", GetParam()), b(t, "B", GetParam());
    EXPECT_EQ(a.pull().applied, 0u);
    ASSERT_TRUE(a.publish(setNote("T1", "a1")).ok());
    ASSERT_TRUE(a.publish(setNote("T2", "a2")).ok());
    ASSERT_TRUE(b.publish(setNote("T1", "b1")).ok());
    EXPECT_EQ(b.pull().applied, 2u);
    EXPECT_EQ(a.pull().applied, 1u);
    EXPECT_EQ(a.replica.records(), b.replica.records());
    const SyncReplica::RecordId t1{"ZRCDTiming", "T1"};
    EXPECT_EQ(a.replica.liveValues()[t1].at("note"), "b1");
    EXPECT_EQ(b.pull().applied, 0u);
    auto zone = t.container->records("alice", SECloudKitFileSystem::zoneNameForSchema(2));
    EXPECT_TRUE(zone.contains("SEFileSystemNode_/events"));
    EXPECT_TRUE(zone.contains("SEFileSystemNode_/devices"));
    EXPECT_EQ(zone.size(), 3u + 3u + 2u)
        << "root, events and devices, one node per event, each computer's acknowledgement";
}

TEST_P(CloudKitEventLogTest, AnUnreachableServiceLosesNoEvent) {
    Computer a(t, "A", GetParam()), b(t, "B", GetParam());
    a.db->failNextCalls({CKErrorCode::networkUnavailable, "offline", {}, 0}, 100);
    Status failed = a.publish(setNote("T1", "offline edit"));
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().domain, kCKErrorDomain);
    EXPECT_EQ(failed.error().code, CKErrorCode::networkUnavailable);
    EXPECT_EQ(a.log->pendingUploads(), 1u);

    a.db->clearFailures();
    ASSERT_TRUE(a.publish(setNote("T2", "back online")).ok());
    EXPECT_EQ(a.log->pendingUploads(), 0u);
    EXPECT_EQ(b.pull().applied, 2u);
    const SyncReplica::RecordId t1{"ZRCDTiming", "T1"};
    EXPECT_EQ(b.replica.liveValues()[t1].at("note"), "offline edit");
}

TEST_P(CloudKitEventLogTest, ASlowServiceStillDeliversEveryEventInOrder) {
    Computer a(t, "A", GetParam()), b(t, "B", GetParam());
    a.db->delay = 0.2;
    b.db->delay = 0.2;
    bool published = false;
    a.log->publish(setNote("T1", "slow"), [&](Status s) { published = s.ok(); });
    t.loop.advance(5);
    ASSERT_TRUE(published);
    bool pulled = false;
    std::size_t applied = 0;
    b.cloud->primeForActivityWithCompletion([&](Status primed) {
        ASSERT_TRUE(primed.ok());
        b.log->pull([&](SyncEventLog::PullReport r, Status s) {
            pulled = s.ok();
            applied = r.applied;
        });
    });
    t.loop.advance(5);
    EXPECT_TRUE(pulled);
    EXPECT_EQ(applied, 1u);
}

INSTANTIATE_TEST_SUITE_P(PlainAndZipped, CloudKitEventLogTest, ::testing::Bool());

}  // namespace
}  // namespace ravelong

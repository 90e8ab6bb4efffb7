#include <gtest/gtest.h>

#include <memory>

#include "support/TestSupport.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncEventLog.h"
#include "sync/dropbox/DropboxTestLoop.h"
#include "sync/dropbox/SEDropboxV2CloudFileSystem.h"

namespace ravelong {
namespace {

using json = nlohmann::json;
using testing::DropboxTestLoop;
using testing::MemoryTokenSource;
using testing::TemporaryDirectory;

json setNote(const std::string& uuid, const std::string& note) {
    return json::array({{{"entity", "ZRCDTiming"}, {"uuid", uuid}, {"set", {{"note", note}}}}});
}

// One computer syncing through the fake Dropbox account, plain or zipped.
struct Computer {
    Computer(DropboxTestLoop& t, DBClientsManager& clients, const std::string& id, bool zipped)
        : t(t), replica(id) {
        auto dropbox = std::make_unique<SEDropboxV2CloudFileSystem>(t.loop, clients);
        dropbox->setRelativePathToRootInDropbox("Ravelong Sync");
        dropbox->partitionDataFilesBetweenSubdirectories = true;
        std::unique_ptr<SECloudFileSystem> backEnd = std::move(dropbox);
        cloud = zipped ? std::make_unique<SEZipCloudFileSystem>(std::move(backEnd), scratch.path())
                       : std::move(backEnd);
        log = std::make_unique<SyncEventLog>(*cloud, replica, scratch.path());
    }
    Status publish(json changes) {
        return t.await<Status>([&](auto done) { log->publish(changes, done); })
            .value_or(makeSEError(-99, "no completion"));
    }
    SyncEventLog::PullReport pull() {
        auto got = t.await<std::pair<SyncEventLog::PullReport, Status>>([&](auto done) {
            log->pull([done](SyncEventLog::PullReport r, Status s) { done({std::move(r), s}); });
        });
        EXPECT_TRUE(got && got->second.ok());
        return got ? got->first : SyncEventLog::PullReport{};
    }

    DropboxTestLoop& t;
    TemporaryDirectory scratch;
    SyncReplica replica;
    std::unique_ptr<SECloudFileSystem> cloud;
    std::unique_ptr<SyncEventLog> log;
};

class DropboxEventLogTest : public ::testing::TestWithParam<bool> {
protected:
    DropboxTestLoop t;
    MemoryTokenSource tokens;
    DBClientsManager clients{t.loop, tokens, t.server.clientOptions()};
};

TEST_P(DropboxEventLogTest, TwoComputersConvergeThroughOneDropboxAccount) {
    Computer a(t, clients, "A", GetParam()), b(t, clients, "B", GetParam());
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
    EXPECT_TRUE(t.server.folderExists("/Ravelong Sync/events"));
}

TEST_P(DropboxEventLogTest, AnUnreachableDropboxLosesNoEvent) {
    Computer a(t, clients, "A", GetParam()), b(t, clients, "B", GetParam());
    t.server.failNext("files/upload", testing::FakeReply{503, {}, "down"}, 100);
    Status failed = a.publish(setNote("T1", "offline edit"));
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().code, kSEErrorNoConnection);
    EXPECT_EQ(a.log->pendingUploads(), 1u);

    t.server.clearFaults();
    ASSERT_TRUE(a.publish(setNote("T2", "back online")).ok());
    EXPECT_EQ(a.log->pendingUploads(), 0u);
    EXPECT_EQ(b.pull().applied, 2u);
    const SyncReplica::RecordId t1{"ZRCDTiming", "T1"};
    EXPECT_EQ(b.replica.liveValues()[t1].at("note"), "offline edit");
}

INSTANTIATE_TEST_SUITE_P(PlainAndZipped, DropboxEventLogTest, ::testing::Bool());

}  // namespace
}  // namespace ravelong

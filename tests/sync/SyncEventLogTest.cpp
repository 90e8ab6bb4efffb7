#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "support/TestSupport.h"
#include "sync/CloudTestLoop.h"
#include "sync/LocalFolderCloudFileSystem.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncEventLog.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testing::readFile;
using testing::TemporaryDirectory;
using testing::writeFile;

json setNote(const std::string& uuid, const std::string& note) {
    return json::array({{{"entity", "ZRCDTiming"}, {"uuid", uuid}, {"set", {{"note", note}}}}});
}

// One computer: its replica, its back-end over the shared folder (zipped or plain) and its log.
struct Computer {
    Computer(testing::CloudTestLoop& t, const fs::path& cloud, const std::string& id, bool zipped)
        : t(t), replica(id) {
        std::unique_ptr<SECloudFileSystem> folder =
            std::make_unique<LocalFolderCloudFileSystem>(t.loop, cloud);
        backEnd = zipped ? std::make_unique<SEZipCloudFileSystem>(std::move(folder), scratch.path())
                         : std::move(folder);
        log = std::make_unique<SyncEventLog>(*backEnd, replica, scratch.path());
    }
    Status publish(json changes) {
        return t.status([&](auto done) { log->publish(changes, done); });
    }
    SyncEventLog::PullReport pull() {
        SyncEventLog::PullReport report;
        Status status = t.status([&](auto done) {
            log->pull([&, done](SyncEventLog::PullReport r, Status s) {
                report = std::move(r);
                done(s);
            });
        });
        EXPECT_TRUE(status.ok()) << (status.ok() ? "" : status.error().description);
        return report;
    }

    testing::CloudTestLoop& t;
    TemporaryDirectory scratch;
    SyncReplica replica;
    std::unique_ptr<SECloudFileSystem> backEnd;
    std::unique_ptr<SyncEventLog> log;
};

class SyncEventLogTest : public ::testing::TestWithParam<bool> {
protected:
    testing::CloudTestLoop t;
    TemporaryDirectory cloud;
};

TEST_P(SyncEventLogTest, TwoComputersConvergeThroughTheSharedFolder) {
    Computer a(t, cloud.path(), "A", GetParam()), b(t, cloud.path(), "B", GetParam());
    EXPECT_EQ(a.pull().applied, 0u);  // nothing published yet
    ASSERT_TRUE(a.publish(setNote("T1", "a1")).ok());
    ASSERT_TRUE(a.publish(setNote("T2", "a2")).ok());
    ASSERT_TRUE(b.publish(setNote("T1", "b1")).ok());  // concurrent with a's first edit
    auto fromA = b.pull();
    EXPECT_EQ(fromA.applied, 2u);
    EXPECT_EQ(fromA.touched.size(), 2u);
    EXPECT_EQ(a.pull().applied, 1u);
    EXPECT_EQ(a.replica.records(), b.replica.records());
    const SyncReplica::RecordId t1{"ZRCDTiming", "T1"};
    EXPECT_EQ(a.replica.liveValues()[t1].at("note"), "b1");  // key (1,B) > (1,A)
    // Nothing new: a second pull applies nothing and reports nothing.
    auto again = b.pull();
    EXPECT_EQ(again.applied, 0u);
    EXPECT_TRUE(again.skipped.empty());
}

TEST_P(SyncEventLogTest, UnusableFilesAreSkippedAndReportedOnceWhileTheRestApplies) {
    Computer a(t, cloud.path(), "A", GetParam()), b(t, cloud.path(), "B", GetParam());
    ASSERT_TRUE(a.publish(setNote("T1", "one")).ok());
    ASSERT_TRUE(a.publish(setNote("T2", "two")).ok());
    // A sync tool's conflict copy of an event file, and files that are no events of ours.
    fs::path events = cloud / "events";
    std::string ext = GetParam() ? ".synczip" : "";
    std::string first = sync_event_file::fileNameFor({1, "A"});
    fs::copy_file(events / (first + ext),
                  events / ("00000000000000000001-A.sync-conflict-20261207-1-XYZ.event" + ext));
    SyncEvent future{{9, "C"}, setNote("T3", "future")};
    auto futureBytes = sync_event_file::encode(future);
    futureBytes[8] = 2;
    std::vector<std::pair<std::string, std::string>> plainFiles = {
        {"foreign.event", "hello"},
        {"future.event", futureBytes},
        {"truncated.event", sync_event_file::encode(future).substr(0, 30)}};
    for (const auto& [name, bytes] : plainFiles)
        writeFile(events / name, bytes);

    auto report = b.pull();
    EXPECT_EQ(report.applied, 2u);
    EXPECT_EQ(report.skipped.size(), 3u);
    std::set<int> codes;
    for (const auto& e : report.skipped)
        codes.insert(e.code);
    EXPECT_EQ(codes,
              (std::set<int>{kSEErrorForeignFile, kSEErrorFutureVersion, kSEErrorDamagedFile}));
    EXPECT_EQ(b.replica.liveValues().size(), 2u);
    EXPECT_TRUE(b.pull().skipped.empty());
}

TEST_P(SyncEventLogTest, AFailedUploadIsSentWithTheNextPublish) {
    Computer a(t, cloud.path(), "A", GetParam()), b(t, cloud.path(), "B", GetParam());
    writeFile(cloud / "events", "a file where the folder belongs");
    EXPECT_FALSE(a.publish(setNote("T1", "kept")).ok());
    EXPECT_EQ(a.log->pendingUploads(), 1u);
    fs::remove(cloud / "events");
    ASSERT_TRUE(a.publish(setNote("T2", "later")).ok());
    EXPECT_EQ(a.log->pendingUploads(), 0u);
    EXPECT_EQ(b.pull().applied, 2u);
    EXPECT_EQ(a.replica.records(), b.replica.records());
}

TEST(SyncEventLogZipped, ADamagedArchiveIsReportedOnceAndHoldsBackNoOtherFile) {
    testing::CloudTestLoop t;
    TemporaryDirectory cloud;
    Computer a(t, cloud.path(), "A", true), b(t, cloud.path(), "B", true);
    ASSERT_TRUE(a.publish(setNote("T1", "one")).ok());
    ASSERT_TRUE(a.publish(setNote("T2", "two")).ok());
    // Sorted before every real event file, and not a zip archive at all.
    writeFile(cloud / "events" / "0-damaged.event.synczip", "PK broken");
    auto report = b.pull();
    EXPECT_EQ(report.applied, 2u);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].code, kSEErrorDamagedFile);
    EXPECT_TRUE(b.pull().skipped.empty());
}

INSTANTIATE_TEST_SUITE_P(PlainAndZipped, SyncEventLogTest, ::testing::Bool());

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>

#include "support/TestSupport.h"
#include "sync/SyncEventLog.h"
#include "sync/engine/SimulatedClouds.h"

namespace ravelong {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testing::TemporaryDirectory;
using testing::writeFile;

json setNote(const std::string& uuid, const std::string& note) {
    return json::array({{{"entity", "ZRCDTiming"}, {"uuid", uuid}, {"set", {{"note", note}}}}});
}

using sync_testing::BackEnd;
using sync_testing::SimulationCase;

struct EventLogCase {
    BackEnd backEnd;
    bool zipped;
    bool slow = false;  // the in-memory database answers each call after a delay
};

std::string caseName(const ::testing::TestParamInfo<EventLogCase>& info) {
    const char* names[] = {"Folder", "Dropbox", "CloudKit", "CloudKitWeb"};
    return std::string(info.param.slow ? "Slow" : "") +
           names[static_cast<int>(info.param.backEnd)] + (info.param.zipped ? "Zipped" : "Plain");
}

std::vector<EventLogCase> everyBackEnd() {
    std::vector<EventLogCase> cases;
    for (BackEnd b : {BackEnd::folder, BackEnd::dropbox, BackEnd::cloudKit, BackEnd::cloudKitWeb})
        for (bool zipped : {false, true})
            cases.push_back({b, zipped});
    cases.push_back({BackEnd::cloudKit, true, true});
    return cases;
}

// Two computers publishing to and pulling from one back-end, as the simulation's computers
// reach it: each through a client and cache of its own, cut off the way that back-end fails.
class EventLogTest : public ::testing::TestWithParam<EventLogCase> {
protected:
    EventLogTest() {
        clouds.databaseDelay = GetParam().slow ? 0.2 : 0;
        world.repliesFromOtherThreads |= GetParam().slow;
    }

    sync_testing::SyncTestWorld world;
    sync_testing::SimulatedClouds clouds{world,
                                         SimulationCase{GetParam().backEnd, GetParam().zipped}};

    struct Computer {
        Computer(EventLogTest& f, const std::string& id)
            : f(f), replica(id), cloud(f.world.makeCloud(f.world.loop, id)) {
            log = std::make_unique<SyncEventLog>(*cloud, replica, scratch.path());
            EXPECT_TRUE(run([&](auto done) { cloud->connect(done); }).ok());
        }
        // Runs an operation to its completion, which must not come inside the call.
        Status run(const std::function<void(SECloudFileSystem::Completion)>& start) {
            std::optional<Status> got;
            start([&](Status s) { got = s; });
            EXPECT_FALSE(got) << "completed inside the call";
            EXPECT_TRUE(f.world.runUntil([&] { return got.has_value(); })) << "no completion";
            return got.value_or(makeSEError(-99, "no completion"));
        }
        Status publish(const json& changes) {
            return run([&](auto done) { log->publish(changes, done); });
        }
        // What the controller does before each sync: prime the back-end if it can, then pull.
        SyncEventLog::PullReport pull() {
            if (cloud->respondsTo(SEOptionalOperation::primeForActivity)) {
                EXPECT_TRUE(
                    run([&](auto done) { cloud->primeForActivityWithCompletion(done); }).ok());
            }
            SyncEventLog::PullReport report;
            Status status = run([&](auto done) {
                log->pull([&, done](SyncEventLog::PullReport r, Status s) {
                    report = std::move(r);
                    done(s);
                });
            });
            EXPECT_TRUE(status.ok()) << (status.ok() ? "" : status.error().description);
            return report;
        }

        EventLogTest& f;
        TemporaryDirectory scratch;
        SyncReplica replica;
        std::unique_ptr<SECloudFileSystem> cloud;
        std::unique_ptr<SyncEventLog> log;
    };
};

TEST_P(EventLogTest, TwoComputersConverge) {
    Computer a(*this, "A"), b(*this, "B");
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

    if (GetParam().backEnd == BackEnd::cloudKit) {
        auto zone =
            clouds.container()->records("alice", SECloudKitFileSystem::zoneNameForSchema(2));
        EXPECT_TRUE(zone.contains("SEFileSystemNode_/events"));
        EXPECT_TRUE(zone.contains("SEFileSystemNode_/devices"));
        EXPECT_EQ(zone.size(), 3u + 3u + 2u)
            << "root, events and devices, one node per event, each computer's acknowledgement";
    }
    if (GetParam().backEnd == BackEnd::dropbox) {
        EXPECT_TRUE(clouds.dropboxServer()->folderExists(
            std::string(DropboxSyncBackend::kRootFolder) + "/events"));
    }
}

// An event whose upload failed stays pending and goes with the next publish.
TEST_P(EventLogTest, AnUnreachableBackEndLosesNoEvent) {
    Computer a(*this, "A"), b(*this, "B");
    clouds.setOnline("A", false);
    Status failed = a.publish(setNote("T1", "offline edit"));
    ASSERT_FALSE(failed.ok());
    if (GetParam().backEnd == BackEnd::cloudKit) {
        EXPECT_EQ(failed.error().domain, kCKErrorDomain);
        EXPECT_EQ(failed.error().code, CKErrorCode::networkUnavailable);
    }
    EXPECT_EQ(a.log->pendingUploads(), 1u);

    clouds.setOnline("A", true);
    ASSERT_TRUE(a.publish(setNote("T2", "back online")).ok());
    EXPECT_EQ(a.log->pendingUploads(), 0u);
    EXPECT_EQ(b.pull().applied, 2u);
    EXPECT_EQ(a.replica.records(), b.replica.records());
    const SyncReplica::RecordId t1{"ZRCDTiming", "T1"};
    EXPECT_EQ(b.replica.liveValues()[t1].at("note"), "offline edit");
}

INSTANTIATE_TEST_SUITE_P(BackEnds, EventLogTest, ::testing::ValuesIn(everyBackEnd()), caseName);

// Files in the shared folder that are no events of ours, or damaged ones, and a folder that
// cannot be written.
class FolderEventLogTest : public EventLogTest {};

TEST_P(FolderEventLogTest, UnusableFilesAreSkippedAndReportedOnceWhileTheRestApplies) {
    Computer a(*this, "A"), b(*this, "B");
    writeFile(world.cloudFolder / "events", "a file where the folder belongs");
    EXPECT_FALSE(a.publish(setNote("T1", "one")).ok());
    EXPECT_EQ(a.log->pendingUploads(), 1u);
    fs::remove(world.cloudFolder / "events");
    ASSERT_TRUE(a.publish(setNote("T2", "two")).ok());
    EXPECT_EQ(a.log->pendingUploads(), 0u);
    // A sync tool's conflict copy of an event file, and files that are no events of ours.
    fs::path events = world.cloudFolder / "events";
    std::string ext = GetParam().zipped ? ".synczip" : "";
    std::string first = sync_event_file::fileNameFor({1, "A"});
    fs::copy_file(events / (first + ext),
                  events / ("00000000000000000001-A.sync-conflict-20261207-1-XYZ.event" + ext));
    SyncEvent future{{9, "C"}, setNote("T3", "future")};
    auto futureBytes = sync_event_file::encode(future);
    futureBytes[8] = 2;
    writeFile(events / "foreign.event", "hello");
    writeFile(events / "future.event", futureBytes);
    writeFile(events / "truncated.event", sync_event_file::encode(future).substr(0, 30));
    // Zipped: sorted before every real event file, and not a zip archive at all.
    if (GetParam().zipped)
        writeFile(events / "0-damaged.event.synczip", "PK broken");

    auto report = b.pull();
    EXPECT_EQ(report.applied, 2u);
    EXPECT_EQ(report.skipped.size(), GetParam().zipped ? 4u : 3u);
    std::set<int> codes;
    for (const auto& e : report.skipped)
        codes.insert(e.code);
    EXPECT_EQ(codes,
              (std::set<int>{kSEErrorForeignFile, kSEErrorFutureVersion, kSEErrorDamagedFile}));
    EXPECT_EQ(b.replica.liveValues().size(), 2u);
    EXPECT_TRUE(b.pull().skipped.empty());
}

INSTANTIATE_TEST_SUITE_P(PlainAndZipped, FolderEventLogTest,
                         ::testing::Values(EventLogCase{BackEnd::folder, false},
                                           EventLogCase{BackEnd::folder, true}),
                         caseName);

}  // namespace
}  // namespace ravelong

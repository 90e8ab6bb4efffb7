// Compaction of the shared history into baselines, with computers joining later and one away.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "sync/SyncEventLog.h"
#include "sync/engine/SyncTestComputer.h"

namespace ravelong::sync_testing {
namespace {

namespace fs = std::filesystem;

class CompactionTest : public ::testing::Test {
protected:
    SyncTestWorld world;
    std::vector<std::string> events() const { return fileNamesIn(world.cloudFolder / "events"); }
    std::vector<std::string> baselines() const {
        return fileNamesIn(world.cloudFolder / "baselines");
    }

    CompactionTest() { world.compactionThreshold = 6; }

    // Some work on `computer`: a task with a timing each, merged after each.
    void work(SyncTestComputer& computer, int tasks) {
        for (int i = 0; i < tasks; ++i) {
            ZRCDTask* task = computer.addTask(computer.name() + " " + std::to_string(i));
            world.clock.advance(600);
            computer.addTiming(task, world.clock.now() - 500, world.clock.now());
            ASSERT_TRUE(computer.merge()->ok());
        }
    }

    void mergeRounds(std::vector<SyncTestComputer*> computers, int rounds = 3) {
        for (int round = 0; round < rounds; ++round) {
            for (SyncTestComputer* c : computers) {
                world.clock.advance(60);
                auto merged = c->merge();
                ASSERT_TRUE(merged.has_value()) << c->name();
                ASSERT_TRUE(merged->ok()) << c->name() << ": " << merged->error().description;
            }
        }
    }

    // Each computer's newest baseline holds all its older ones held.
    void expectOneBaselinePerWriter() {
        std::set<std::string> writers;
        for (const std::string& name : baselines()) {
            auto key = sync_event_file::keyOfFileName(name, SyncEventLog::kBaselineExtension);
            ASSERT_TRUE(key.has_value()) << name;
            EXPECT_TRUE(writers.insert(key->deviceId).second)
                << "two baselines of " << key->deviceId;
        }
    }
};

TEST_F(CompactionTest, FilesEveryComputerAppliedBecomeABaselineThatNewComputersStartFrom) {
    SyncTestComputer a(world, "a"), b(world, "b");
    work(a, 3);
    work(b, 3);
    mergeRounds({&a, &b});
    const std::vector<std::string> compacted = baselines();
    ASSERT_FALSE(compacted.empty());
    expectOneBaselinePerWriter();
    EXPECT_LT(events().size(), 12u) << "six timings and six tasks, each saved on its own";

    // A computer joining now has the files' work only through the baseline.
    SyncTestComputer c(world, "c");
    mergeRounds({&c, &a, &b});
    EXPECT_EQ(expectSameStores({&a, &b, &c}).timings.size(), 6u);

    // A later compaction by the same computer replaces its older baseline.
    work(a, 4);
    work(c, 4);
    mergeRounds({&a, &b, &c});
    expectOneBaselinePerWriter();
    EXPECT_NE(baselines(), compacted);
    SyncTestComputer d(world, "d");
    mergeRounds({&d, &a, &b, &c});
    EXPECT_EQ(expectSameStores({&a, &b, &c, &d}).timings.size(), 14u);
}

TEST_F(CompactionTest, AComputerAwayHoldsBackOnlyWhatItHasNotAppliedAndCatchesUpAfter) {
    SyncTestComputer a(world, "a"), b(world, "b"), c(world, "c");
    work(a, 2);
    mergeRounds({&a, &b, &c});
    // c goes away; a and b go on well past the threshold.
    c.cloud().online = false;
    work(a, 5);
    work(b, 5);
    mergeRounds({&a, &b});
    // What c had not applied is still there as files (a's and b's twenty saves).
    std::size_t filesWhileAway = events().size();
    EXPECT_GE(filesWhileAway, 20u) << "files c had not applied were removed";
    // A computer joining meanwhile gets everything.
    SyncTestComputer d(world, "d");
    mergeRounds({&d, &a, &b});
    // c comes back, after a restart even, and catches up; then the history can be compacted.
    c.crash();
    c.start();
    c.cloud().online = true;
    mergeRounds({&c, &a, &b, &d}, 4);
    EXPECT_EQ(expectSameStores({&a, &b, &c, &d}).timings.size(), 12u);
    EXPECT_FALSE(baselines().empty());
    EXPECT_LT(events().size(), filesWhileAway) << "nothing was compacted once c was back";
}

TEST_F(CompactionTest, ADamagedBaselineIsSkippedAndReportedNotTakenInHalf) {
    SyncTestComputer a(world, "a");
    work(a, 4);
    ASSERT_EQ(baselines().size(), 1u);
    const fs::path baseline = world.cloudFolder / "baselines" / baselines().front();
    std::string bytes = testing::readFile(baseline);
    ASSERT_GT(bytes.size(), 40u);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x10);
    testing::writeFile(baseline, bytes);
    SyncTestComputer c(world, "c");
    auto merged = c.merge();
    ASSERT_TRUE(merged.has_value() && merged->ok());
    ASSERT_EQ(c.engine().lastSkipped().size(), 1u);
    EXPECT_NE(c.engine().lastSkipped()[0].description.find(baselines().front()), std::string::npos);
    // What only the baseline held is not there; what files still hold is.
    EXPECT_LT(StoreSnapshot::of(c.context()).timings.size(), 4u);
}

}  // namespace
}  // namespace ravelong::sync_testing

#include <gtest/gtest.h>

#include "sync/LocalFolderCloudFileSystem.h"
#include "sync/SyncDriverFixture.h"

namespace ravelong {
namespace {

namespace t = sync_texts;

class SyncDelegateTest : public testing::SyncDriverFixture {
protected:
    std::vector<std::int32_t> indicator;
    int clockAlerts = 0;

    std::unique_ptr<ZRPersistentStoreSyncDelegate> make(SyncService service,
                                                        std::filesystem::path root,
                                                        SyncAlerts* alerts = nullptr) {
        auto s = services();
        s.setSyncState = [this](std::int32_t state, bool) { indicator.push_back(state); };
        s.showSystemTimesNotSynchronousAlert = [this] { ++clockAlerts; };
        s.alerts = alerts;
        return std::make_unique<ZRPersistentStoreSyncDelegate>(
            s, service, std::make_unique<LocalFolderCloudFileSystem>(t.loop, root), merger);
    }
};

TEST_F(SyncDelegateTest, AMergePublishesItsStateAndTheLastSyncTime) {
    auto sync = make(SyncService::folder, folder.path());
    EXPECT_EQ(state(), 500);
    ASSERT_TRUE(sync->readyToSync());
    sync->forceSyncWithMergeOptions(32);
    EXPECT_FALSE(sync->readyToSync());
    EXPECT_EQ(state(), 502);
    EXPECT_TRUE(ConnectionState{state()}.isBusy());
    EXPECT_EQ(merger.optionsSeen, std::vector<std::uint64_t>{32});
    t.clock.set(2000.0);
    merger.finish();
    EXPECT_EQ(state(), 500);
    EXPECT_EQ(group.dateForKey(t::kZRLastSync), 2000.0);
    EXPECT_EQ(indicator, (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(posted, (std::vector<std::string>{std::string(t::kZRSyncActivityDidBegin),
                                                std::string(t::kZRSyncActivityDidEnd)}));
    ASSERT_EQ(endErrors.size(), 1u);
    EXPECT_FALSE(endErrors[0].has_value());
}

TEST_F(SyncDelegateTest, FailedMergesReportTheirErrorAndKeepTheLastSyncTime) {
    auto sync = make(SyncService::folder, folder.path());
    sync->forceSyncWithMergeOptions(32);
    merger.finish(makeSEError(kSEErrorNoConnection, "gone"));
    EXPECT_EQ(state(), 504);
    EXPECT_TRUE(sync->previousMergeEndedWithError());
    EXPECT_EQ(group.dateForKey(t::kZRLastSync, -1.0), -1.0);
    ASSERT_EQ(endErrors.size(), 1u);
    EXPECT_EQ(endErrors[0]->code, kSEErrorNoConnection);

    sync->forceSyncWithMergeOptions(32);
    merger.finish(makeSEError(kSEErrorDamagedFile, "bad"));
    EXPECT_EQ(state(), 500);
}

TEST_F(SyncDelegateTest, RequestsDuringAMergeRunOnceAfterIt) {
    auto sync = make(SyncService::folder, folder.path());
    sync->forceSyncWithMergeOptions(32);
    sync->forceSyncWithMergeOptions(32);
    sync->forceSyncWithMergeOptions(32);
    EXPECT_EQ(merger.pending.size(), 1u);
    merger.finish();
    EXPECT_EQ(merger.pending.size(), 1u);
    EXPECT_EQ(sync->activeMergeCount(), 1u);
    merger.finish();
    EXPECT_EQ(merger.optionsSeen.size(), 2u);
    EXPECT_EQ(sync->activeMergeCount(), 0u);
}

TEST_F(SyncDelegateTest, QuitWaitsForTheRunningMergeOnly) {
    auto sync = make(SyncService::folder, folder.path());
    int finished = 0;
    sync->waitForTerminatingMerge([&] { ++finished; });
    EXPECT_EQ(finished, 1);
    sync->forceSyncWithMergeOptions(32);
    sync->forceSyncWithMergeOptions(32);  // queued, dropped by the quit
    sync->waitForTerminatingMerge([&] { ++finished; });
    EXPECT_EQ(finished, 1);
    merger.finish();
    EXPECT_EQ(finished, 2);
    EXPECT_TRUE(merger.pending.empty());
}

TEST_F(SyncDelegateTest, NoServiceOrAnUnreachableFolderIsNotReady) {
    auto none = make(SyncService::none, folder.path());
    EXPECT_EQ(standard.integerForKey(t::kZRConnectionState), 0);
    EXPECT_FALSE(none->readyToSync());
    none->forceSyncWithMergeOptions(32);
    EXPECT_TRUE(merger.pending.empty());
    auto unmounted = make(SyncService::folder, folder / "unmounted");
    EXPECT_FALSE(unmounted->readyToSync());
}

TEST_F(SyncDelegateTest, ABackEndThatNeedsTheNetworkWaitsForItAndSyncsWhenItIsBack) {
    auto sync = make(SyncService::folder, folder.path());
    sync->setNetworkReachable(false);
    EXPECT_EQ(state(), 504);
    EXPECT_FALSE(sync->readyToSync());
    sync->setNetworkReachable(false);  // told twice: nothing more
    EXPECT_EQ(state(), 504);
    sync->setNetworkReachable(true);
    EXPECT_EQ(state(), 502);  // the merge that waited runs at once
    ASSERT_EQ(merger.optionsSeen, std::vector<std::uint64_t>{32});
    merger.finish();
    EXPECT_EQ(state(), 500);

    // Offline during a merge: the merge's end shows the outage, whatever its error.
    sync->forceSyncWithMergeOptions(32);
    sync->setNetworkReachable(false);
    EXPECT_EQ(state(), 502);
    merger.finish(makeSEError(kSEErrorDamagedFile, "bad"));
    EXPECT_EQ(state(), 504);
    sync->setNetworkReachable(true);
    EXPECT_EQ(merger.optionsSeen.size(), 3u);
}

TEST_F(SyncDelegateTest, AFailedMergeIsTriedAgainAFewTimesUnlessItCannotWorkAtAll) {
    using D = ZRPersistentStoreSyncDelegate;
    auto sync = make(SyncService::folder, folder.path());
    sync->forceSyncWithMergeOptions(32);
    for (int attempt = 1; attempt <= D::kMaxRetries; ++attempt) {
        SCOPED_TRACE(attempt);
        merger.finish(makeSEError(kSEErrorDamagedFile, "a file the sync tool was writing"));
        t.loop.advance(D::kRetrySeconds - 0.5);
        EXPECT_TRUE(merger.pending.empty());
        t.loop.advance(1.0);
        ASSERT_EQ(merger.pending.size(), 1u);
    }
    merger.finish(makeSEError(kSEErrorDamagedFile, "still"));
    t.loop.advance(D::kRetrySeconds * 10);
    EXPECT_TRUE(merger.pending.empty());  // given up until the next request
    EXPECT_EQ(merger.optionsSeen.size(), 1u + D::kMaxRetries);

    // A success starts the count again.
    sync->forceSyncWithMergeOptions(32);
    merger.finish();
    EXPECT_EQ(sync->retryCount(), 0);

    // Nothing to retry for: no engine, or the network (which has its own wait).
    for (int code : {kSEErrorUnsupported, kSEErrorNoConnection}) {
        const std::size_t before = merger.optionsSeen.size();
        sync->forceSyncWithMergeOptions(32);
        merger.finish(makeSEError(code, "no"));
        t.loop.advance(D::kRetrySeconds * 2);
        EXPECT_EQ(merger.optionsSeen.size(), before + 1) << code;
    }

    // Quitting drops a retry that waits.
    sync->forceSyncWithMergeOptions(32);
    merger.finish(makeSEError(kSEErrorDamagedFile, "bad"));
    sync->waitForTerminatingMerge([] {});
    t.loop.advance(D::kRetrySeconds * 2);
    EXPECT_TRUE(merger.pending.empty());
}

TEST_F(SyncDelegateTest, ClocksThatDisagreeWarnAtMostOnceADay) {
    auto sync = make(SyncService::folder, folder.path());
    t.clock.set(800'000'000.0);
    sync->checkRemoteTime(800'000'000.0 + 119);
    EXPECT_EQ(clockAlerts, 0);
    sync->checkRemoteTime(800'000'000.0 - 121);
    EXPECT_EQ(clockAlerts, 1);
    sync->checkRemoteTime(800'000'000.0 + 500);
    EXPECT_EQ(clockAlerts, 1);
    t.clock.set(800'000'000.0 + 86401);
    sync->checkRemoteTime(0);
    EXPECT_EQ(clockAlerts, 2);
}

// The engine reports a remote time through the hook the driver installs.
TEST_F(SyncDelegateTest, TheEnginesRemoteTimesReachTheClockCheck) {
    auto sync = make(SyncService::folder, folder.path());
    ASSERT_TRUE(merger.remoteTimeObserver);
    t.clock.set(800'000'000.0);
    merger.remoteTimeObserver(800'000'000.0 + 60);
    EXPECT_EQ(clockAlerts, 0);
    merger.remoteTimeObserver(800'000'000.0 + 600);
    EXPECT_EQ(clockAlerts, 1);
    sync.reset();
    merger.remoteTimeObserver(800'000'000.0 + 600 + 86401);  // the driver is gone: nothing
    EXPECT_EQ(clockAlerts, 1);
}

class CountingAlerts final : public SyncAlerts {
public:
    std::vector<ConflictAnswer> script;
    std::vector<std::string> asked;
    ConflictAnswer askMergeConflict(const std::string& message) override {
        asked.push_back(message);
        return asked.size() <= script.size() ? script[asked.size() - 1] : ConflictAnswer{};
    }
    int askCloudDataAvailable() override { return kCloudDataOther; }
    int askReleech() override { return kReleechLater; }
    void showAlert(const std::string&, const std::string&) override {}
};

TEST_F(SyncDelegateTest, AnAnswerForAllConflictsHoldsForTheRestOfItsMergeOnly) {
    CountingAlerts alerts;
    alerts.script = {{SyncAlerts::kUseCloud, false},
                     {SyncAlerts::kUseLocal, true},
                     {SyncAlerts::kUseCloud, false}};
    EXPECT_FALSE(merger.conflictQuestion) << "no question before a driver";
    auto sync = make(SyncService::folder, folder.path(), &alerts);
    ASSERT_TRUE(merger.conflictQuestion);

    sync->forceSyncWithMergeOptions(32);
    struct Step {
        const char* message;
        int code;
        bool forAll;
        std::size_t askedSoFar;
    } steps[] = {
        {"first", SyncAlerts::kUseCloud, false, 1},
        {"second", SyncAlerts::kUseLocal, true, 2},
        {"third", SyncAlerts::kUseLocal, true, 2},  // answered for all: not shown
    };
    for (const Step& step : steps) {
        auto answer = merger.conflictQuestion(step.message);
        EXPECT_EQ(answer.code, step.code) << step.message;
        EXPECT_EQ(answer.applyToAll, step.forAll) << step.message;
        EXPECT_EQ(alerts.asked.size(), step.askedSoFar) << step.message;
    }
    merger.finish();
    // The next merge asks again.
    sync->forceSyncWithMergeOptions(32);
    EXPECT_EQ(merger.conflictQuestion("fourth").code, SyncAlerts::kUseCloud);
    EXPECT_EQ(alerts.asked, (std::vector<std::string>{"first", "second", "fourth"}));
    merger.finish();
}

}  // namespace
}  // namespace ravelong

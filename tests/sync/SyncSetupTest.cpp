#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "sync/LocalFolderCloudFileSystem.h"
#include "sync/SyncDriverFixture.h"
#include "sync/SyncSetup.h"

namespace ravelong {
namespace {

namespace t = sync_texts;
namespace fs = std::filesystem;

class SyncSetupTest : public testing::SyncDriverFixture {
protected:
    // The back-ends the factory was asked for a merger, by folder.
    std::vector<fs::path> mergersMadeFor;
    bool withEngine = true;
    bool networkFolders = false;

    std::unique_ptr<SyncSetup> make() {
        return std::make_unique<SyncSetup>(SyncSetup::Services{
            services(),
            [this](SECloudFileSystem& cloud) -> std::unique_ptr<SyncMerger> {
                mergersMadeFor.push_back(dynamic_cast<LocalFolderCloudFileSystem&>(cloud).root());
                if (!withEngine)
                    return nullptr;
                return merger.makeHandle();
            },
            [this](const fs::path&) { return networkFolders; }});
    }
    void storeChoice(std::int64_t stateValue, const std::optional<fs::path>& chosen) {
        standard.setInteger(t::kZRConnectionState, stateValue);
        if (chosen)
            standard.setString(t::kRavelongSyncFolder, chosen->string());
    }
    Status choose(SyncSetup& setup, const fs::path& chosen) {
        std::optional<Status> result;
        setup.chooseFolder(chosen, [&](Status s) { result = s; });
        EXPECT_FALSE(result.has_value()) << "answered inside the call";
        t.loop.runPending();
        EXPECT_TRUE(result.has_value());
        return result.value_or(Status());
    }
};

TEST_F(SyncSetupTest, LaunchMakesTheDriverForTheStoredChoiceAndClearsWhatACrashLeft) {
    struct Case {
        const char* what;
        std::int64_t stored;
        std::optional<std::string> folderName;  // inside the test folder; "" is the folder
        bool folderExists;
        std::int64_t expectedState;
        bool driver, folderKept;
    } cases[] = {
        {"nothing chosen", 0, std::nullopt, true, 0, false, false},
        {"a synced folder", 500, "", true, 500, true, true},
        {"a merge cut short", 502, "", true, 500, true, true},
        {"a folder not mounted now", 500, "gone", false, 504, true, true},
        {"a disconnection cut short", 2, "", true, 0, false, false},
        {"the folder service without a folder", 500, std::nullopt, true, 0, false, false},
        {"a service this build does not offer", 201, std::nullopt, true, 0, false, false},
        {"a relative folder", 500, "relative", true, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& key : standard.keys())
            standard.remove(key);
        std::optional<fs::path> chosen;
        if (c.folderName)
            chosen =
                *c.folderName == "relative" ? fs::path("relative/folder") : folder / *c.folderName;
        storeChoice(c.stored, chosen);
        auto setup = make();
        setup->start();
        EXPECT_EQ(state(), c.expectedState);
        EXPECT_EQ(setup->driver() != nullptr, c.driver);
        EXPECT_EQ(standard.exists(t::kRavelongSyncFolder), c.folderKept);
        EXPECT_EQ(setup->readyToSync(), c.driver && c.folderExists);
        // Launch itself merges nothing.
        EXPECT_TRUE(merger.pending.empty());
    }
}

TEST_F(SyncSetupTest, ChoosingAFolderConnectsStoresTheChoiceAndMergesAtOnce) {
    auto setup = make();
    setup->start();
    std::optional<Status> result;
    setup->chooseFolder(folder / "", [&](Status s) { result = s; });
    EXPECT_EQ(state(), 502);  // connecting
    EXPECT_TRUE(setup->isConnecting());
    t.loop.runPending();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->ok());
    EXPECT_EQ(standard.stringForKey(t::kRavelongSyncFolder), folder.path().string());
    EXPECT_EQ(setup->service(), SyncService::folder);
    EXPECT_EQ(state(), 502);  // the first merge runs
    EXPECT_EQ(merger.optionsSeen, std::vector<std::uint64_t>{32});
    EXPECT_EQ(mergersMadeFor, std::vector<fs::path>{folder.path()});
    // The choice is on disk before anything else happens.
    UserDefaults reread{settings / "standard.json"};
    EXPECT_EQ(reread.stringForKey(t::kRavelongSyncFolder), folder.path().string());
    t.clock.set(5000.0);
    merger.finish();
    EXPECT_EQ(state(), 500);
    EXPECT_EQ(group.dateForKey(t::kZRLastSync), 5000.0);
}

TEST_F(SyncSetupTest, AFolderThatCannotBeUsedIsRefusedAndChangesNothing) {
    fs::path file = folder / "a file";
    std::ofstream(file) << "x";
    fs::path readOnly = folder / "read-only";
    fs::create_directory(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        const char* what;
        fs::path path;
        int code;
    } cases[] = {
        {"relative", "Documents/sync", kSEErrorInvalidPath},  {"empty", "", kSEErrorInvalidPath},
        {"missing", folder / "missing", kSEErrorNoDirectory}, {"a file", file, kSEErrorNoDirectory},
        {"read-only", readOnly, kSEErrorAuthorization},
    };
    auto setup = make();
    setup->start();
    ASSERT_TRUE(choose(*setup, folder / "").ok());
    merger.finish();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.code == kSEErrorAuthorization && ::geteuid() == 0)
            continue;  // root writes anywhere
        Status refused = choose(*setup, c.path);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().code, c.code);
        EXPECT_FALSE(refused.error().description.empty());
        // The folder chosen before stays, connected and idle.
        EXPECT_EQ(standard.stringForKey(t::kRavelongSyncFolder), folder.path().string());
        EXPECT_EQ(state(), 500);
        EXPECT_EQ(merger.optionsSeen.size(), 1u);
    }
    fs::permissions(readOnly, fs::perms::owner_all);
}

TEST_F(SyncSetupTest, AnotherFolderReplacesTheFirstAfterItsRunningMerge) {
    testing::TemporaryDirectory second;
    auto setup = make();
    setup->start();
    ASSERT_TRUE(choose(*setup, folder.path()).ok());
    ASSERT_TRUE(merger.running());
    std::optional<Status> result;
    setup->chooseFolder(second.path(), [&](Status s) { result = s; });
    t.loop.runPending();
    EXPECT_EQ(state(), 2);  // disconnecting while the merge finishes
    EXPECT_FALSE(result.has_value());
    merger.finish();
    t.loop.runPending();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->ok());
    EXPECT_EQ(standard.stringForKey(t::kRavelongSyncFolder), second.path().string());
    EXPECT_EQ(mergersMadeFor, (std::vector<fs::path>{folder.path(), second.path()}));
    EXPECT_EQ(merger.pending.size(), 1u);  // the first merge with the new folder
}

TEST_F(SyncSetupTest, DisconnectingWaitsForTheRunningMergeThenForgetsTheFolder) {
    auto setup = make();
    setup->start();
    ASSERT_TRUE(choose(*setup, folder.path()).ok());
    bool done = false;
    setup->disconnect([&] { done = true; });
    EXPECT_EQ(state(), 2);
    t.loop.runPending();
    EXPECT_FALSE(done);
    merger.finish();
    t.loop.runPending();
    EXPECT_TRUE(done);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(setup->driver(), nullptr);
    EXPECT_FALSE(standard.exists(t::kRavelongSyncFolder));
    EXPECT_FALSE(setup->readyToSync());
    setup->forceSyncWithMergeOptions(32);
    EXPECT_TRUE(merger.pending.empty());
}

TEST_F(SyncSetupTest, SavesAreSyncedOnceAfterAShortDelay) {
    storeChoice(500, folder.path());
    auto setup = make();
    setup->start();
    setup->localChangesSaved();
    t.loop.advance(SyncSetup::kSaveSyncDelay / 2);
    setup->localChangesSaved();
    setup->localChangesSaved();
    EXPECT_TRUE(merger.pending.empty());
    t.loop.advance(SyncSetup::kSaveSyncDelay / 2 + 0.01);
    EXPECT_EQ(merger.optionsSeen, std::vector<std::uint64_t>{32});
    merger.finish();
    // The later saves of the burst went with that merge.
    t.loop.advance(SyncSetup::kSaveSyncDelay * 2);
    EXPECT_EQ(merger.optionsSeen.size(), 1u);

    // A save while a merge runs (the user's or the merge's own) is synced after it.
    setup->forceSyncWithMergeOptions(32);
    setup->localChangesSaved();
    t.loop.advance(SyncSetup::kSaveSyncDelay + 1);
    EXPECT_EQ(merger.pending.size(), 1u);
    merger.finish();
    EXPECT_EQ(merger.optionsSeen.size(), 3u);
    merger.finish();
    t.loop.advance(SyncSetup::kSaveSyncDelay * 10);
    EXPECT_EQ(merger.optionsSeen.size(), 3u);  // nothing more without saves
}

TEST_F(SyncSetupTest, OnlyAFolderOnANetworkShareWaitsForTheNetwork) {
    for (bool onShare : {false, true}) {
        SCOPED_TRACE(onShare ? "network share" : "local disk");
        networkFolders = onShare;
        merger.pending.clear();
        merger.optionsSeen.clear();
        storeChoice(500, folder.path());
        auto setup = make();
        setup->start();
        setup->setNetworkReachable(false);
        EXPECT_EQ(state(), onShare ? 504 : 500);
        EXPECT_EQ(setup->readyToSync(), !onShare);
        setup->localChangesSaved();
        t.loop.advance(SyncSetup::kSaveSyncDelay + 1);
        EXPECT_EQ(merger.optionsSeen.size(), onShare ? 0u : 1u);
        merger.finish();
        setup->setNetworkReachable(true);
        EXPECT_EQ(merger.optionsSeen.size(), 1u);  // what waited runs when the network is back
        merger.finish();
        EXPECT_EQ(state(), 500);
        setup->setNetworkReachable(true);
    }
}

TEST_F(SyncSetupTest, NetworkStateToldBeforeAFolderIsChosenHoldsForIt) {
    networkFolders = true;
    auto setup = make();
    setup->start();
    setup->setNetworkReachable(false);
    ASSERT_TRUE(choose(*setup, folder.path()).ok());
    // The first merge was asked for by the choice and runs (it will fail if the share is away).
    ASSERT_TRUE(merger.finish(makeSEError(kSEErrorNoConnection, "share away")));
    EXPECT_EQ(state(), 504);
    EXPECT_FALSE(setup->readyToSync());
}

TEST_F(SyncSetupTest, QuitWaitsForTheRunningMergeAndStartsNoOther) {
    storeChoice(500, folder.path());
    auto setup = make();
    setup->start();
    setup->forceSyncWithMergeOptions(32);
    setup->localChangesSaved();
    int finished = 0;
    setup->waitForTerminatingMerge([&] { ++finished; });
    EXPECT_EQ(finished, 0);
    merger.finish();
    EXPECT_EQ(finished, 1);
    t.loop.advance(SyncSetup::kSaveSyncDelay * 2);
    setup->forceSyncWithMergeOptions(32);
    setup->localChangesSaved();
    t.loop.advance(SyncSetup::kSaveSyncDelay * 2);
    EXPECT_FALSE(setup->readyToSync());
    EXPECT_EQ(merger.optionsSeen.size(), 1u);

    auto idle = make();
    int idleFinished = 0;
    idle->waitForTerminatingMerge([&] { ++idleFinished; });
    EXPECT_EQ(idleFinished, 1);
}

TEST_F(SyncSetupTest, WithoutAnEngineAMergeSaysSoAndNothingClaimsASync) {
    withEngine = false;
    storeChoice(500, folder.path());
    auto setup = make();
    setup->start();
    ASSERT_TRUE(setup->readyToSync());
    setup->forceSyncWithMergeOptions(32);
    t.loop.runPending();
    ASSERT_EQ(endErrors.size(), 1u);
    ASSERT_TRUE(endErrors[0].has_value());
    EXPECT_EQ(endErrors[0]->code, kSEErrorUnsupported);
    EXPECT_EQ(endErrors[0]->description, t::kNoSyncEngine);
    EXPECT_FALSE(group.exists(t::kZRLastSync));
    EXPECT_EQ(state(), 500);
    EXPECT_TRUE(setup->driver()->previousMergeEndedWithError());
}

}  // namespace
}  // namespace ravelong

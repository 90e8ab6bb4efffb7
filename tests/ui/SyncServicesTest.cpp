#include <gtest/gtest.h>

#include "app/SavePathTexts.h"
#include "sync/SyncTexts.h"
#include "ui/FinishingSyncWindow.h"
#include "ui/QtText.h"
#include "ui/SyncAlertWindow.h"
#include "ui/SyncServices.h"
#include "ui/SyncTestWorld.h"

namespace ravelong {
namespace {

namespace t = sync_texts;

class SyncServicesTest : public ::testing::Test, protected testing::SyncTestWorld {
protected:
    std::vector<std::pair<std::int32_t, bool>> indicator;
    int windowsClosed = 0;
    std::unique_ptr<SyncServices> sync;

    void SetUp() override {
        standard.setInteger(t::kZRConnectionState, 500);
        standard.setString(t::kRavelongSyncFolder, folder.path().string());
        sync = std::make_unique<SyncServices>(SyncServices::Options{
            [this](std::int32_t state, bool animate) { indicator.emplace_back(state, animate); },
            loop, clock, notifications, standard, group,
            [this](SECloudFileSystem&) { return merger.makeHandle(); }, [this] { ++windowsClosed; },
            false});
        sync->start();
    }
};

TEST_F(SyncServicesTest, QuitWaitsForTheRunningMergeBehindTheFinishingWindow) {
    sync->setup().forceSyncWithMergeOptions(32);
    int finished = 0;
    sync->waitForTerminatingMerge([&] { ++finished; });
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(windowsClosed, 1);
    FinishingSyncWindow* window = sync->finishingWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->label(), qt(t::kSynchronizing));
    EXPECT_TRUE(window->isIndeterminate());
    notifications.post(
        std::string(t::kSEPersistentStoreSyncDidMakeProgressWithActivityNotification), nullptr,
        {{std::string(t::kSESyncActivityKey), 300},
         {std::string(t::kSEProgressFractionKey), 0.75}});
    EXPECT_DOUBLE_EQ(window->barValue(), 0.75);

    // A save meanwhile starts nothing new.
    notifications.post(std::string(kRavelongChangesSaved));
    merger.finish();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(sync->finishingWindow(), nullptr);
    loop.advance(60);
    EXPECT_EQ(merger.optionsSeen.size(), 1u);
    // The indicator spun for the merge and stopped.
    EXPECT_EQ(indicator, (std::vector<std::pair<std::int32_t, bool>>{{1, true}, {0, true}}));
}

TEST_F(SyncServicesTest, QuitWithoutARunningMergeGoesOnAtOnceWithoutAWindow) {
    int finished = 0;
    sync->waitForTerminatingMerge([&] { ++finished; });
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(windowsClosed, 0);
    EXPECT_EQ(sync->finishingWindow(), nullptr);
}

TEST_F(SyncServicesTest, ASaveIsSyncedShortlyAfterAndALocalFolderIgnoresTheNetwork) {
    notifications.post(std::string(kRavelongChangesSaved));
    EXPECT_TRUE(merger.pending.empty());
    loop.advance(SyncSetup::kSaveSyncDelay + 0.5);
    ASSERT_EQ(merger.optionsSeen.size(), 1u);
    merger.finish();
    // The folder is on a local disk: the network going away changes nothing.
    sync->networkReachabilityChanged(false);
    EXPECT_EQ(standard.integerForKey(t::kZRConnectionState), 500);
    EXPECT_TRUE(sync->setup().readyToSync());
}

TEST_F(SyncServicesTest, TheClockWarningShowsOnceAndCanBeClosed) {
    sync->showSystemTimesNotSynchronousAlert();
    SyncAlertWindow* window = sync->clockWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->message(), qt(t::kClocksMessage));
    sync->showSystemTimesNotSynchronousAlert();
    EXPECT_EQ(sync->clockWindow(), window);  // the same window, not a second one
    sync->closeSynchronousAlertWindow();
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace ravelong

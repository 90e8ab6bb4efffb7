#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "app/AppDelegate.h"
#include "app/AppSavePath.h"
#include "app/AppStrings.h"
#include "app/CalendarIdentifier.h"
#include "app/SavePathTexts.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/totals/TotalsTexts.h"
#include "store/PersistentStore.h"
#include "store/StoreError.h"
#include "support/VirtualMainLoop.h"
#include "tests/app/LaunchHarness.h"

namespace ravelong {
namespace {

using app_testing::AppEnvironment;
using app_testing::ImmediateTermination;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Not;

std::string name(std::string_view text) {
    return std::string(text);
}

// A delegate launched on a store in a temporary folder, with two saved tasks ("Writing" above
// "Reading" in the panel). Each test starts with nothing posted and no shell calls recorded.
class SavePath : public ::testing::Test, protected app_testing::LaunchHarness {
protected:
    SavePath() {
        storeSave = [this](ManagedObjectContext& context) -> Status {
            if (failWith)
                return *failWith;
            return context.save();
        };
        if (!launch())
            throw std::runtime_error("the launch did not finish");
        reading = addTask("Reading");
        writing = addTask("Writing");
        clearRecords();
    }

    bool save() { return delegate->saveContext(context()); }
    const std::vector<std::string>& posted() const { return env.posted(); }
    void clearRecords() {
        env.clearPosted();
        shell.calls.clear();
    }

    ZRCDTask* reading = nullptr;
    ZRCDTask* writing = nullptr;
    std::optional<Error> failWith;  // what the store answers to the next saves
};

TEST_F(SavePath, ARenamedTaskPostsTheNameChangeAndReloadsItsRow) {
    reading->setTaskName("Reading papers");
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), ElementsAre(name(kZRTaskNameDidChange)));
    EXPECT_THAT(shell.calls, ElementsAre("reloadPanelRows 1"));
}

TEST_F(SavePath, StartingAndStoppingATimerTellsTheTrayItemAndTheTicking) {
    ZRTimerControllerOSX& timer = *delegate->timerController();
    ASSERT_TRUE(timer.toggleTask(writing, true));
    EXPECT_EQ(shell.count("setRunningTimings 1"), 1);
    EXPECT_EQ(shell.count("runningStateChangedForTasks 1"), 1);
    EXPECT_TRUE(timer.isTimerRunning());
    EXPECT_THAT(posted(), IsSupersetOf({name(kMenuBarNeedsToReloadTotalTime),
                                        name(kZRRedrawDatePicker), name(kZRRedrawDataDisplay)}));

    loop.advance(600);
    clearRecords();
    ASSERT_TRUE(timer.toggleTask(writing, true));
    EXPECT_EQ(shell.count("setRunningTimings 0"), 1);
    EXPECT_FALSE(timer.isTimerRunning());
    EXPECT_THAT(posted(), Contains(name(kMenuBarNeedsToReloadTotalTime)));
}

TEST_F(SavePath, TheTrayItemGetsTheMostRecentlyStartedTimingFirst) {
    ASSERT_TRUE(ZRCDPreferences::setAllowMultipleTimersTo(true, context()));
    ZRTimerControllerOSX& timer = *delegate->timerController();
    ASSERT_TRUE(timer.toggleTask(reading, true));
    loop.advance(30);
    ASSERT_TRUE(timer.toggleTask(writing, true));
    ASSERT_EQ(shell.runningTimings.size(), 2u);
    EXPECT_EQ(shell.runningTimings[0]->task(), writing);
    EXPECT_EQ(shell.runningTimings[1]->task(), reading);
}

TEST_F(SavePath, ANoteReloadsTheNotesOnlyAndADeletedTimingPostsItsDeletionAndTheNewTotals) {
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate(
        AppEnvironment::kNow - 3600, AppEnvironment::kNow, reading, std::nullopt, 0, std::nullopt,
        context());
    ASSERT_TRUE(save());
    clearRecords();

    timing->setNote("Chapter 3");
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), ElementsAre(name(kZRReloadTimingNotes)));

    clearRecords();
    ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context());
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(),
                IsSupersetOf({name(kZRTimingDeleted), name(kMenuBarNeedsToReloadTotalTime),
                              name(kZRRedrawDataDisplay)}));
    EXPECT_THAT(shell.calls, Contains("reloadPanelRows 1"));
}

TEST_F(SavePath, AColourAloneIsPostedAsAColourChange) {
    writing->setTaskColorTo(TaskColor{0.9, 0.1, 0.1, 1.0});
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(),
                ElementsAre(name(kZRRedrawDatePicker), name(kZRTaskColorChangedNotification)));

    // With the statistics redrawn anyway, the colour needs no notification of its own.
    clearRecords();
    writing->setTaskColorTo(TaskColor{0.1, 0.9, 0.1, 1.0});
    writing->setTaskIsSelected(!writing->taskIsSelected());
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), Contains(name(kZRRedrawDataDisplay)));
    EXPECT_THAT(posted(), Not(Contains(name(kZRTaskColorChangedNotification))));
}

TEST_F(SavePath, RoundingRulesRedrawTheStatisticsAndSwitchRoundingOnAndOff) {
    reading->setRounding(115);
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), IsSupersetOf({name(kZRRoundingModified), name(kZRRedrawDataDisplay)}));
    EXPECT_TRUE(delegate->roundingEnabled());

    clearRecords();
    reading->setRounding(-1);
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), Contains(name(kZRRoundingModified)));
    EXPECT_FALSE(delegate->roundingEnabled());
}

TEST_F(SavePath, AnUnrelatedSavePostsNothingButEverySaveThatWritesIsAnnouncedOnceForSync) {
    ZRCDOrigin* origin = *reading->origins().begin();
    origin->setDevice("Difference Engine");
    ASSERT_TRUE(save());
    EXPECT_EQ(env.savesPosted(), 1);
    ASSERT_TRUE(save());  // nothing left to save
    EXPECT_EQ(env.savesPosted(), 1);
    EXPECT_THAT(posted(), IsEmpty());
    EXPECT_THAT(shell.calls, IsEmpty());
    delegate->disableAutomaticUIUpdate();  // bulk changes still reach the other computers
    reading->setTaskName("Reading aloud");
    ASSERT_TRUE(save());
    EXPECT_EQ(env.savesPosted(), 2);
    delegate->enableAutomaticUIUpdate();

    context().persistentStore()->failSaveAfterStatements(0);
    reading->setTaskName("Never written");
    EXPECT_FALSE(save());
    EXPECT_EQ(env.savesPosted(), 2);
    EXPECT_THROW(loop.runPending(), ImmediateTermination);
}

TEST_F(SavePath, WithoutAutomaticUpdatesNothingIsPostedUntilTheyComeBack) {
    delegate->disableAutomaticUIUpdate();
    reading->setTaskName("Reading aloud");
    ZRCDTiming::createCoreDataTimingWithStartDate(AppEnvironment::kNow - 60, AppEnvironment::kNow,
                                                  writing, std::nullopt, 0, std::nullopt,
                                                  context());
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), IsEmpty());
    EXPECT_THAT(shell.calls, IsEmpty());

    delegate->enableAutomaticUIUpdate();
    EXPECT_TRUE(delegate->automaticUIUpdate());
    EXPECT_THAT(posted(),
                IsSupersetOf({name(kZRTaskNameDidChange), name(kMenuBarNeedsToReloadTotalTime),
                              name(kZRRedrawDatePicker), name(kZRRedrawDataDisplay)}));
    EXPECT_THAT(shell.calls, IsSupersetOf({"reloadPanelTable", "setRunningTimings 0"}));

    // Back on: the next save posts again.
    clearRecords();
    reading->setTaskName("Reading");
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), ElementsAre(name(kZRTaskNameDidChange)));
}

TEST_F(SavePath, EnablingWithoutReloadPostsNothing) {
    delegate->disableAutomaticUIUpdate();
    reading->setRounding(215);
    ASSERT_TRUE(save());
    delegate->enableAutomaticUIUpdateWithoutReload();
    EXPECT_TRUE(delegate->roundingEnabled());
    EXPECT_THAT(posted(), IsEmpty());
    EXPECT_THAT(shell.calls, IsEmpty());
}

TEST_F(SavePath, TheConsideredTasksAreAnnouncedWhileTheMainWindowIsOpen) {
    writing->setTaskIsSelected(!writing->taskIsSelected());
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), Not(Contains(name(kConsideredTasksChanged))));

    delegate->openMainWindow();
    clearRecords();
    writing->setTaskIsSelected(!writing->taskIsSelected());
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), Contains(name(kConsideredTasksChanged)));
}

TEST_F(SavePath, AReceiverThatSavesAgainGetsItsOwnNotifications) {
    bool saved = false;
    env.notifications().addObserver(name(kZRTaskNameDidChange), nullptr, [&](const Notification&) {
        if (saved)
            return;
        saved = true;
        writing->setTaskColorTo(TaskColor{0.3, 0.3, 0.3, 1.0});
        delegate->saveContext(context());
    });
    reading->setTaskName("Reading slowly");
    ASSERT_TRUE(save());
    EXPECT_THAT(posted(), ElementsAre(name(kZRTaskNameDidChange), name(kZRRedrawDatePicker),
                                      name(kZRTaskColorChangedNotification)));
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(SavePath, AFailedSaveShowsTheFatalAlertAndEndsTheProcess) {
    context().persistentStore()->failSaveAfterStatements(0);
    reading->setTaskName("Never written");
    EXPECT_FALSE(save());
    EXPECT_THAT(posted(), IsEmpty());
    EXPECT_THAT(env.alerts().shownAlerts(), IsEmpty());  // it comes on the main loop

    EXPECT_THROW(loop.runPending(), ImmediateTermination);
    ASSERT_EQ(env.alerts().shownAlerts().size(), 1u);
    const Alert& alert = env.alerts().shownAlerts().front();
    EXPECT_EQ(alert.messageText, "There was a problem saving to the database.");
    EXPECT_EQ(alert.informativeText,
              "Don't worry it's not your fault! \n\nBefore you restart Ravelong, please send the "
              "error information below to support@ravelong.app. Thank you!");
    EXPECT_THAT(alert.buttons, ElementsAre("Quit"));
    EXPECT_FALSE(alert.accessoryText.empty());
    EXPECT_TRUE(env.log().contains("saveContext", "Unresolved error "));
    EXPECT_EQ(shell.calls.back(), "terminateImmediately");
    EXPECT_EQ(shell.count("requestQuit"), 0);
    // The change is still in the context, not lost behind the user's back.
    EXPECT_TRUE(context().hasChanges());
}

TEST_F(SavePath, ABusyFileAFullDiskOrAFileThatCannotBeWrittenKeepsTheChangeAndSavesItAgain) {
    struct Case {
        StoreErrorCode code;
        std::string details;
        std::string_view message;
    };
    const Case cases[] = {
        {StoreErrorCode::Busy, "The data file is locked by process 4242 (rsync).",
         kStoreBusyMessage},
        {StoreErrorCode::DiskFull, "No space is left on the disk holding /data/Ravelong2.",
         kDiskFullMessage},
        {StoreErrorCode::NoPermission, "The data file is open for looking only.",
         kStoreNotWritableMessage},
        {StoreErrorCode::ReadOnlyFileSystem, "/data is mounted read-only.",
         kStoreNotWritableMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.details);
        const std::size_t before = env.alerts().shownAlerts().size();
        failWith = storeError(c.code, c.details);
        reading->setTaskName("Reading " + c.details);
        EXPECT_FALSE(save());
        EXPECT_TRUE(context().hasChanges());
        // The interface shows the change it keeps.
        EXPECT_THAT(posted(), Contains(name(kZRTaskNameDidChange)));
        loop.runPending();  // no fatal alert, no end of the process
        ASSERT_EQ(env.alerts().shownAlerts().size(), before + 1);
        const Alert alert = env.alerts().shownAlerts().back();
        EXPECT_EQ(alert.messageText, c.message);
        EXPECT_THAT(alert.informativeText, ::testing::HasSubstr(c.details));
        EXPECT_THAT(alert.informativeText, Not(::testing::HasSubstr("not your fault")));
        EXPECT_EQ(shell.count("terminateImmediately"), 0);

        // Told once: another change that has to wait asks nothing.
        writing->setTaskName("Writing " + c.details);
        EXPECT_FALSE(save());
        loop.runPending();
        EXPECT_EQ(env.alerts().shownAlerts().size(), before + 1);

        // A minute later it is saved, once the file is free again.
        loop.advance(AppSavePath::kRetryInterval);
        EXPECT_TRUE(context().hasChanges());
        failWith.reset();
        clearRecords();
        loop.advance(AppSavePath::kRetryInterval);
        EXPECT_FALSE(context().hasChanges());
        EXPECT_THAT(posted(), Contains(name(kZRTaskNameDidChange)));
    }
}

TEST_F(SavePath, AChangeThatWaitsIsSavedWithTheNextSave) {
    failWith = storeError(StoreErrorCode::Busy, "locked by process 4242");
    reading->setTaskName("Reading again");
    EXPECT_FALSE(save());
    failWith.reset();
    writing->setTaskName("Writing again");
    EXPECT_TRUE(save());
    EXPECT_FALSE(context().hasChanges());
    // Nothing is left waiting.
    loop.advance(AppSavePath::kRetryInterval);
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(shell.count("terminateImmediately"), 0);
}

}  // namespace
}  // namespace ravelong

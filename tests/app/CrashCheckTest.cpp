#include <gtest/gtest.h>

#include <filesystem>

#include "app/SavePathTexts.h"
#include "app/ZRUserDefaults2.h"
#include "store/ZRUndoManager.h"
#include "tests/app/LaunchHarness.h"

namespace ravelong::app_testing {
namespace {

constexpr double kDay = 86400.0;

// A store left by a crash: one task "Writing" per entry of `secondsAgo`, each with a timing
// running since then, and no orderly quit.
void crashWithRunningTimings(LaunchHarness& h, std::initializer_list<double> secondsAgo) {
    ASSERT_TRUE(h.launch());
    int n = 0;
    for (double ago : secondsAgo)
        h.addRunningTiming(h.addTask(n++ == 0 ? "Writing" : "Reading"), ago);
    h.close();
    h.shell.calls.clear();
}

TEST(CrashCheck, TimersTooYoungOrTooOldAreDeletedWithoutAsking) {
    // Recent enough means more than 10 seconds and less than 7 days.
    for (double ago : {0.0, 5.0, 10.0, 7 * kDay, 8 * kDay}) {
        SCOPED_TRACE(ago);
        LaunchHarness h;
        crashWithRunningTimings(h, {ago});
        ASSERT_TRUE(h.launch());
        EXPECT_TRUE(h.env.alerts().shownAlerts().empty());
        EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(h.context()), 0u);
        EXPECT_FALSE(h.context().hasChanges());
        EXPECT_EQ(h.taskNamed("Writing")->timingSets().size(), 0u);
    }
}

TEST(CrashCheck, OneRecentTimerIsNamedWithItsMinutesAndSeconds) {
    LaunchHarness h;
    crashWithRunningTimings(h, {184.0});
    h.env.alerts().queueButton(0);  // "Add timing"
    ASSERT_TRUE(h.launch());

    ASSERT_EQ(h.env.alerts().shownAlerts().size(), 1u);
    const Alert& alert = h.env.alerts().shownAlerts().front();
    EXPECT_EQ(alert.messageText,
              "It appears that Ravelong has crashed while the timer was running.");
    EXPECT_EQ(alert.informativeText,
              "The timer for the task \"Writing\" was started 3 minutes and 4 seconds ago.\n\n"
              "Do you want to stop the timer now and add the appropriate timing?");
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Add timing", "Cancel"}));
    EXPECT_EQ(h.shell.count("activate"), 1);

    ASSERT_EQ(h.runningTimings(), 0u);
    ZRCDTiming* timing = ZRCDTiming::getAllTimings_inContext(h.context()).front();
    EXPECT_DOUBLE_EQ(timing->duration(), 184.0);
    EXPECT_FALSE(h.context().hasChanges());
    EXPECT_FALSE(h.context().undoManager()->canUndo());
}

TEST(CrashCheck, OfSeveralTimersTheRecentAreStoppedAndTheStaleDeleted) {
    LaunchHarness h;
    crashWithRunningTimings(h, {2 * 3600.0, 9 * kDay});
    h.env.alerts().queueButton(0);  // "Add timings"
    ASSERT_TRUE(h.launch());

    ASSERT_EQ(h.env.alerts().shownAlerts().size(), 1u);
    const Alert& alert = h.env.alerts().shownAlerts().front();
    EXPECT_EQ(alert.messageText, "It appears that Ravelong has crashed while timers were running.");
    EXPECT_EQ(alert.informativeText,
              "Do you want to stop the timers now and add the appropriate timings?");
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Add timings", "Cancel"}));

    EXPECT_EQ(h.runningTimings(), 0u);
    EXPECT_EQ(h.taskNamed("Writing")->timings().size(), 1u);
    EXPECT_DOUBLE_EQ((*h.taskNamed("Writing")->timings().begin())->duration(), 2 * 3600.0);
    EXPECT_EQ(h.taskNamed("Reading")->timings().size(), 0u);
    EXPECT_FALSE(h.context().hasChanges());
}

TEST(CrashCheck, SeveralStaleTimersAreDeletedWithoutAsking_CancelChangesNothing) {
    {
        LaunchHarness h;
        crashWithRunningTimings(h, {3.0, 9 * kDay});
        ASSERT_TRUE(h.launch());
        EXPECT_TRUE(h.env.alerts().shownAlerts().empty());
        EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(h.context()), 0u);
    }
    {
        LaunchHarness h;
        crashWithRunningTimings(h, {60.0, 9 * kDay});
        h.env.alerts().queueButton(1);
        ASSERT_TRUE(h.launch());
        EXPECT_EQ(h.env.alerts().shownAlerts().size(), 1u);
        EXPECT_EQ(h.runningTimings(), 2u);
    }
}

TEST(CrashCheck, IsSkippedAfterAnOrderlyQuitAndUnderAnotherCalendar) {
    {
        LaunchedHarness h;
        h.addRunningTiming(h.addTask("Writing"), 9 * kDay);
        h.quitAndClose();
        ASSERT_TRUE(h.launch());
        EXPECT_TRUE(h.env.alerts().shownAlerts().empty());
        EXPECT_EQ(h.runningTimings(), 1u);
        // A run in progress counts as one that has not quit yet.
        EXPECT_FALSE(ZRUserDefaults2::didQuitProperly());
    }
    {
        LaunchHarness h;
        crashWithRunningTimings(h, {184.0});
        ScopedCalendarIdentifier buddhist("buddhist");
        ASSERT_TRUE(h.launch());
        EXPECT_TRUE(h.env.alerts().shownAlerts().empty());
        EXPECT_EQ(h.runningTimings(), 1u);
    }
}

TEST(CrashCheck, ATimerThatStartsAfterNowIsAskedAboutNotDropped) {
    // The clock was set back 3 minutes and 4 seconds behind the timer's start.
    for (const int button : {0, 1}) {
        SCOPED_TRACE(button == 0 ? "Add timing" : "Cancel");
        LaunchHarness h;
        crashWithRunningTimings(h, {-184.0});
        h.env.alerts().queueButton(button);
        ASSERT_TRUE(h.launch());
        ASSERT_EQ(h.env.alerts().shownAlerts().size(), 1u);
        EXPECT_EQ(h.env.alerts().shownAlerts().front().informativeText,
                  "The timer for the task \"Writing\" starts 3 minutes and 4 seconds after the "
                  "time the computer's clock shows now; the clock may have been set back.\n\n"
                  "Do you want to stop the timer now? \"Cancel\" keeps it running.");
        // Stopped before its start, nothing is left worth keeping.
        EXPECT_EQ(h.runningTimings(), button == 0 ? 0u : 1u);
        EXPECT_FALSE(h.context().hasChanges());
    }
    {
        // With another one too old to ask about: asked as a pair.
        LaunchHarness h;
        crashWithRunningTimings(h, {-60.0, 9 * kDay});
        h.env.alerts().queueButton(1);
        ASSERT_TRUE(h.launch());
        EXPECT_EQ(h.env.alerts().shownAlerts().size(), 1u);
        EXPECT_EQ(h.runningTimings(), 2u);
    }
}

// A presenter that leaves its question open while time passes on the main loop, as Qt's modal
// loop does while a person reads, then answers with `button`.
class SlowReader final : public AlertPresenter {
public:
    SlowReader(VirtualMainLoop& loop, double seconds, int button)
        : loop_(loop), seconds_(seconds), button_(button) {}
    AlertResponse runModal(const Alert& alert) override {
        shown.push_back(alert.messageText);
        loop_.advance(seconds_);
        return {button_, false};
    }
    std::vector<std::string> shown;

private:
    VirtualMainLoop& loop_;
    double seconds_;
    int button_;
};

TEST(CrashCheck, NothingChangesTheDataWhileTheQuestionIsOpen) {
    LaunchHarness h;
    // 95 h 50 min: over 96 hours while the question stays open for an hour, longer than a
    // maintenance tick.
    crashWithRunningTimings(h, {95 * 3600.0 + 50 * 60});
    SlowReader reader(h.loop, 3600.0, 0);  // then "Add timing"
    ScopedAlertPresenter scopedReader(reader);
    ASSERT_TRUE(h.launch());

    ASSERT_EQ(reader.shown.size(), 1u);
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(h.context()), 1u);
    EXPECT_EQ(h.runningTimings(), 0u);
    // The ticks run once the launch is complete.
    EXPECT_TRUE(h.delegate->timerController() != nullptr);
    h.addRunningTiming(h.taskNamed("Writing"), 100 * 3600.0);
    h.loop.advance(AppDelegate::kMaintenanceInterval);
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(h.context()), 3u);
}

// A settings file that cannot be written (its folder is a file): the user is told once a run, and
// a run that could not mark itself as running is not taken for a crash.
TEST(CrashCheck, ARunThatCouldNotSaveItsRunningMarkIsNotTakenForACrash) {
    LaunchHarness h;
    const std::filesystem::path blocked = h.env.folder() / "blocked";
    writeFileBytes(blocked, "a file where the settings folder should be");
    const std::filesystem::path settingsFile = blocked / "settings.json";
    {
        UserDefaults settings(settingsFile);
        ScopedUserDefaults scoped(UserDefaults::Suite::standard, settings);
        ASSERT_TRUE(h.launch());
        h.loop.advance(AppDelegate::kMaintenanceInterval);  // writes the settings again
        h.addRunningTiming(h.addTask("Writing"), 184.0);
        h.close();
    }
    ASSERT_EQ(h.env.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(h.env.alerts().shownAlerts().front().messageText, kSettingsCannotBeSaved);

    UserDefaults settings(settingsFile);  // the next process finds no settings
    ScopedUserDefaults scoped(UserDefaults::Suite::standard, settings);
    ASSERT_TRUE(h.launch());
    ASSERT_EQ(h.env.alerts().shownAlerts().size(), 2u);
    EXPECT_EQ(h.env.alerts().shownAlerts().back().messageText, kSettingsCannotBeSaved);
    EXPECT_EQ(h.runningTimings(), 1u);
}

}  // namespace
}  // namespace ravelong::app_testing

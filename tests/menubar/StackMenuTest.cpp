#include <gtest/gtest.h>

#include "app/PreferenceKeys.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/TimerTexts.h"
#include "core/totals/TaskTotals.h"
#include "menubar/MenuBarTexts.h"
#include "menubar/StackMenuActions.h"
#include "menubar/ZRStackMenu.h"
#include "store/ZRUndoManager.h"
#include "tests/menubar/MenuBarTestFixture.h"

namespace ravelong::testing {
namespace {

using Kind = StackMenuEntry::Kind;

class StackMenu : public MenuBarTest {
protected:
    ZRStackMenu menu{context, defaults, clock};

    static const StackMenuEntry* find(const std::vector<StackMenuEntry>& entries, Kind kind) {
        for (const StackMenuEntry& entry : entries) {
            if (entry.kind == kind)
                return &entry;
        }
        return nullptr;
    }
    static std::vector<std::string> titlesOf(const std::vector<StackMenuEntry>& entries,
                                             Kind kind) {
        std::vector<std::string> titles;
        for (const StackMenuEntry& entry : entries) {
            if (entry.kind == kind)
                titles.push_back(entry.title + "=" + std::to_string(entry.tag));
        }
        return titles;
    }
};

TEST_F(StackMenu, ListsRunningTimingsThenRecentTasksWithDigitKeys) {
    std::vector<ZRCDTask*> tasks;
    for (int i = 0; i < 12; ++i) {
        tasks.push_back(makeTask("Task " + std::to_string(i)));
        addTiming(tasks.back(), clock.now() - 86000 + i * 60, clock.now() - 86000 + i * 60 + 30);
    }
    startTiming(tasks[3], clock.now() - 600);
    startTiming(tasks[5], clock.now() - 300);
    settle();

    const std::vector<StackMenuEntry> entries = menu.menuWillOpen({});
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries.front().kind, Kind::heading);
    EXPECT_EQ(entries.front().title, menu_bar_texts::kRunningTimersHeading);
    EXPECT_EQ(entries.back().kind, Kind::quit);
    EXPECT_EQ(entries.back().title, "Quit Ravelong");

    std::vector<std::string> keys;
    std::vector<Kind> kinds;
    for (const StackMenuEntry& entry : entries) {
        if (entry.kind == Kind::runningTiming || entry.kind == Kind::recentTask) {
            keys.push_back(entry.keyEquivalent);
            kinds.push_back(entry.kind);
        }
    }
    // Two timers, then the recent tasks other than those two.
    ASSERT_EQ(keys.size(), 2u + ZRCDTask::getMostRecentTasks_inContext(context).size() - 2u);
    for (std::size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(keys[i], i < 9 ? std::to_string(i + 1) : "0") << i;
    EXPECT_EQ(kinds[0], Kind::runningTiming);
    EXPECT_EQ(kinds[1], Kind::runningTiming);
    EXPECT_EQ(kinds[2], Kind::recentTask);
    EXPECT_EQ(entries[1].uuid, ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context)
                                   .front()
                                   ->uuid()
                                   .value());
    for (const StackMenuEntry& entry : entries) {
        if (entry.kind == Kind::recentTask) {
            EXPECT_NE(entry.uuid, tasks[3]->uuid().value());
            EXPECT_NE(entry.uuid, tasks[5]->uuid().value());
            EXPECT_FALSE(entry.alternateTitle.empty());
        }
    }

    // Without timers the heading switches.
    for (ZRCDTiming* timing : ZRCDTiming::getRunningTimings_inContext(context))
        ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context);
    EXPECT_EQ(menu.menuWillOpen({}).front().title, menu_bar_texts::kRecentTasksHeading);
}

TEST_F(StackMenu, OnlyTheFirstTenEntriesGetDigits) {
    for (int i = 0; i < 12; ++i)
        startTiming(makeTask("Task " + std::to_string(i)), clock.now() - 600 + i);
    settle();
    std::vector<std::string> keys;
    for (const StackMenuEntry& entry : menu.menuWillOpen({})) {
        if (entry.kind == Kind::runningTiming || entry.kind == Kind::recentTask)
            keys.push_back(entry.keyEquivalent);
    }
    EXPECT_EQ(keys,
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "", ""}));
}

TEST_F(StackMenu, TimingSubmenuOffersNoteAssignMoveStopAndDelete) {
    ZRCDTask* task = makeTask("Write");
    ZRCDTiming* timing = startTiming(task, clock.now() - 7200);
    settle();
    for (bool withNote : {false, true}) {
        timing->setNote(withNote ? std::optional<std::string>("draft") : std::nullopt);
        const std::vector<StackMenuEntry> entries = menu.menuWillOpen({});
        const StackMenuEntry* entry = find(entries, Kind::runningTiming);
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry->submenu.size(), 6u);
        EXPECT_EQ(entry->submenu[0].title, withNote ? "Edit note of Timing" : "Add note to Timing");
        EXPECT_EQ(entry->submenu[1].title, "Assign to Task");
        EXPECT_EQ(entry->submenu[2].title, "Move start back in time");
        EXPECT_EQ(entry->submenu[3].title, "Stop timer");
        EXPECT_EQ(entry->submenu[5].kind, Kind::deleteTiming);
        const std::vector<std::string> back =
            titlesOf(entry->submenu[2].submenu, Kind::moveStartBackBy);
        ASSERT_FALSE(back.empty());
        EXPECT_EQ(back.front(), "1 minute=60");
        EXPECT_EQ(back.back(), "60 minutes=3600");
        EXPECT_EQ(titlesOf(entry->submenu[3].submenu, Kind::stopTimerAgo)[1], "2 minutes ago=120");
    }
}

// The previous timing ended G seconds before the running one (started an hour ago) began:
//
//   ...prev]<---- G ---->[running ......... now
//
// shown for 11 <= G <= 43199 with offset G - 1; never when the previous one ended after the start.
TEST_F(StackMenu, EndOfLastTimingEntryNeedsElevenSecondsToTwelveHours) {
    struct Case {
        double gap;
        std::string expected;  // title=offset, "" when hidden
    };
    const Case cases[] = {
        {10, ""},
        {10.9, ""},
        {11, "10 seconds (end of last timing)=10"},
        {71, "1m 10s (end of last timing)=70"},
        {60.5, "59 seconds (end of last timing)=59"},
        {3662, "1h 1m 1s (end of last timing)=3661"},
        {43199, "11h 59m 58s (end of last timing)=43198"},
        {43200, ""},
        {-30, ""},  // ended after the running timing started
    };
    ZRCDTask* task = makeTask("Write");
    const Instant start = clock.now() - 3600;
    ZRCDTiming* running = startTiming(task, start);
    settle();
    for (const Case& c : cases) {
        ZRCDTiming* previous = addTiming(makeTask("Before"), start - c.gap - 600, start - c.gap);
        const std::vector<StackMenuEntry> specials =
            menu.setupSetAheadSpecialMenuItemsForRunningTiming(*running, {});
        EXPECT_EQ(specials.empty() ? "" : specials[0].title + "=" + std::to_string(specials[0].tag),
                  c.expected)
            << c.gap;
        ZRCDTiming::deleteTimingAndUpdateTimingSets(previous, context);
    }
}

// Wake W seconds before the running timing's start (entry 2), with or without a previous timing
// that ended P seconds before the start (entry 1). The wake entry is hidden when entry 1 exists
// and goes back no further than the wake.
TEST_F(StackMenu, LastWakeEntryForMovingTheStartBack) {
    struct Case {
        double wakeBefore;
        std::optional<double> previousBefore;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {10, std::nullopt, {}},
        {11, std::nullopt, {"10 seconds (last system wake)=10"}},
        {600, std::nullopt, {"9m 59s (last system wake)=599"}},
        {43199, std::nullopt, {"11h 59m 58s (last system wake)=43198"}},
        {43200, std::nullopt, {}},
        {-60, std::nullopt, {}},  // woke after the start
        // Previous timing ended after the wake: only its entry.
        {600, 120, {"1m 59s (end of last timing)=119"}},
        // The two would land on the same second: only the previous timing's end.
        {600, 601, {"10m 0s (end of last timing)=600"}},
        {600, 602, {"10m 1s (end of last timing)=601", "9m 59s (last system wake)=599"}},
        // Previous timing ended before the wake: both.
        {600, 1200, {"19m 59s (end of last timing)=1199", "9m 59s (last system wake)=599"}},
    };
    ZRCDTask* task = makeTask("Write");
    const Instant start = clock.now() - 3600;
    ZRCDTiming* running = startTiming(task, start);
    settle();
    for (const Case& c : cases) {
        ZRCDTiming* previous = nullptr;
        if (c.previousBefore)
            previous = addTiming(makeTask("Before"), start - *c.previousBefore - 60,
                                 start - *c.previousBefore);
        ZRStackMenu::SleepTimes sleep;
        sleep.lastWakeFromSleep = start - c.wakeBefore;
        std::vector<std::string> titles;
        for (const StackMenuEntry& e :
             menu.setupSetAheadSpecialMenuItemsForRunningTiming(*running, sleep))
            titles.push_back(e.title + "=" + std::to_string(e.tag));
        EXPECT_EQ(titles, c.expected) << c.wakeBefore;
        if (previous)
            ZRCDTiming::deleteTimingAndUpdateTimingSets(previous, context);
    }
}

// Running for E = 3600 s. Sleep or wake S seconds ago is offered when S < E + 10, only while
// timers keep running during sleep.
TEST_F(StackMenu, SleepAndWakeEntriesForStopping) {
    struct Case {
        bool timingWhenSleeping;
        double sleepAgo;
        double wakeAgo;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {true,
         1800,
         900,
         {"30m 0s ago (last system sleep)=1800", "15m 0s ago (last system wake)=900"}},
        {true,
         3609,
         45,
         {"1h 0m 9s ago (last system sleep)=3609", "45 seconds ago (last system wake)=45"}},
        {true, 3610, 3700, {}},
        {true, -5, -5, {}},  // not in the past
        {false, 1800, 900, {}},
    };
    ZRCDTiming* running = startTiming(makeTask("Write"), clock.now() - 3600);
    settle();
    for (const Case& c : cases) {
        defaults.setBool(kZRTimingWhenSleeping, c.timingWhenSleeping);
        ZRStackMenu::SleepTimes sleep{clock.now() - c.sleepAgo, clock.now() - c.wakeAgo};
        std::vector<std::string> titles;
        for (const StackMenuEntry& e :
             menu.setupStopTimerSpecialMenuItemsForRunningTiming(*running, sleep))
            titles.push_back(e.title + "=" + std::to_string(e.tag));
        EXPECT_EQ(titles, c.expected) << c.sleepAgo;
    }
}

TEST_F(StackMenu, AssignSubmenuIsHeadedByRecentTasksAndDisablesImpossibleTargets) {
    ZRCDTask* parent = makeTask("Client");
    ZRCDTask* child = makeTask("Design", parent);
    ZRCDTask* other = makeTask("Admin");
    ZRCDTiming* running = startTiming(child, clock.now() - 60);
    settle();
    const std::vector<StackMenuEntry> submenu = menu.assignToTaskSubmenu(running->uuid().value());
    ASSERT_FALSE(submenu.empty());
    EXPECT_EQ(submenu[0].title, "Recent tasks:");
    EXPECT_FALSE(submenu[0].enabled);
    for (const StackMenuEntry& entry : submenu) {
        if (entry.kind != Kind::assignTarget)
            continue;
        const std::string taskUuid = entry.assignment.substr(0, entry.assignment.find("|||||"));
        EXPECT_EQ(entry.assignment, taskUuid + "|||||" + running->uuid().value());
        const bool possible = taskUuid == other->uuid().value();
        EXPECT_EQ(entry.enabled, possible) << entry.title;
    }
    // Recent tasks read as their path of names.
    EXPECT_EQ(submenu[1].title, "Client \u276F Design");
    EXPECT_TRUE(menu.assignToTaskSubmenu("no-such-timing").empty());
}

TEST_F(StackMenu, UndoAndRedoEntriesCarryTheStepName) {
    std::vector<StackMenuEntry> entries = menu.menuWillOpen({});
    EXPECT_EQ(find(entries, Kind::undo)->title, "Undo");
    EXPECT_FALSE(find(entries, Kind::undo)->enabled);
    ZRCDTask* task = makeTask("Write");
    settle();
    ASSERT_TRUE(timer->toggleTask(task, true));
    entries = menu.menuWillOpen({});
    EXPECT_EQ(find(entries, Kind::undo)->title, "Undo Start Timer");
    EXPECT_TRUE(find(entries, Kind::undo)->enabled);
    context.undoManager()->undo();
    entries = menu.menuWillOpen({});
    EXPECT_EQ(find(entries, Kind::redo)->title, "Redo Start Timer");
}

class StackMenuAction : public MenuBarTest {
protected:
    StackMenuActions actions{delegate, *timer, center};

    // Records each posting of `name` as "name:uuid" in seen_.
    void observe(std::string_view name) {
        center.addObserver(std::string(name), nullptr, [this, name](const Notification& note) {
            const std::string* uuid = note.value<std::string>("uuid");
            seen_.push_back(std::string(name) + ":" + (uuid ? *uuid : "?"));
        });
    }
    std::vector<std::string> seen_;
};

TEST_F(StackMenuAction, MovingTheStartBackIsOneNamedStep) {
    struct Case {
        std::int64_t seconds;
        std::string undoName;
    };
    const Case cases[] = {
        {60, "Move Start of Timer Back 1 Minutes"},
        {119, "Move Start of Timer Back 1 Minutes"},
        {1800, "Move Start of Timer Back 30 Minutes"},
        {10, "Move Start of Timer Back 0 Minutes"},
    };
    ZRCDTask* task = makeTask("Write");
    ZRCDTiming* timing = startTiming(task, clock.now() - 600);
    settle();
    int timeUpdates = 0;
    center.addObserver(std::string(kZRTimeUpdate), nullptr,
                       [&](const Notification&) { ++timeUpdates; });
    for (const Case& c : cases) {
        const Instant before = *timing->startDate();
        ASSERT_TRUE(actions.setTimerAhead(timing->uuid().value(), c.seconds));
        EXPECT_DOUBLE_EQ(*timing->startDate(), before - static_cast<double>(c.seconds));
        EXPECT_EQ(undoName(), c.undoName);
        EXPECT_FALSE(context.hasChanges()) << "saved";
        context.undoManager()->undo();
        EXPECT_DOUBLE_EQ(*timing->startDate(), before) << "one step";
    }
    EXPECT_EQ(timeUpdates, 4);
    EXPECT_TRUE(played().empty());
}

TEST_F(StackMenuAction, RefusedActionsPlayFunkAndChangeNothing) {
    ZRCDTask* task = makeTask("Write");
    ZRCDTiming* stopped = addTiming(task, clock.now() - 7200, clock.now() - 3600);
    ZRCDTiming* running = startTiming(task, clock.now() - 600);
    settle();
    const std::string stoppedUuid = stopped->uuid().value();
    const std::string runningUuid = running->uuid().value();
    struct Case {
        const char* what;
        std::function<bool()> action;
    };
    const Case cases[] = {
        {"move unknown", [&] { return actions.setTimerAhead("nope", 60); }},
        {"move by nothing", [&] { return actions.setTimerAhead(runningUuid, 0); }},
        {"stop stopped", [&] { return actions.stopTimerXMinutesAgo(stoppedUuid, 60); }},
        {"stop unknown", [&] { return actions.stopTimerXMinutesAgo("", 60); }},
        {"delete stopped", [&] { return actions.deleteTimingStop(stoppedUuid); }},
        {"note unknown", [&] { return actions.addNoteMenuItemClicked("nope"); }},
        {"recent unknown", [&] { return actions.recentTaskClicked("nope"); }},
        {"alternate of a timing", [&] { return actions.recentTaskAlternateClicked(runningUuid); }},
        {"redo nothing", [&] { return actions.redo(); }},
    };
    for (const Case& c : cases) {
        const std::size_t sounds = played().size();
        EXPECT_FALSE(c.action()) << c.what;
        EXPECT_EQ(played().size(), sounds + 1) << c.what;
        EXPECT_EQ(played().back(), "Funk");
        EXPECT_FALSE(context.hasChanges()) << c.what;
    }
    EXPECT_TRUE(running->running());
    EXPECT_EQ(stopped->endDate(), clock.now() - 3600);
}

TEST_F(StackMenuAction, AssignToTaskRules) {
    ZRCDTask* parent = makeTask("Client");
    ZRCDTask* child = makeTask("Design", parent);
    ZRCDTask* other = makeTask("Admin");
    ZRCDTiming* timing = addTiming(child, clock.now() - 7200, clock.now() - 3600);
    settle();
    const std::string t = timing->uuid().value();
    const std::string sep = "|||||";
    struct Case {
        std::string assignment;
        bool accepted;
    };
    const Case cases[] = {
        {child->uuid().value() + sep + t, false},   // its own task
        {parent->uuid().value() + sep + t, false},  // a task with subtasks
        {"missing" + sep + t, false},
        {other->uuid().value() + sep + "missing", false},
        {other->uuid().value() + "||||" + t, false},  // four bars
        {other->uuid().value() + t, false},
        {other->uuid().value() + sep + t, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(actions.assignTask(c.assignment), c.accepted) << c.assignment;
        EXPECT_FALSE(context.hasChanges());
    }
    EXPECT_EQ(played().size(), 6u);
    EXPECT_EQ(timing->task(), other);
    EXPECT_EQ(undoName(), "Assign Task");
    // The day's time moved with the timing.
    EXPECT_DOUBLE_EQ(task_totals::getTimeTodayExcludingRunningTimings(*other, true), 3600);
    EXPECT_DOUBLE_EQ(task_totals::getTimeTodayExcludingRunningTimings(*child, true), 0);
    context.undoManager()->undo();
    EXPECT_EQ(timing->task(), child);
}

TEST_F(StackMenuAction, StopAgoAndDeleteWorkOnRunningTimings) {
    ZRCDTask* task = makeTask("Write");
    ZRCDTiming* first = startTiming(task, clock.now() - 3600);
    ZRCDTiming* second = startTiming(makeTask("Read"), clock.now() - 1800);
    settle();
    refreshView();
    ASSERT_TRUE(actions.stopTimerXMinutesAgo(first->uuid().value(), 600));
    EXPECT_FALSE(first->running());
    EXPECT_DOUBLE_EQ(*first->endDate(), clock.now() - 600);
    EXPECT_EQ(view->display().lastStopText.empty(), false) << "the item heard of the stop";

    const std::string uuid = second->uuid().value();
    ASSERT_TRUE(actions.deleteTimingStop(uuid));
    EXPECT_EQ(undoName(), "Delete Timing");
    EXPECT_EQ(ZRCDTiming::getCoreDataTimingWithUUID(uuid, context), nullptr);
    EXPECT_FALSE(context.hasChanges());
    ASSERT_TRUE(actions.undo());
    EXPECT_NE(ZRCDTiming::getCoreDataTimingWithUUID(uuid, context), nullptr);
    EXPECT_TRUE(played().empty());
}

TEST_F(StackMenuAction, RecentTaskClicksArePostedForTheTaskListToCarryOut) {
    observe(menu_bar_texts::kZRRecentTaskClicked);
    observe(menu_bar_texts::kZRRecentTaskAlternateClicked);
    ZRCDTask* task = makeTask("Write");
    ZRCDTiming* running = startTiming(makeTask("Read"), clock.now() - 60);
    settle();
    const std::string uuid = task->uuid().value();
    const std::string timingUuid = running->uuid().value();

    ASSERT_TRUE(actions.recentTaskClicked(uuid));
    ASSERT_TRUE(actions.recentTaskClicked(timingUuid));
    ASSERT_TRUE(actions.recentTaskAlternateClicked(uuid));
    EXPECT_FALSE(actions.recentTaskClicked("no such record"));
    EXPECT_FALSE(actions.recentTaskAlternateClicked(timingUuid)) << "only tasks have alternates";
    EXPECT_EQ(seen_, (std::vector<std::string>{"ZRRecentTaskClicked:" + uuid,
                                               "ZRRecentTaskClicked:" + timingUuid,
                                               "ZRRecentTaskAlternateClicked:" + uuid}));
    EXPECT_EQ(played().size(), 2u);
}

TEST_F(StackMenuAction, AddNoteOpensThePanelForTheTiming) {
    ZRCDTiming* timing = startTiming(makeTask("Write"), clock.now() - 60);
    settle();
    ASSERT_TRUE(actions.addNoteMenuItemClicked(timing->uuid().value()));
    EXPECT_EQ(delegate.notePanel.timing(), timing);
    ASSERT_EQ(delegate.notePanel.openings().size(), 1u);
    EXPECT_EQ(delegate.notePanel.openings()[0].timing, timing);
}

}  // namespace
}  // namespace ravelong::testing

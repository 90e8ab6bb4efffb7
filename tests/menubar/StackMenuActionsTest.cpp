#include <gtest/gtest.h>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/TimerTexts.h"
#include "core/totals/TaskTotals.h"
#include "menubar/MenuBarTexts.h"
#include "menubar/StackMenuActions.h"
#include "store/ZRUndoManager.h"
#include "tests/menubar/MenuBarTestFixture.h"

namespace ravelong::testing {
namespace {

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

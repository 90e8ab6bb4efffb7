#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "scripting/ScriptTexts.h"
#include "tests/scripting/ScriptTestWorld.h"

namespace ravelong::scripting_testing {
namespace {

using stats_testing::berlinTime;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ScriptCommands : public ScriptWorld {};

TEST_F(ScriptCommands, WithoutAnyArgumentsReportTheParameterErrorAndClearTheirResult) {
    tree("A");
    timing("A", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 10));
    settle();
    const std::string timingID = tasks["A"]->timings().begin().operator*()->uuid().value();
    struct Case {
        const char* name;
        std::function<bool()> run;
        std::function<bool()> resultCleared;
    };
    const std::vector<Case> cases{
        {"create task", [&] { return app.createTask(std::nullopt); },
         [&] { return !app.previousTask(); }},
        {"create timing", [&] { return app.createTiming(std::nullopt); },
         [&] { return !app.previousTiming(); }},
        {"toggle", [&] { return app.toggleTask(std::nullopt); }, [] { return true; }},
        {"fetch task", [&] { return app.getTaskWithID(std::nullopt); },
         [&] { return !app.previousTask(); }},
        {"fetch timing", [&] { return app.getTimingWithID(std::nullopt); },
         [&] { return !app.previousTiming(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Fill both result properties first, so a clearing is seen.
        ASSERT_TRUE(app.getTaskWithID(direct(uuid("A"))));
        ASSERT_TRUE(app.getTimingWithID(direct(timingID)));
        EXPECT_FALSE(c.run());
        EXPECT_EQ(app.scriptError().number, kScriptParameterErrorNumber);
        EXPECT_EQ(app.scriptError().text, kScriptParameterErrorText);
        EXPECT_TRUE(c.resultCleared());
    }
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(*context), 1u);
    EXPECT_TRUE(ZRCDTiming::getRunningTimings_inContext(*context).empty());

    // The listing commands take no arguments as no filter.
    EXPECT_TRUE(app.getTaskIDs(std::nullopt));
    EXPECT_EQ(app.scriptError().number, 0);
    EXPECT_THAT(app.previousTaskIDs(), ElementsAre(uuid("A")));
    EXPECT_TRUE(app.getTimingIDs(std::nullopt));
    EXPECT_THAT(app.previousTimingIDs(), ElementsAre(timingID));
}

TEST_F(ScriptCommands, CreateTaskNamesDescribesAndPlacesTheTaskAsOneSavedStep) {
    tree("A A1<A B");
    ASSERT_TRUE(app.createTask(ScriptArguments{{kArgDescription, std::string("notes")}}));
    ZRCDTask* made = app.previousTask()->task();
    EXPECT_EQ(made->taskName(), "Untitled Task");
    EXPECT_EQ(made->taskDescription(), "notes");
    EXPECT_EQ(undoName(), kAddTaskScript);
    EXPECT_FALSE(context->hasChanges());

    ASSERT_TRUE(app.createTask(ScriptArguments{{kArgName, std::string("child")},
                                               {kArgParentTaskID, uuid("A1")},
                                               {kArgDescription, std::string()}}));
    EXPECT_EQ(app.previousTask()->name(), "child");
    EXPECT_EQ(app.previousTask()->parentTaskID(), uuid("A1"));
    EXPECT_EQ(app.previousTask()->task()->taskDescription(), std::nullopt);
    // A name that is not text takes the default.
    ASSERT_TRUE(app.createTask(ScriptArguments{{kArgName, 3.0}}));
    EXPECT_EQ(app.previousTask()->name(), "Untitled Task");
}

TEST_F(ScriptCommands, CreateTaskRefusesParentsThatCannotTakeChildren) {
    tree("A A1<A A1a<A1 B");
    timing("B", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 10));
    settle();
    const std::size_t before = ZRCDTask::numberOfTasks_inContext(*context);
    for (const std::string& parent : {std::string("no-such-task"), uuid("B"), uuid("A1a")}) {
        SCOPED_TRACE(parent);
        EXPECT_FALSE(app.createTask(ScriptArguments{{kArgParentTaskID, parent}}));
        EXPECT_EQ(app.scriptError().number, 0);
    }
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(*context), before);
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(ScriptCommands, CreateTimingChecksItsArguments) {
    tree("A A1<A B");
    tasks["B"]->addUID("old-b");
    settle();
    const Instant start = berlinTime(2024, 3, 12, 9);
    struct Case {
        const char* name;
        ScriptArguments arguments;
        bool created;
    };
    const auto args = [](ScriptValue task, ScriptValue from, ScriptValue to) {
        return ScriptArguments{{kArgTaskID, task}, {kArgStartDate, from}, {kArgEndDate, to}};
    };
    const std::string b = uuid("B");
    const std::vector<Case> cases{
        {"eleven seconds", args(b, at(start), at(start + 11)), true},
        {"ten seconds", args(b, at(start), at(start + 10)), false},
        {"end before start", args(b, at(start), at(start - 60)), false},
        {"older identifier", args(std::string("old-b"), at(start), at(start + 60)), true},
        {"task with subtasks", args(uuid("A"), at(start), at(start + 60)), false},
        {"unknown task", args(std::string("nope"), at(start), at(start + 60)), false},
        {"no task", {{kArgStartDate, at(start)}, {kArgEndDate, at(start + 60)}}, false},
        {"date as number", args(b, start, at(start + 60)), false},
        {"date as text", args(b, at(start), std::string("tomorrow")), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(app.getTaskWithID(direct(uuid("B"))));  // leaves a previous timing to clear
        const std::size_t before = ZRCDTiming::numberOfTimings_inContext(*context);
        EXPECT_EQ(app.createTiming(c.arguments), c.created);
        EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(*context), before + (c.created ? 1 : 0));
        EXPECT_EQ(app.previousTiming().has_value(), c.created);
        if (c.created) {
            EXPECT_EQ(app.previousTiming()->relatedTaskID(), uuid("B"));
            EXPECT_EQ(undoName(), kAddTimingScript);
        }
        EXPECT_FALSE(context->hasChanges());
    }
}

TEST_F(ScriptCommands, CreateTimingKeepsOnlyANonEmptyNote) {
    tree("B");
    const Instant start = berlinTime(2024, 3, 12, 9);
    for (const std::string& note : {std::string("call"), std::string()}) {
        ASSERT_TRUE(app.createTiming(ScriptArguments{{kArgTaskID, uuid("B")},
                                                     {kArgStartDate, at(start)},
                                                     {kArgEndDate, at(start + 600)},
                                                     {kArgNote, note}}));
        const ZRScriptTiming made = *app.previousTiming();
        EXPECT_EQ(made.timing()->note(), note.empty() ? std::nullopt : std::optional(note));
        EXPECT_EQ(made.durationInSeconds(), 600.0);
        EXPECT_EQ(made.startDate(), start);
    }
}

TEST_F(ScriptCommands, ToggleStartsAndStopsByUuidOnly) {
    tree("A B");
    tasks["A"]->addUID("old-a");
    settle();
    EXPECT_FALSE(app.toggleTask(direct("old-a")));
    EXPECT_FALSE(app.toggleTask(direct("nope")));
    EXPECT_FALSE(app.toggleTask(ScriptArguments{{kDirectParameter, true}}));
    EXPECT_TRUE(ZRCDTiming::getRunningTimings_inContext(*context).empty());

    ASSERT_TRUE(app.toggleTask(direct(uuid("A"))));
    EXPECT_THAT(app.runningTaskIDs(), ElementsAre(uuid("A")));
    ZRCDTiming* running = ZRCDTiming::getRunningTimings_inContext(*context).front();
    ASSERT_TRUE(app.getTimingWithID(direct(running->uuid().value())));
    EXPECT_TRUE(app.previousTiming()->running());
    EXPECT_EQ(app.previousTiming()->endDate(), kSentinelDate);

    clock.advance(60);
    ASSERT_TRUE(app.toggleTask(direct(uuid("A"))));
    EXPECT_THAT(app.runningTaskIDs(), IsEmpty());
    EXPECT_FALSE(app.previousTiming()->running());
    EXPECT_NEAR(app.previousTiming()->durationInSeconds(), 60.5, 0.01);
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(ScriptCommands, ListsTasksByExactNameAndArchivedState) {
    tree("Mail mail Mail2 Old");
    tasks["Old"]->setIsArchived(true);
    tasks["Mail2"]->setTaskName("Mail");
    tasks["Mail2"]->setIsArchived(true);
    settle();
    struct Case {
        ScriptArguments arguments;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases{
        {{{kArgName, std::string("Mail")}}, {"Mail"}},
        {{{kArgName, std::string("Mail")}, {kArgIncludeArchived, true}}, {"Mail", "Mail2"}},
        {{{kArgName, std::string("Mail")}, {kArgIncludeArchived, std::string("true")}}, {"Mail"}},
        {{{kArgName, std::string("MAIL")}, {kArgIncludeArchived, true}}, {}},
        {{}, {"Mail", "mail"}},
        {{{kArgIncludeArchived, true}}, {"Mail", "mail", "Mail2", "Old"}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(app.getTaskIDs(c.arguments));
        std::vector<std::string> expected;
        for (const std::string& name : c.names)
            expected.push_back(uuid(name));
        EXPECT_THAT(app.previousTaskIDs(), ::testing::UnorderedElementsAreArray(expected));
    }
}

TEST_F(ScriptCommands, FetchingByAnOlderIdentifierReportsTheCurrentUuid) {
    tree("A");
    tasks["A"]->addUID("from-old-store");
    settle();
    ASSERT_TRUE(app.getTaskWithID(direct("from-old-store")));
    EXPECT_EQ(app.previousTask()->uniqueID(), uuid("A"));
    EXPECT_FALSE(app.getTaskWithID(direct("unknown")));
    EXPECT_FALSE(app.previousTask());
    EXPECT_FALSE(app.getTimingWithID(direct("unknown")));
    EXPECT_FALSE(app.previousTiming());
}

// Timings by start (day 12 of March 2024, Berlin):
//
//   A      08:00-09:00
//   A1<A   10:00-11:00
//   A2<A   12:00-13:00   (A2 archived)
//   B      10:00-10:30   (B archived)
TEST_F(ScriptCommands, ListsTimingsOfATaskAndItsSubtasksWithinInclusiveBounds) {
    tree("A A1<A A2<A B");
    ZRCDTiming* a = timing("A", berlinTime(2024, 3, 12, 8), berlinTime(2024, 3, 12, 9));
    ZRCDTiming* a1 = timing("A1", berlinTime(2024, 3, 12, 10), berlinTime(2024, 3, 12, 11));
    ZRCDTiming* a2 = timing("A2", berlinTime(2024, 3, 12, 12), berlinTime(2024, 3, 12, 13));
    ZRCDTiming* b = timing("B", berlinTime(2024, 3, 12, 10), berlinTime(2024, 3, 12, 10, 30));
    tasks["A2"]->setIsArchived(true);
    tasks["B"]->setIsArchived(true);
    settle();
    const auto id = [](ZRCDTiming* t) { return t->uuid().value(); };
    const Instant ten = berlinTime(2024, 3, 12, 10);
    const Instant twelve = berlinTime(2024, 3, 12, 12);
    struct Case {
        const char* name;
        ScriptArguments arguments;
        std::vector<std::string> ids;
    };
    const std::vector<Case> cases{
        {"task", {{kArgTaskID, uuid("A")}}, {id(a), id(a1)}},
        {"task with archived",
         {{kArgTaskID, uuid("A")}, {kArgIncludeArchived, true}},
         {id(a), id(a1), id(a2)}},
        {"both bounds inclusive",
         {{kArgTaskID, uuid("A")},
          {kArgIncludeArchived, true},
          {kArgStartDate, at(ten)},
          {kArgEndDate, at(twelve)}},
         {id(a1), id(a2)}},
        {"start only", {{kArgTaskID, uuid("A")}, {kArgStartDate, at(ten + 1)}}, {}},
        {"end only", {{kArgTaskID, uuid("A")}, {kArgEndDate, at(ten)}}, {id(a), id(a1)}},
        {"bound as text",
         {{kArgTaskID, uuid("A")}, {kArgEndDate, std::string("x")}},
         {id(a), id(a1)}},
        {"archived task", {{kArgTaskID, uuid("B")}}, {}},
        {"archived task included", {{kArgTaskID, uuid("B")}, {kArgIncludeArchived, true}}, {id(b)}},
        {"unknown task", {{kArgTaskID, std::string("nope")}}, {}},
        {"all unarchived", {}, {id(a), id(a1)}},
        {"all", {{kArgIncludeArchived, true}}, {id(a), id(a1), id(b), id(a2)}},
        {"all from ten", {{kArgStartDate, at(ten)}}, {id(a1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(app.getTimingIDs(c.arguments));
        if (std::string(c.name) == "all") {
            // Two start at ten; their order among themselves is not promised.
            EXPECT_THAT(app.previousTimingIDs(), ::testing::UnorderedElementsAreArray(c.ids));
            EXPECT_EQ(app.previousTimingIDs().front(), id(a));
            EXPECT_EQ(app.previousTimingIDs().back(), id(a2));
        } else {
            EXPECT_EQ(app.previousTimingIDs(), c.ids);
        }
    }
}

class ScriptTaskWrites : public ScriptWorld {};

TEST_F(ScriptTaskWrites, RenameIsOneSavedStep) {
    tree("A");
    ZRScriptTask task = *app.taskWithID(uuid("A"));
    EXPECT_FALSE(task.setName(std::nullopt));
    EXPECT_EQ(task.name(), "A");
    EXPECT_TRUE(task.setName("Renamed"));
    EXPECT_EQ(tasks["A"]->taskName(), "Renamed");
    EXPECT_EQ(undoName(), kRenameTaskScript);
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(ScriptTaskWrites, MovesOnlyWhereTheTreeAllows) {
    tree("A A1<A A1a<A1 B C");
    timing("C", berlinTime(2024, 3, 12, 8), berlinTime(2024, 3, 12, 9));
    settle();
    struct Case {
        const char* task;
        std::optional<std::string> target;
        bool moved;
    };
    const std::vector<Case> cases{
        {"A", std::nullopt, false}, {"A", std::string("nope"), false},
        {"A", uuid("A"), false},     // itself
        {"A", uuid("A1"), false},    // its own subtask
        {"A1", uuid("A1a"), false},  // its own subtask
        {"B", uuid("C"), false},     // target has timings
        {"B", uuid("A1a"), false},   // would be a fourth tier
        {"A", uuid("B"), false},     // A has two tiers below it, B would add one
        {"A1", uuid("B"), true},     // two tiers under a top-level task
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.task) + " -> " + c.target.value_or("(none)"));
        const std::string parentBefore = app.taskWithID(uuid(c.task))->parentTaskID();
        context->undoManager()->removeAllActions();
        EXPECT_EQ(app.taskWithID(uuid(c.task))->setParentTaskID(c.target), c.moved);
        const std::string parentAfter = app.taskWithID(uuid(c.task))->parentTaskID();
        if (c.moved) {
            EXPECT_EQ(parentAfter, *c.target);
            EXPECT_EQ(undoName(), kRearrangeTaskScript);
        } else {
            EXPECT_EQ(parentAfter, parentBefore);
        }
        EXPECT_FALSE(context->hasChanges());
    }
}

TEST_F(ScriptTaskWrites, PlainCreationMakesAnUntitledTask) {
    const ZRScriptTask made = app.makeNewTask();
    EXPECT_EQ(made.name(), "Untitled Task");
    EXPECT_EQ(made.parentTaskID(), "");
    EXPECT_EQ(undoName(), kAddTaskScript);
    EXPECT_EQ(app.tasks().size(), 1u);
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(ScriptCommands, ATimingsNoteIsOneNamedUndoStepAndBadNotesChangeNothing) {
    tree("A");
    timing("A", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 10), "before");
    settle();
    const std::string id = tasks["A"]->timings().begin().operator*()->uuid().value();
    auto found = app.timingWithID(id);
    ASSERT_TRUE(found);
    EXPECT_FALSE(app.timingWithID("no-such-timing"));

    ASSERT_TRUE(found->setNote("after"));
    EXPECT_EQ(found->note(), "after");
    EXPECT_EQ(undoName(), "Edit Note (Script)");
    EXPECT_FALSE(context->hasChanges());
    context->undoManager()->undo();
    EXPECT_EQ(found->note(), "before");
    context->undoManager()->redo();

    struct Case {
        const char* what;
        std::string note;
    };
    const std::vector<Case> refused{
        {"too long", std::string(ZRScriptTiming::kMaxNoteBytes + 1, 'n')},
        {"a stray continuation byte", "ok \x80"},
        {"a cut sequence", "caf\xC3"},
        {"an overlong slash", "\xC0\xAF"},
        {"a surrogate", "\xED\xA0\x80"},
        {"past U+10FFFF", "\xF4\x90\x80\x80"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        const Status saved = found->setNote(c.note);
        EXPECT_FALSE(saved);
        EXPECT_EQ(found->note(), "after");
    }
    // The longest note, other scripts and an empty one (which removes the note) are fine.
    EXPECT_TRUE(found->setNote(std::string(ZRScriptTiming::kMaxNoteBytes, 'n')));
    EXPECT_TRUE(found->setNote("Überstunden — 残業 🕘"));
    EXPECT_EQ(found->note(), "Überstunden — 残業 🕘");
    EXPECT_TRUE(found->setNote(""));
    EXPECT_FALSE(tasks["A"]->timings().begin().operator*()->note().has_value());
}

}  // namespace
}  // namespace ravelong::scripting_testing

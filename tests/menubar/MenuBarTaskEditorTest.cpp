#include <gtest/gtest.h>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "menubar/MenuBarTaskEditor.h"
#include "store/ZRUndoManager.h"
#include "tests/menubar/TaskListTestFixture.h"

namespace ravelong {
namespace {

using testing::berlin;
using DropAction = MenuBarTaskEditor::DropAction;
using DropResult = TaskTreeEditor::DropResult;

class MenuBarTaskEditorTest : public testing::TaskListTest {
protected:
    MenuBarTaskEditor& editor() {
        if (!editor_)
            editor_ = std::make_unique<MenuBarTaskEditor>(list());
        return *editor_;
    }
    int row(const std::string& name) { return list().rowOfTask(tasks.at(name)); }

private:
    std::unique_ptr<MenuBarTaskEditor> editor_;
};

TEST_F(MenuBarTaskEditorTest, AddingATaskClearsTheSearchAndListsItOnTop) {
    tree("A B");
    list().setSearchTerm("B");
    loop.advance(0.5);
    EXPECT_EQ(names(), "B");
    const int added = editor().addTask();
    EXPECT_EQ(added, 0);
    EXPECT_EQ(names(), "Untitled Task A B");
    EXPECT_EQ(list().searchTerm(), "");
    EXPECT_EQ(undoName(), "Add Task");
}

TEST_F(MenuBarTaskEditorTest, AddingASubtaskUnfoldsTheParentAndIsListedDuringASearch) {
    tree("P A<P Q R");
    list().reload();
    ASSERT_TRUE(list().toggleChildrenDisclosureOfRow(0));
    EXPECT_EQ(names(), "P Q R");
    EXPECT_EQ(editor().addSubtaskToRow(0), 1);
    EXPECT_EQ(names(), "P Untitled Subtask A Q R");
    EXPECT_EQ(undoName(), "Add Subtask");

    list().setSearchTerm("Q");
    loop.advance(0.5);
    const int added = editor().addSubtaskToRow(0);
    ASSERT_GE(added, 0);
    EXPECT_EQ(list().rows()[static_cast<std::size_t>(added)].name, "Untitled Subtask");

    // Under a task that holds time: refused.
    timing(tasks["R"], berlin(12, 8), berlin(12, 9));
    settle();
    list().clearSearchTerm();
    const std::size_t before = funks();
    EXPECT_EQ(editor().addSubtaskToRow(row("R")), -1);
    EXPECT_EQ(funks(), before + 1);
}

TEST_F(MenuBarTaskEditorTest, RenamingIsOneUndoStepAndRefusesEmptyNames) {
    tree("A B");
    list().reload();
    EXPECT_TRUE(editor().renameRow(1, "  Billing \n"));
    EXPECT_EQ(names(), "A Billing");
    EXPECT_EQ(undoName(), "Rename Task");
    for (const char* bad : {"", "   ", "\t\n"}) {
        EXPECT_FALSE(editor().renameRow(1, bad));
        EXPECT_EQ(tasks["B"]->taskName(), "Billing");
    }
    EXPECT_FALSE(editor().renameRow(5, "X"));
    EXPECT_EQ(funks(), 4u);
    context.undoManager()->undo();
    list().reload();
    EXPECT_EQ(names(), "A B");
}

TEST_F(MenuBarTaskEditorTest, EditWritesAllValuesAsOneStepAndRefusesBadRounding) {
    tree("A");
    list().reload();
    MenuBarTaskEditor::TaskValues values = MenuBarTaskEditor::valuesOf(*tasks["A"]);
    values.name = "Design";
    values.color = TaskColor{1.0, 0.0, 0.0, 1.0};
    values.description = "Logo";
    values.rounding = 215;
    EXPECT_TRUE(editor().editRow(0, values));
    EXPECT_EQ(tasks["A"]->taskName(), "Design");
    EXPECT_EQ(tasks["A"]->taskDescription(), "Logo");
    EXPECT_EQ(tasks["A"]->rounding(), 215);
    EXPECT_EQ(tasks["A"]->getTaskColor(), values.color);
    EXPECT_EQ(undoName(), "Edit Task");
    EXPECT_EQ(list().rows()[0].description, "Logo");

    for (int bad : {-2, 100, 200, 400, 1000}) {
        MenuBarTaskEditor::TaskValues wrong = values;
        wrong.rounding = static_cast<std::int16_t>(bad);
        wrong.name = "Changed";
        EXPECT_FALSE(editor().editRow(0, wrong)) << bad;
        EXPECT_EQ(tasks["A"]->taskName(), "Design") << bad;
        EXPECT_EQ(tasks["A"]->rounding(), 215) << bad;
    }
    for (int good : {-1, 0, 1, 101, 399})
        EXPECT_TRUE(MenuBarTaskEditor::isValidRounding(good)) << good;

    context.undoManager()->undo();
    EXPECT_EQ(tasks["A"]->taskName(), "A");
    EXPECT_EQ(tasks["A"]->rounding(), -1);
    EXPECT_FALSE(tasks["A"]->taskDescription().has_value());
}

// What a drop onto a row does, by modifier keys and target:
//   Leaf (holds no time), Timed (has a stopped timing), Parent (has a child), Deep (third tier).
TEST_F(MenuBarTaskEditorTest, DropDecisionsFollowTheModifiersAndTheTreeRules) {
    tree("D Leaf Timed Parent Child<Parent Mid<Parent Deep<Mid");
    timing(tasks["Timed"], berlin(12, 8), berlin(12, 9));
    settle();
    list().reload();
    constexpr unsigned kShift = TaskTreeEditor::kShiftKey;
    constexpr unsigned kCtrl = TaskTreeEditor::kControlKey;
    struct Case {
        const char* dragged;
        const char* target;
        unsigned keys;
        DropAction expected;
    };
    const Case cases[] = {
        {"D", "Leaf", 0, DropAction::makeChild},
        {"D", "Timed", 0, DropAction::makeChildOfNewParent},
        {"D", "Parent", 0, DropAction::makeChild},
        {"D", "Deep", 0, DropAction::refused},  // a fourth tier
        {"D", "D", 0, DropAction::refused},
        {"Child", "Parent", 0, DropAction::refused},  // already its parent
        {"Parent", "Child", 0, DropAction::refused},  // into its own subtree
        {"D", "Leaf", kShift, DropAction::merge},
        {"D", "Timed", kCtrl, DropAction::merge},
        {"D", "Leaf", kShift | kCtrl, DropAction::refused},
        {"Timed", "Parent", kShift, DropAction::refused},  // subtasks and time in one task
    };
    for (const Case& c : cases)
        EXPECT_EQ(editor().dropActionOnRow(row(c.dragged), row(c.target), c.keys), c.expected)
            << c.dragged << " onto " << c.target << " keys " << c.keys;
}

TEST_F(MenuBarTaskEditorTest, AMergeByDropAsksFirstAndCancelChangesNothing) {
    tree("Alpha Beta");
    timing(tasks["Beta"], berlin(12, 8), berlin(12, 9));
    settle();
    list().reload();
    alerts.queueButton(1);
    EXPECT_EQ(editor().dropRowOnRow(1, 0, TaskTreeEditor::kShiftKey), DropResult::refused);
    ASSERT_EQ(alerts.shownAlerts().size(), 1u);
    EXPECT_EQ(alerts.shownAlerts()[0].messageText, "Merge \"Beta\" into \"Alpha\"?");
    EXPECT_EQ(names(), "Alpha Beta");

    alerts.queueButton(0);
    EXPECT_EQ(editor().dropRowOnRow(1, 0, TaskTreeEditor::kShiftKey), DropResult::merged);
    EXPECT_EQ(names(), "Alpha + Beta");
    EXPECT_EQ(undoName(), "Merge Tasks");
    EXPECT_DOUBLE_EQ(list().rows()[0].totalEver, 3600.0);
}

TEST_F(MenuBarTaskEditorTest, DropsBetweenAndOntoRowsRearrangeTheList) {
    tree("A B C");
    list().reload();
    EXPECT_TRUE(editor().dropRowBetweenRows(2, 0));
    EXPECT_EQ(names(), "C A B");
    EXPECT_EQ(undoName(), "Rearrange Task");
    EXPECT_FALSE(editor().dropRowBetweenRows(0, 9));
    // Dropped onto a row: a subtask there, and shown.
    EXPECT_EQ(editor().dropRowOnRow(row("B"), row("A"), 0), DropResult::madeChild);
    EXPECT_EQ(names(), "C A B");
    EXPECT_EQ(list().rows()[2].tier, 1);
    EXPECT_EQ(list().rows()[1].disclosure, MenuBarTaskRow::Disclosure::expanded);
}

TEST_F(MenuBarTaskEditorTest, ArchiveAndDeleteActOnTheRowsTask) {
    tree("P A<P Old<P B");
    tasks["Old"]->setIsArchived(true);
    settle();
    list().reload();
    EXPECT_EQ(names(), "P A B");

    EXPECT_TRUE(editor().archiveSubtasksOfRow(0));
    EXPECT_EQ(names(), "P B");
    EXPECT_TRUE(editor().unArchiveSubtasksOfRow(0));
    // Archiving folded them away; they come back folded.
    EXPECT_EQ(names(), "P B");
    EXPECT_EQ(list().rows()[0].disclosure, MenuBarTaskRow::Disclosure::collapsed);
    ASSERT_TRUE(list().toggleChildrenDisclosureOfRow(0));
    EXPECT_EQ(names(), "P A Old B");
    ASSERT_TRUE(editor().archiveRow(row("Old")));

    // Deleting P asks about its archived subtasks; cancel keeps everything.
    ASSERT_TRUE(editor().archiveRow(row("B")));
    EXPECT_EQ(row("B"), -1);
    alerts.queueButton(1);
    EXPECT_FALSE(editor().deleteRow(0));
    ASSERT_EQ(alerts.shownAlerts().size(), 1u);
    EXPECT_EQ(alerts.shownAlerts()[0].messageText, "You are about to delete an archived task");
    EXPECT_EQ(names(), "P A");
    EXPECT_FALSE(editor().deleteRow(42));
    const std::string uuid = tasks["P"]->uuid().value();
    EXPECT_TRUE(editor().deleteRowKeepingSubtasks(0));
    EXPECT_EQ(ZRCDTask::getCoreDataTaskWithUUID(uuid, context), nullptr);
    EXPECT_EQ(names(), "A");
}

}  // namespace
}  // namespace ravelong

#include <algorithm>
#include <set>

#include "app/ZRUserDefaults2.h"
#include "core/tree/TaskTreeEditor.h"
#include "foundation/AlertPresenter.h"
#include "menubar/StatisticsTaskList.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::StatsWorld;
using Names = std::set<std::string>;
constexpr unsigned kShift = TaskTreeEditor::kShiftKey;
constexpr unsigned kOption = TaskTreeEditor::kOptionKey;

class StatisticsTaskListTest : public StatsWorld {
protected:
    StatisticsTaskListTest() {
        tree("A A1<A A1a<A1 A2<A B C");
        ZRUserDefaults2::setShowTasks(3);
        list.reload();
    }
    void check(const Names& checked) {
        for (auto& [name, task] : tasks)
            task->setTaskIsSelected(checked.contains(name));
        settle();
    }
    Names checked() const {
        Names result;
        for (const auto& [name, task] : tasks)
            if (task->taskIsSelected())
                result.insert(name);
        return result;
    }
    std::size_t row(const std::string& name) const {
        const auto& rows = list.tasks();
        return std::find(rows.begin(), rows.end(), tasks.at(name)) - rows.begin();
    }

    TaskTreeEditor editor{*delegate, nullptr};
    StatisticsTaskList list{*delegate, editor, loop};
};

struct ToggleCase {
    const char* what;
    std::int64_t state;
    Names checkedBefore;
    const char* clicked;
    unsigned keys;
    Names checkedAfter;
    std::int64_t stateAfter = 2;
    const char* highlighted = nullptr;  // before the click, and after it
    const char* highlightedAfter = nullptr;
    std::size_t funks = 0;
};

// The tree, all rows listed in this order:   A
//                                              A1
//                                                A1a
//                                              A2
//                                            B
//                                            C
TEST_F(StatisticsTaskListTest, CheckMarkClicksFollowTheSelectionState) {
    const std::vector<ToggleCase> cases = {
        {"first choice unchecks the rest", 0, {"B"}, "A1", 0, {"A1"}},
        {"all visible becomes explicit", 3, {}, "A2", 0, {"A1a", "B", "C"}},
        {"all visible, click a parent", 3, {}, "A1", 0, {"A2", "B", "C"}},
        {"checking a child unchecks its parent", 2, {"A"}, "A1", 0, {"A1"}},
        {"checking a grandchild unchecks both", 2, {"A", "B"}, "A1a", 0, {"A1a", "B"}},
        {"a partly checked parent unchecks all", 2, {"A1a", "A2", "C"}, "A", 0, {"C"}},
        {"plain uncheck", 2, {"B", "C"}, "B", 0, {"C"}},
        {"range walks forward to C", 2, {"C"}, "A1", kShift, {"A1a", "A2", "B", "C"}},
        {"range walks back to A", 2, {"A"}, "C", kOption, {"A1a", "A2", "B", "C"}},
        {"range without any check", 2, {}, "B", kShift, {"B"}},
        {"two keys make a plain click", 2, {"C"}, "A1", kShift | kOption, {"A1", "C"}},
        {"range on a checked task unchecks it", 2, {"B", "C"}, "B", kShift, {"C"}},
        {"highlighting another task", 1, {"C"}, "B", 0, {"C"}, 1, "A", "B"},
        {"the highlighted task again", 1, {"C"}, "A", 0, {"C"}, 1, "A", "A", 1},
        {"unknown state", 7, {"C"}, "A", 0, {"C"}, 7},
    };
    for (const ToggleCase& c : cases) {
        check(c.checkedBefore);
        ZRUserDefaults2::setSelectionState(c.state);
        ZRUserDefaults2::setSelectedTaskInDataSelection(
            c.highlighted ? tasks.at(c.highlighted)->uuid() : std::nullopt);
        list.reload();
        const std::size_t funks = delegate->sound.played().size();
        const int saves = delegate->saves;
        list.toggleSelectionOfTaskAtRowIndex(row(c.clicked), c.keys);
        EXPECT_EQ(checked(), c.checkedAfter) << c.what;
        EXPECT_EQ(ZRUserDefaults2::selectionState(), c.stateAfter) << c.what;
        EXPECT_EQ(ZRUserDefaults2::selectedTaskInDataSelection(),
                  c.highlightedAfter ? tasks.at(c.highlightedAfter)->uuid() : std::nullopt)
            << c.what;
        EXPECT_EQ(delegate->sound.played().size() - funks, c.funks) << c.what;
        EXPECT_EQ(delegate->saves - saves, c.funks ? 0 : 1) << c.what;
        EXPECT_FALSE(context->hasChanges()) << c.what;
        EXPECT_FALSE(context->undoManager()->canUndo()) << c.what;  // clicks are no undo steps
    }
}

TEST_F(StatisticsTaskListTest, MarksShowCheckedAndPartlyCheckedRows) {
    check({"A1a"});
    list.reload();
    EXPECT_EQ(list.markOfRow(row("A")), StatisticsTaskList::Mark::partlyChecked);
    EXPECT_EQ(list.markOfRow(row("A1")), StatisticsTaskList::Mark::partlyChecked);
    EXPECT_EQ(list.markOfRow(row("A1a")), StatisticsTaskList::Mark::checked);
    EXPECT_EQ(list.markOfRow(row("B")), StatisticsTaskList::Mark::unchecked);
    EXPECT_EQ(list.markOfRow(99), StatisticsTaskList::Mark::unchecked);
    list.toggleSelectionOfTaskAtRowIndex(99);  // beyond the list: nothing
    EXPECT_EQ(checked(), Names{"A1a"});
}

TEST_F(StatisticsTaskListTest, ArchiveFilterDecidesTheRows) {
    tasks["A2"]->setIsArchived(true);
    tasks["C"]->setIsArchived(true);
    tasks["A1a"]->setIsVisibleInDataSelection(false);  // A1 collapsed
    tasks["A"]->setTaskIsSelected(true);
    tasks["A1"]->setTaskIsSelected(true);
    settle();
    const std::vector<std::pair<std::int64_t, std::vector<std::string>>> cases = {
        {2, {"A", "A1", "B"}}, {1, {"A2", "C"}}, {3, {"A", "A1", "A2", "B", "C"}}, {0, {}}, {4, {}},
    };
    for (const auto& [show, expected] : cases) {
        ZRUserDefaults2::setShowTasks(show);
        list.reload();
        EXPECT_EQ(names(list.tasks()), expected) << show;
        EXPECT_EQ(list.showsChooseTasksPrompt(), show < 1 || show > 3) << show;
    }
    // Listing everything repaired the checks: A1 is checked, so its parent is not.
    EXPECT_EQ(checked(), Names{"A1"});
}

TEST_F(StatisticsTaskListTest, SelectAllChecksEveryListedLeafOnce) {
    tasks["A1a"]->setIsVisibleInDataSelection(false);
    tasks["A1a"]->setTaskIsSelected(true);  // hidden under A1, which now covers it
    settle();
    ZRUserDefaults2::setSelectionState(3);
    list.reload();
    list.selectAllTasks();
    EXPECT_EQ(checked(), (Names{"A1", "A2", "B", "C"}));
    EXPECT_EQ(ZRUserDefaults2::selectionState(), 2);
    list.deselectAllTasks();
    EXPECT_TRUE(checked().empty());
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(StatisticsTaskListTest, TreeEditingIsOneUndoStepWithTheSharedNames) {
    ZRCDTask* added = list.addTask();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(undoName(), "Add Task");
    EXPECT_EQ(list.tasks().front(), added);
    settle();

    ASSERT_NE(list.addSubtaskToRow(row("C")), nullptr);
    EXPECT_EQ(undoName(), "Add Subtask");
    settle();

    ASSERT_TRUE(list.deleteRow(row("B"), false));
    EXPECT_EQ(undoName(), "Delete Task");
    context->undoManager()->undo();
    list.reload();
    EXPECT_EQ(names(list.tasks())[5], "B");
    settle();

    timing("A2", stats_testing::berlinTime(2024, 3, 12, 9),
           stats_testing::berlinTime(2024, 3, 12, 10));
    settle();
    EXPECT_EQ(list.dropRowOnRow(row("A2"), row("B"), kOption), TaskTreeEditor::DropResult::merged);
    EXPECT_EQ(undoName(), "Merge Tasks");
    EXPECT_EQ(tasks["B"]->timings().size(), 1u);
    context->undoManager()->undo();
    EXPECT_EQ(tasks["A2"]->timings().size(), 1u);
    settle();

    list.reload();
    ASSERT_TRUE(list.dropRowBetweenRows(row("C"), 0));
    EXPECT_EQ(undoName(), "Rearrange Task");
    EXPECT_EQ(list.tasks().front(), tasks["C"]);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "core/chain/ChainLinks.h"
#include "core/chain/TaskChain.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/tree/TaskTreeEditor.h"
#include "foundation/AlertPresenter.h"
#include "tests/core/chain/ChainTestSupport.h"
#include "tests/core/timer/TimerTestFixture.h"

namespace ravelong {
namespace {

using testing::berlin;
using Drop = TaskTreeEditor::DropResult;

class TaskTreeEditorTest : public testing::TimerTest {
protected:
    // Tasks in chain order, each "name" or "name<parent": "A A1<A A1a<A1 B".
    void tree(const std::string& layout) {
        std::istringstream in(layout);
        std::vector<ZRCDTask*> order;
        for (std::string item; in >> item;) {
            const auto mark = item.find('<');
            const std::string name = item.substr(0, mark);
            ZRCDTask* task = makeTask(name);
            if (mark != std::string::npos)
                task->setParentTask(tasks.at(item.substr(mark + 1)));
            tasks[name] = task;
            order.push_back(task);
        }
        chain_links::applyChainOrder(order);
        settle();
    }
    ZRCDTask* operator[](const std::string& name) { return tasks.at(name); }
    // The tasks in the order of the list's rows.
    std::vector<ZRCDTask*> rows() {
        return task_chain::sortArrayOfTasksByViewPosition(context.fetchAll<ZRCDTask>(), context);
    }
    std::string chain() { return chain_testing::names(rows()); }
    ZRCDTiming* stopped(ZRCDTask* task) {
        return ZRCDTiming::createCoreDataTimingWithStartDate(
            berlin(11, 9), berlin(11, 10), task, std::nullopt, 0, std::nullopt, context);
    }
    ZRCDTiming* running(ZRCDTask* task) {
        return ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    }
    std::size_t funks() const { return delegate.sound.played().size(); }

    std::map<std::string, ZRCDTask*> tasks;
    ScriptedAlertPresenter alerts;
    ScopedAlertPresenter scopedAlerts{alerts};
    TaskTreeEditor editor{delegate, &timer()};
};

TEST_F(TaskTreeEditorTest, AddedTaskIsUntitledOnTopAsOneSavedStep) {
    tree("A B");
    const int saves = delegate.saves;
    ZRCDTask* added = editor.addTask();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->taskName(), "Untitled Task");
    EXPECT_EQ(chain(), "Untitled Task A B");
    EXPECT_EQ(undoName(), "Add Task");
    EXPECT_EQ(delegate.saves, saves + 1);
    context.undoManager()->undo();
    EXPECT_TRUE(added->isDeleted());
    EXPECT_EQ(chain(), "A B");
}

TEST_F(TaskTreeEditorTest, SubtasksAreRefusedUnderTimeRunningTimersAndTheThirdTier) {
    tree("A A1<A A1a<A1 Timed Running");
    stopped(tasks["Timed"]);
    running(tasks["Running"]);
    settle();
    const std::string before = chain();

    EXPECT_EQ(editor.addChildTaskToTask(tasks["A1a"], false), nullptr);
    EXPECT_EQ(editor.addChildTaskToTask(tasks["Timed"], false), nullptr);
    EXPECT_EQ(editor.addChildTaskToTask(tasks["Running"], false), nullptr);
    EXPECT_EQ(editor.addChildTaskToTask(nullptr, false), nullptr);
    EXPECT_EQ(funks(), 4u);
    EXPECT_EQ(delegate.sound.played().front(), "Funk");
    EXPECT_EQ(chain(), before);
    EXPECT_FALSE(context.undoManager()->canUndo());
}

TEST_F(TaskTreeEditorTest, SubtaskIsAddedFirstAndShownUnlessASearchHidesItsGroup) {
    tree("A A1<A B");
    tasks["A1"]->setIsVisibleInMenuBar(false);  // A's group is collapsed in the menu bar
    settle();

    ZRCDTask* first = editor.addChildTaskToTask(tasks["B"], true);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->taskName(), "Untitled Subtask");
    EXPECT_EQ(first->parentTask(), tasks["B"]);
    EXPECT_TRUE(first->isVisibleInMenuBar());  // B had no other child
    EXPECT_EQ(undoName(), "Add Subtask");

    ZRCDTask* searching = editor.addChildTaskToTask(tasks["A"], true);
    EXPECT_FALSE(searching->isVisibleInMenuBar());  // takes its collapsed group's state
    ZRCDTask* plain = editor.addChildTaskToTask(tasks["A"], false);
    EXPECT_TRUE(plain->isVisibleInMenuBar());
    EXPECT_EQ(chain(), "A Untitled Subtask Untitled Subtask A1 B Untitled Subtask");
    EXPECT_TRUE(chain_testing::chainProblems(context).empty());
}

TEST_F(TaskTreeEditorTest, DeletingArchivedSubtasksAsksFirst) {
    tree("A A1<A A2<A A3<A B B1<B");
    tasks["A1"]->setIsArchived(true);
    tasks["A2"]->setIsArchived(true);
    tasks["B1"]->setIsArchived(true);
    settle();

    alerts.queueButton(1);  // Cancel
    EXPECT_FALSE(editor.deleteTaskAndSubtasks(tasks["A"]));
    ASSERT_EQ(alerts.shownAlerts().size(), 1u);
    const Alert& several = alerts.shownAlerts()[0];
    EXPECT_EQ(several.messageText, "You are about to delete archived tasks");
    EXPECT_EQ(several.informativeText,
              "Deleting this task will also delete 2 archived subtasks. To display these tasks "
              "open the main window and select 'Show archived tasks' from the view menu.");
    EXPECT_EQ(several.buttons, (std::vector<std::string>{"Delete", "Cancel"}));
    EXPECT_FALSE(tasks["A"]->isDeleted());

    EXPECT_TRUE(editor.deleteTaskAndSubtasks(tasks["B"]));  // the first button: Delete
    const Alert& one = alerts.shownAlerts()[1];
    EXPECT_EQ(one.messageText, "You are about to delete an archived task");
    EXPECT_EQ(one.informativeText,
              "Deleting this task will also delete one archived subtask. To display this task "
              "open the main window and select 'Show archived tasks' from the view menu.");
    EXPECT_TRUE(tasks["B1"]->isDeleted());
    EXPECT_EQ(undoName(), "Delete Tasks");
    EXPECT_EQ(chain(), "A A1 A2 A3");

    // Nothing archived below: no question.
    EXPECT_TRUE(editor.deleteTaskAndSubtasks(tasks["A3"]));
    EXPECT_EQ(alerts.shownAlerts().size(), 2u);
    EXPECT_FALSE(editor.deleteTaskAndSubtasks(nullptr));
    EXPECT_EQ(funks(), 1u);
}

TEST_F(TaskTreeEditorTest, DeletingButKeepingSubtasksAsksNothing) {
    tree("A A1<A A1a<A1 A1b<A1");
    tasks["A1a"]->setIsArchived(true);
    settle();
    EXPECT_TRUE(editor.deleteTaskKeepingSubtasks(tasks["A1"]));
    EXPECT_TRUE(alerts.shownAlerts().empty());
    EXPECT_EQ(tasks["A1a"]->parentTask(), tasks["A"]);
    EXPECT_EQ(chain(), "A A1a A1b");
}

TEST_F(TaskTreeEditorTest, ArchivingStopsTheTimersBelowAndArchivesTheWholeBranch) {
    tree("A A1<A A1a<A1 A2<A B");
    ZRCDTiming* timing = running(tasks["A1a"]);
    ZRCDTiming* elsewhere = running(tasks["B"]);
    settle();
    clock.advance(600.0);

    EXPECT_TRUE(editor.archive(tasks["A1"]));
    EXPECT_FALSE(timing->running());
    EXPECT_TRUE(elsewhere->running());
    EXPECT_TRUE(tasks["A1"]->isArchived());
    EXPECT_TRUE(tasks["A1a"]->isArchived());
    EXPECT_FALSE(tasks["A"]->isArchived());
    EXPECT_FALSE(tasks["A2"]->isArchived());
    EXPECT_EQ(undoName(), "Archive Task");

    context.undoManager()->undo();
    EXPECT_FALSE(tasks["A1a"]->isArchived());
    EXPECT_TRUE(timing->running());
}

TEST_F(TaskTreeEditorTest, UnarchivingASubSubtaskUnarchivesItsParentAndGrandparent) {
    tree("A A1<A A1a<A1 A2<A");
    EXPECT_TRUE(editor.archive(tasks["A"]));
    EXPECT_TRUE(editor.unArchive(tasks["A1a"]));
    EXPECT_FALSE(tasks["A1a"]->isArchived());
    EXPECT_FALSE(tasks["A1"]->isArchived());
    EXPECT_FALSE(tasks["A"]->isArchived());
    EXPECT_TRUE(tasks["A2"]->isArchived());
    EXPECT_EQ(undoName(), "Unarchive Task");
}

TEST_F(TaskTreeEditorTest, SubtaskArchivingLeavesTheTaskItself) {
    tree("A A1<A A1a<A1 A2<A");
    ZRCDTiming* timing = running(tasks["A2"]);
    settle();
    clock.advance(600.0);
    EXPECT_TRUE(editor.archiveSubtasks(tasks["A"]));
    EXPECT_FALSE(timing->running());
    EXPECT_FALSE(tasks["A"]->isArchived());
    for (const char* name : {"A1", "A1a", "A2"}) {
        EXPECT_TRUE(tasks[name]->isArchived()) << name;
        EXPECT_FALSE(tasks[name]->isVisibleInMenuBar()) << name;
    }
    EXPECT_EQ(undoName(), "Archive Subtasks");

    tasks["A"]->setIsArchived(true);
    EXPECT_TRUE(editor.unArchiveSubtasks(tasks["A1"]));
    EXPECT_FALSE(tasks["A1a"]->isArchived());
    EXPECT_FALSE(tasks["A"]->isArchived());  // the parent of A1
    EXPECT_TRUE(tasks["A1"]->isArchived());  // the task itself stays
    EXPECT_EQ(undoName(), "Unarchive Subtasks");
}

TEST_F(TaskTreeEditorTest, DropWithOneModifierKeyMergesTasks) {
    tree("Meetings Design Other");
    tasks["Meetings"]->setTaskName("Client A Meetings");
    tasks["Design"]->setTaskName("Client A Design");
    ZRCDTiming* timing = running(tasks["Design"]);
    stopped(tasks["Meetings"]);
    settle();
    clock.advance(60.0);

    EXPECT_EQ(editor.dropTaskOnTask(tasks["Design"], tasks["Meetings"],
                                    TaskTreeEditor::kShiftKey | TaskTreeEditor::kCommandKey),
              Drop::refused);
    EXPECT_FALSE(tasks["Design"]->isDeleted());

    EXPECT_EQ(editor.dropTaskOnTask(tasks["Design"], tasks["Meetings"], TaskTreeEditor::kOptionKey),
              Drop::merged);
    EXPECT_TRUE(tasks["Design"]->isDeleted());
    EXPECT_EQ(tasks["Meetings"]->taskName(), "Client A Meetings + Design");
    EXPECT_FALSE(timing->running());
    EXPECT_EQ(timing->task(), tasks["Meetings"]);
    EXPECT_EQ(tasks["Meetings"]->timings().size(), 2u);
    EXPECT_EQ(undoName(), "Merge Tasks");
    EXPECT_EQ(chain(), "Client A Meetings + Design Other");

    context.undoManager()->undo();
    EXPECT_FALSE(tasks["Design"]->isDeleted());
    EXPECT_EQ(timing->task(), tasks["Design"]);
}

TEST_F(TaskTreeEditorTest, MergingThatWouldGiveAParentTimingsIsRefused) {
    tree("Alpha Beta P P1<P");
    stopped(tasks["Beta"]);
    settle();
    EXPECT_EQ(editor.dropTaskOnTask(tasks["Beta"], tasks["P"], TaskTreeEditor::kControlKey),
              Drop::refused);
    EXPECT_EQ(editor.dropTaskOnTask(tasks["P"], tasks["Beta"], TaskTreeEditor::kControlKey),
              Drop::refused);
    EXPECT_EQ(funks(), 2u);
    EXPECT_EQ(editor.dropTaskOnTask(tasks["Beta"], tasks["Alpha"], TaskTreeEditor::kControlKey),
              Drop::merged);
    EXPECT_EQ(tasks["Alpha"]->taskName(), "Alpha + Beta");
}

TEST_F(TaskTreeEditorTest, DropWithoutKeysMakesAChild) {
    tree("A A1<A B C");
    EXPECT_EQ(editor.dropTaskOnTask(tasks["C"], tasks["A"], 0), Drop::madeChild);
    EXPECT_EQ(tasks["C"]->parentTask(), tasks["A"]);
    EXPECT_EQ(chain(), "A C A1 B");
    EXPECT_EQ(undoName(), "Rearrange Task");

    // Already its parent, its own descendant, or a fourth tier: refused.
    EXPECT_EQ(editor.dropTaskOnTask(tasks["C"], tasks["A"], 0), Drop::refused);
    EXPECT_EQ(editor.dropTaskOnTask(tasks["A"], tasks["C"], 0), Drop::refused);
    EXPECT_EQ(editor.dropTaskOnTask(tasks["A"], tasks["B"], 0), Drop::madeChild);
    EXPECT_EQ(chain(), "B A C A1");
    EXPECT_EQ(editor.dropTaskOnTask(tasks["A1"], tasks["C"], 0), Drop::refused);
    EXPECT_EQ(funks(), 3u);
}

TEST_F(TaskTreeEditorTest, DropOnATaskThatHoldsTimeMakesANewParentForBoth) {
    tree("P T<P D");
    stopped(tasks["T"]);
    tasks["T"]->setIsArchived(true);
    tasks["T"]->setIsVisibleInMenuBar(false);
    settle();

    EXPECT_EQ(editor.dropTaskOnTask(tasks["D"], tasks["T"], 0), Drop::madeChildOfNewParent);
    ZRCDTask* holder = tasks["T"]->parentTask();
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->taskName(), "Untitled Task");
    EXPECT_EQ(holder->parentTask(), tasks["P"]);
    EXPECT_EQ(tasks["D"]->parentTask(), holder);
    EXPECT_FALSE(holder->isVisibleInMenuBar());
    EXPECT_FALSE(holder->taskIsSelected());
    EXPECT_FALSE(holder->isArchived());  // D was not archived
    EXPECT_EQ(holder->createdDay(), 20240312);
    EXPECT_EQ(tasks["T"]->timings().size(), 1u);
    EXPECT_EQ(chain(), "P Untitled Task T D");
    EXPECT_TRUE(chain_testing::chainProblems(context).empty());
    EXPECT_EQ(undoName(), "Rearrange Task");
}

TEST_F(TaskTreeEditorTest, DropBetweenRowsReordersWithinAGroupAndMovesBetweenGroups) {
    tree("A A1<A A2<A A3<A B B1<B C");
    // Rows: 0 A, 1 A1, 2 A2, 3 A3, 4 B, 5 B1, 6 C. A3 to the top of its group.
    EXPECT_TRUE(editor.dropTaskBetweenRows(tasks["A3"], 1, 3, rows()));
    EXPECT_EQ(chain(), "A A3 A1 A2 B B1 C");
    EXPECT_EQ(undoName(), "Rearrange Task");

    // A1 dropped at the end of its own group stays in it.
    EXPECT_TRUE(editor.dropTaskBetweenRows(tasks["A1"], 4, 2, rows()));
    EXPECT_EQ(tasks["A1"]->parentTask(), tasks["A"]);
    EXPECT_EQ(chain(), "A A3 A2 A1 B B1 C");

    // C between B and B1 joins B's group; B1 hidden in the menu bar makes C hidden too.
    tasks["B1"]->setIsVisibleInMenuBar(false);
    EXPECT_TRUE(editor.dropTaskBetweenRows(tasks["C"], 5, 6, rows()));
    EXPECT_EQ(tasks["C"]->parentTask(), tasks["B"]);
    EXPECT_FALSE(tasks["C"]->isVisibleInMenuBar());
    EXPECT_EQ(chain(), "A A3 A2 A1 B C B1");

    // A, with its subtasks, between B and C joins B's group too: three tiers are allowed.
    EXPECT_TRUE(editor.dropTaskBetweenRows(tasks["A"], 5, 0, rows()));
    EXPECT_EQ(tasks["A"]->parentTask(), tasks["B"]);
    EXPECT_EQ(chain(), "B A A3 A2 A1 C B1");

    // Dropped onto its own place: nothing to do.
    const std::string before = chain();
    EXPECT_FALSE(editor.dropTaskBetweenRows(tasks["B1"], 6, 6, rows()));
    EXPECT_EQ(chain(), before);
}

TEST_F(TaskTreeEditorTest, DropBetweenRowsLiftsTheParentToKeepThreeTiers) {
    tree("A A1<A B B1<B B1a<B1");
    // Between B1 and B1a: B1's group, but A's subtasks would be a fourth tier there.
    ASSERT_TRUE(editor.dropTaskBetweenRows(tasks["A"], 4, 0, rows()));
    EXPECT_EQ(tasks["A"]->parentTask(), tasks["B"]);
    EXPECT_EQ(chain(), "B B1 B1a A A1");
    EXPECT_TRUE(chain_testing::chainProblems(context).empty());
}

TEST_F(TaskTreeEditorTest, DropBetweenRowsIsUndoneAsOneStep) {
    tree("A A1<A B C");
    // Between A and A1: the top of A's group.
    ASSERT_TRUE(editor.dropTaskBetweenRows(tasks["C"], 1, 3, rows()));
    EXPECT_EQ(chain(), "A C A1 B");
    EXPECT_EQ(tasks["C"]->parentTask(), tasks["A"]);
    context.undoManager()->undo();
    EXPECT_EQ(chain(), "A A1 B C");
    EXPECT_EQ(tasks["C"]->parentTask(), nullptr);
    EXPECT_TRUE(chain_testing::chainProblems(context).empty());

    // Between A1 and B, outside any group C was in: the top level.
    ASSERT_TRUE(editor.dropTaskBetweenRows(tasks["C"], 2, 3, rows()));
    EXPECT_EQ(chain(), "A A1 C B");
    EXPECT_EQ(tasks["C"]->parentTask(), nullptr);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "core/chain/ChainTreeChanges.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "tests/core/chain/ChainTestSupport.h"

namespace ravelong {
namespace {

using chain_testing::chainProblems;
using chain_testing::Forest;

// A (A1 (A1a) A2)  B (B1)  C
class ChainTreeChanges : public ::testing::Test {
protected:
    ChainTreeChanges() {
        forest.grow("A A1<A A1a<A1 A2<A B B1<B C");
        forest.context().processPendingChanges();
        forest.undo().removeAllActions();
    }
    Forest forest;
};

TEST_F(ChainTreeChanges, MadeChildMovesWithItsSubtasksRightBehindTheNewParent) {
    forest["B1"]->setIsVisibleInMenuBar(false);
    forest["B1"]->setIsVisibleInDataSelection(true);
    ASSERT_TRUE(task_chain::makeChildOfTask(forest["A1"], forest["B"]));
    EXPECT_EQ(forest["A1"]->parentTask(), forest["B"]);
    EXPECT_EQ(forest.chain(), "A A2 B A1 A1a B1 C");
    // Visibility comes from the sibling it joined.
    EXPECT_FALSE(forest["A1"]->isVisibleInMenuBar());
    EXPECT_TRUE(forest["A1"]->isVisibleInDataSelection());
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST_F(ChainTreeChanges, FirstChildOfAParentStartsHidden) {
    ASSERT_TRUE(task_chain::makeChildOfTask(forest["B"], forest["C"]));
    EXPECT_EQ(forest.chain(), "A A1 A1a A2 C B B1");
    EXPECT_FALSE(forest["B"]->isVisibleInMenuBar());
    EXPECT_FALSE(forest["B"]->isVisibleInDataSelection());
    EXPECT_EQ(forest["B1"]->parentTask()->parentTask(), forest["C"]);
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST_F(ChainTreeChanges, MakingAChildIsRefusedWhenTheTreeWouldBreak) {
    // A has two tiers below it: under any parent that makes four.
    EXPECT_FALSE(task_chain::makeChildOfTask(forest["A"], forest["B"]));
    // A1 has one tier below it: under a subtask that makes four.
    EXPECT_FALSE(task_chain::makeChildOfTask(forest["A1"], forest["B1"]));
    EXPECT_FALSE(task_chain::makeChildOfTask(forest["C"], forest["A1a"]));
    // A loop in the tree, and nonsense.
    EXPECT_FALSE(task_chain::makeChildOfTask(forest["A1"], forest["A1a"]));
    EXPECT_FALSE(task_chain::makeChildOfTask(forest["C"], forest["C"]));
    EXPECT_FALSE(task_chain::makeChildOfTask(nullptr, forest["C"]));
    EXPECT_FALSE(task_chain::makeChildOfTask(forest["C"], nullptr));

    EXPECT_EQ(forest.chain(), "A A1 A1a A2 B B1 C");
    forest.context().processPendingChanges();
    EXPECT_FALSE(forest.undo().canUndo());

    // A leaf may still go under a subtask, and a one-tier task under a top-level task.
    EXPECT_TRUE(task_chain::makeChildOfTask(forest["C"], forest["B1"]));
    EXPECT_EQ(forest.chain(), "A A1 A1a A2 B B1 C");
    EXPECT_TRUE(task_chain::makeChildOfTask(forest["A1"], forest["B"]));
    EXPECT_EQ(forest.chain(), "A A2 B A1 A1a B1 C");
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST_F(ChainTreeChanges, DeletingWithSubtasksIsOneUndoStepThatTakesTheirTimeAlongOrOneTaskStep) {
    auto* timing = forest.context().insertNewObject<ZRCDTiming>();
    timing->setTask(forest["A1a"]);
    auto* set = forest.context().insertNewObject<ZRCDTimingSet>();
    set->setTask(forest["A1a"]);
    forest.context().processPendingChanges();
    forest.undo().removeAllActions();

    ASSERT_TRUE(task_chain::removeCoreDataTaskAndDescendants(forest["A1"]));
    EXPECT_TRUE(forest["A1"]->isDeleted());
    EXPECT_TRUE(forest["A1a"]->isDeleted());
    EXPECT_TRUE(timing->isDeleted());
    EXPECT_TRUE(set->isDeleted());
    EXPECT_EQ(forest.chain(), "A A2 B B1 C");
    EXPECT_TRUE(chainProblems(forest.context()).empty());
    EXPECT_EQ(forest.undo().undoActionName(), "Delete Tasks");
    EXPECT_EQ(forest.undo().undoCount(), 1u);

    forest.undo().undo();
    EXPECT_FALSE(forest["A1a"]->isDeleted());
    EXPECT_EQ(timing->task(), forest["A1a"]);
    EXPECT_EQ(forest.chain(), "A A1 A1a A2 B B1 C");

    // A task without subtasks names the step in the singular.
    ASSERT_TRUE(task_chain::removeCoreDataTaskAndDescendants(forest["C"]));
    EXPECT_EQ(forest.undo().undoActionName(), "Delete Task");
    EXPECT_EQ(forest.chain(), "A A1 A1a A2 B B1");
    EXPECT_FALSE(task_chain::removeCoreDataTaskAndDescendants(forest["C"]));
    EXPECT_FALSE(task_chain::removeCoreDataTaskAndDescendants(nullptr));
}

TEST_F(ChainTreeChanges, DeletingButKeepingSubtasksMovesThemUpInPlace) {
    forest["A1"]->setIsVisibleInMenuBar(true);
    forest["A1a"]->setIsVisibleInMenuBar(false);
    forest["A1"]->setIsVisibleInDataSelection(false);
    forest["A1a"]->setIsVisibleInDataSelection(true);
    forest.context().processPendingChanges();
    forest.undo().removeAllActions();

    ASSERT_TRUE(task_chain::removeCoreDataTaskAndKeepDescendants(forest["A1"]));
    EXPECT_EQ(forest["A1a"]->parentTask(), forest["A"]);
    EXPECT_TRUE(forest["A1a"]->isVisibleInMenuBar());        // was on for the deleted task
    EXPECT_TRUE(forest["A1a"]->isVisibleInDataSelection());  // off there: left as it was
    EXPECT_EQ(forest.chain(), "A A1a A2 B B1 C");
    EXPECT_EQ(forest.undo().undoActionName(), "Delete Task");

    ASSERT_TRUE(task_chain::removeCoreDataTaskAndKeepDescendants(forest["B"]));
    EXPECT_EQ(forest["B1"]->parentTask(), nullptr);
    EXPECT_EQ(forest.chain(), "A A1a A2 B1 C");
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST_F(ChainTreeChanges, FourthTierBecomesSiblingsInTheirOrder) {
    forest.grow("X<A1a Xa<X Y<A1a", false);
    forest.link("A A1 A1a X Xa Y A2 B B1 C");
    forest["A1a"]->setIsVisibleInMenuBar(false);

    ASSERT_TRUE(task_chain::convertDescendantsToSiblings(forest["A1a"]));
    for (const char* name : {"X", "Xa", "Y"}) {
        EXPECT_EQ(forest[name]->parentTask(), forest["A1"]) << name;
        EXPECT_FALSE(forest[name]->isVisibleInMenuBar()) << name;
    }
    EXPECT_TRUE(forest["A1a"]->childTasks().empty());
    EXPECT_EQ(forest.chain(), "A A1 X Xa Y A1a A2 B B1 C");
    EXPECT_TRUE(chainProblems(forest.context()).empty());

    EXPECT_FALSE(task_chain::convertDescendantsToSiblings(forest["A1a"]));
    EXPECT_FALSE(task_chain::convertDescendantsToSiblings(forest["B"]));  // no parent
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "core/chain/ChainRepair.h"
#include "core/chain/TaskTree.h"
#include "tests/core/chain/ChainTestSupport.h"

namespace ravelong {
namespace {

using chain_testing::chainProblems;
using chain_testing::Forest;

bool repair(Forest& forest) {
    return task_chain::fixTaskChain_inContext(forest.context());
}

TEST(ChainRepair, SoundChainIsLeftUntouched) {
    Forest forest;
    forest.grow("A A1<A A1a<A1 B");
    forest.context().processPendingChanges();
    forest.undo().removeAllActions();

    EXPECT_FALSE(repair(forest));
    forest.context().processPendingChanges();
    EXPECT_FALSE(forest.undo().canUndo()) << "the repair wrote something";
    EXPECT_EQ(forest.chain(), "A A1 A1a B");
}

TEST(ChainRepair, TasksAddedOnTwoComputersAreJoinedNewestChainFirst) {
    // Both computers appended a task to A B C; the merged file kept C -> Y only.
    Forest forest;
    forest.grow("A@100 B@200 C@300 Y@2000 X@1000", false);
    forest.link("A B C Y");

    EXPECT_TRUE(repair(forest));
    // Mean creation: A B C Y 650, X 1000.
    EXPECT_EQ(forest.chain(), "X A B C Y");
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST(ChainRepair, OlderSecondChainGoesAfterAndEqualMeansKeepTheFirstMet) {
    Forest forest;
    forest.grow("A@500 B@700 Old@10", false);
    forest.link("A B");
    EXPECT_TRUE(repair(forest));
    EXPECT_EQ(forest.chain(), "A B Old");

    Forest same;
    same.grow("A@500 B@600 C@550", false);
    same.link("A B");
    EXPECT_TRUE(task_chain::fixTaskChain_inContext(same.context()));
    EXPECT_EQ(same.chain(), "A B C");
}

TEST(ChainRepair, ChainOfOneTasksSubtasksIsSplicedBehindIt) {
    Forest forest;
    forest.grow("A@100 A1<A@100 A2<A@100 B@100");
    forest.add("A3", "A", 9000);  // newest: joining by date alone would put it on top

    EXPECT_TRUE(repair(forest));
    EXPECT_EQ(forest.chain(), "A A3 A1 A2 B");
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST(ChainRepair, SeparatedSubtaskScoresInConditionThreeAndMovesBackBehindItsParent) {
    Forest forest;
    forest.grow("A A1<A B A2<A");
    EXPECT_EQ(task_chain::condition3MetricWithAllTasks(forest.all()), 1);
    EXPECT_EQ(task_chain::condition2Metric(forest["A"]), 0);

    EXPECT_TRUE(repair(forest));
    EXPECT_EQ(forest.chain(), "A A1 A2 B");
    EXPECT_EQ(task_chain::condition3MetricWithAllTasks(forest.all()), 0);
}

TEST(ChainRepair, ConditionTwoCountsTopLevelTasksFollowedBySubSubtasks) {
    Forest forest;
    forest.grow("A A1<A A1a<A1 B B1<B B1a<B1", false);
    forest.link("A A1a A1 B B1a B1");
    EXPECT_EQ(task_chain::condition2Metric(forest["A"]), 2);
    EXPECT_EQ(task_chain::condition2Metric(forest["A1"]), 1);
    EXPECT_TRUE(task_chain::checkCondition1(forest["A1"]));
    EXPECT_FALSE(task_chain::checkCondition1(forest["B"]));
    // A's and B's descendants stand in one run right behind them; A1a and B1a do not stand
    // right behind their parents.
    EXPECT_EQ(task_chain::condition3MetricWithAllTasks(forest.all()), 2);
}

TEST(ChainRepair, FourthAndFifthTiersAreLiftedToTheThirdTier) {
    Forest forest;
    forest.grow("A A1<A A1a<A1 Deep<A1a Deeper<Deep");
    forest["A1a"]->setIsVisibleInMenuBar(false);

    EXPECT_TRUE(repair(forest));
    EXPECT_EQ(forest["Deep"]->parentTask(), forest["A1"]);
    EXPECT_EQ(forest["Deeper"]->parentTask(), forest["A1"]);
    EXPECT_FALSE(forest["Deep"]->isVisibleInMenuBar());
    EXPECT_FALSE(forest["Deeper"]->isVisibleInMenuBar());
    EXPECT_TRUE(forest["Deeper"]->isVisibleInDataSelection());
    EXPECT_EQ(forest.chain(), "A A1 A1a Deep Deeper");
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST(ChainRepair, TasksThatAreTheirOwnAncestorsLoseTheirParent) {
    Forest forest;
    forest.grow("Self P Q<P");
    forest["Self"]->setParentTask(forest["Self"]);
    forest["P"]->setParentTask(forest["Q"]);  // P and Q are each other's parent

    EXPECT_TRUE(repair(forest));
    EXPECT_EQ(forest["Self"]->parentTask(), nullptr);
    EXPECT_FALSE(task_tree::isOnParentCycle(forest["P"]));
    EXPECT_FALSE(task_tree::isOnParentCycle(forest["Q"]));
    EXPECT_EQ(forest.all().size(), 3u);
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST(ChainRepair, OneSidedLinksAreMadeMutualKeepingTheRealNeighbours) {
    // A store file in which A and B both name C as their next task.
    Forest forest;
    forest.grow("A B C D");
    chain_testing::setNextOneSided(forest["A"], forest["C"]);

    EXPECT_TRUE(repair(forest));
    EXPECT_EQ(forest.chain(), "A B C D");

    chain_testing::setNextOneSided(forest["D"], forest["D"]);  // a task linked to itself
    chain_testing::setPrevOneSided(forest["A"], forest["C"]);
    EXPECT_TRUE(repair(forest));
    EXPECT_EQ(forest.chain(), "A B C D");
}

TEST(ChainRepair, CycleWithoutHeadIsCutWhereNoTaskStandsBeforeItsParent) {
    Forest forest;
    forest.grow("A A1<A B B1<B");
    forest["B1"]->setNextTask(forest["A"]);

    // Cutting in front of A1 or B1 would put a subtask ahead of its parent; of the two good
    // cuts, the earlier in the array wins.
    ZRCDTask* head =
        task_chain::breakCircleOfChain({forest["A1"], forest["B"], forest["B1"], forest["A"]});
    EXPECT_EQ(head, forest["B"]);
    EXPECT_EQ(forest.chain(), "B B1 A A1");
    EXPECT_EQ(task_chain::breakCircleOfChain({}), nullptr);

    forest["A1"]->setNextTask(forest["B"]);
    EXPECT_TRUE(repair(forest));
    EXPECT_TRUE(chainProblems(forest.context()).empty());
}

TEST(ChainRepair, ThreeChainsAreJoinedInTheOrderThatScoresBest) {
    Forest forest;
    forest.grow("A A1<A A2<A B B1<B", false);
    forest.link("B B1");
    forest.link("A1 A2");  // A stands alone

    EXPECT_TRUE(repair(forest));
    EXPECT_TRUE(chainProblems(forest.context()).empty());
    // Of the six orders, those with A right before A1 A2 score 0; the first tried wins.
    EXPECT_EQ(forest.chain(), "A A1 A2 B B1");
}

TEST(ChainRepair, ManyChainsAreRebuiltByCreationDateNewestFirst) {
    Forest forest;
    forest.grow("T1@100 T2@500 T3@300 T4 T5@400 T3a<T3@1 T3b<T3@2", false);
    forest.link("T3 T3a");

    EXPECT_TRUE(repair(forest));
    EXPECT_EQ(forest.chain(), "T2 T5 T3 T3b T3a T1 T4");
}

TEST(ChainRepair, LaterRoundsFallBackToTheDepthFirstOrderOfTheChain) {
    Forest forest;
    forest.grow("A A1<A B A2<A C", false);
    forest.link("C A A1 B A2");
    forest["A2"]->setNextTask(forest["C"]);  // and a cycle

    EXPECT_TRUE(task_chain::fixTaskChainNumberOfRecursions(5, forest.context()));
    EXPECT_TRUE(chainProblems(forest.context()).empty());
    EXPECT_EQ(forest.all().size(), 5u);
}

TEST(ChainRepair, RebuildByDateOrdersEveryLevelNewestFirst) {
    Forest forest;
    forest.grow("NoDate A@100 A1<A@10 A2<A@20 A2x<A2@5 A2y<A2@6 B@200");

    // Already depth first: the rebuild in chain order writes nothing.
    EXPECT_FALSE(task_chain::rebuildTasksUsingDate(false, forest.all(), forest.context()));
    EXPECT_EQ(forest.chain(), "NoDate A A1 A2 A2x A2y B");

    EXPECT_TRUE(task_chain::rebuildTasksUsingDate(true, forest.all(), forest.context()));
    EXPECT_EQ(forest.chain(), "B A A2 A2y A2x A1 NoDate");
    EXPECT_FALSE(task_chain::rebuildTasksUsingDate(true, forest.all(), forest.context()));
}

}  // namespace
}  // namespace ravelong

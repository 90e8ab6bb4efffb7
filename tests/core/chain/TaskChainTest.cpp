#include <gtest/gtest.h>

#include "core/chain/ChainRepair.h"
#include "core/chain/TaskChain.h"
#include "tests/core/chain/ChainTestSupport.h"

namespace ravelong {
namespace {

using chain_testing::Forest;
using chain_testing::names;

// A  (A1 (A1a) A2)  B  (B1)  C
class TaskChainTest : public ::testing::Test {
protected:
    TaskChainTest() { forest.grow("A A1<A A1a<A1 A2<A B B1<B C"); }
    Forest forest;
};

TEST(TaskChainSingle, OneTaskIsHeadTailAndPositionZeroAndNoneIsNeither) {
    Forest forest;
    EXPECT_EQ(task_chain::getTopTask_inContext(forest.context()), nullptr);
    EXPECT_EQ(task_chain::getBottomTask_inContext(forest.context()), nullptr);
    ZRCDTask* only = forest.add("Only");
    EXPECT_EQ(only->viewPosition(), 0);
    EXPECT_EQ(task_chain::getTopTask_inContext(forest.context()), only);
    EXPECT_EQ(task_chain::getBottomTask_inContext(forest.context()), only);
    EXPECT_EQ(task_chain::getLastTask(only), only);
    EXPECT_EQ(task_chain::getNextTaskSkippingDescendants(only), nullptr);
}

TEST_F(TaskChainTest, PositionsCountStepsBackToAGivenTaskAndGiveUpOnALoop) {
    EXPECT_EQ(task_chain::getViewPositionWithFirstTask(forest["B"], forest["A"]), 4);
    EXPECT_EQ(task_chain::getViewPositionWithFirstTask(forest["B"], forest["B"]), 0);
    EXPECT_EQ(task_chain::getViewPositionWithFirstTask(forest["B"], forest["A2"]), 1);
    // A task after it is never met walking back, nor one outside a loop.
    EXPECT_EQ(task_chain::getViewPositionWithFirstTask(forest["B"], forest["C"]), -1);
    ZRCDTask* outside = forest.add("Outside");
    forest["C"]->setNextTask(forest["A"]);  // no head left
    EXPECT_EQ(task_chain::getViewPositionWithFirstTask(forest["B"], outside), -1);
    EXPECT_EQ(task_chain::getViewPositionWithFirstTask(forest["B"], forest["C"]), 5);
}

TEST_F(TaskChainTest, WalksFindTheEndAndSkipDescendants) {
    EXPECT_EQ(task_chain::getLastTask(forest["A1"]), forest["C"]);
    EXPECT_EQ(task_chain::getNextTaskSkippingDescendants(forest["A"]), forest["B"]);
    EXPECT_EQ(task_chain::getNextTaskSkippingDescendants(forest["A1"]), forest["A2"]);
    EXPECT_EQ(task_chain::getNextTaskSkippingDescendants(forest["B"]), forest["C"]);
    EXPECT_EQ(task_chain::getNextTaskSkippingDescendants(forest["C"]), nullptr);

    forest["C"]->setNextTask(forest["A"]);
    EXPECT_EQ(task_chain::getLastTask(forest["B"]), forest["A2"]);
}

TEST_F(TaskChainTest, FirstAndLastOfAnArrayFollowTheLinksWithinTheArray) {
    const std::vector<ZRCDTask*> middle{forest["A2"], forest["A1a"], forest["B"]};
    EXPECT_EQ(task_chain::getFirstTaskOfChain(middle), forest["A1a"]);
    EXPECT_EQ(task_chain::getLastTaskOfChain(middle), forest["B"]);
    EXPECT_EQ(task_chain::getFirstTaskOfChain({}), nullptr);
}

TEST_F(TaskChainTest, SplitAndJoinChainsRoundTrip) {
    const std::vector<std::vector<ZRCDTask*>> parts{
        {forest["A"], forest["A1"], forest["A1a"], forest["A2"]},
        {forest["B"], forest["B1"]},
        {forest["C"]}};
    task_chain::splitChains(parts);
    EXPECT_EQ(forest["A2"]->nextTask(), nullptr);
    EXPECT_EQ(forest["B"]->prevTask(), nullptr);
    EXPECT_EQ(forest["C"]->prevTask(), nullptr);

    task_chain::joinChains({parts[2], parts[0], parts[1]});
    EXPECT_EQ(forest.chain(), "C A A1 A1a A2 B B1");
    EXPECT_TRUE(chain_testing::chainProblems(forest.context()).empty());
}

TEST_F(TaskChainTest, SortingFollowsTheChainWhateverTheInputOrder) {
    auto sorted = task_chain::sortArrayOfTasksByViewPosition(
        {forest["C"], forest["A1a"], forest["B"], forest["A"], forest["C"]}, forest.context());
    EXPECT_EQ(names(sorted), "A A1a B C");

    // Fewer than two tasks come back as given.
    EXPECT_EQ(names(task_chain::sortSetOfTasksByViewPosition({forest["B1"]}, forest.context())),
              "B1");
    EXPECT_TRUE(task_chain::sortArrayOfTasksByViewPosition({}, forest.context()).empty());
}

TEST_F(TaskChainTest, SortingACycleRepairsItAndReturnsEveryTaskOnce) {
    forest["C"]->setNextTask(forest["A"]);  // a cycle without any head
    ASSERT_EQ(forest.chain(), "<no single head>");

    auto sorted = task_chain::sortArrayOfTasksByViewPosition(forest.all(), forest.context());
    EXPECT_EQ(names(sorted), "A A1 A1a A2 B B1 C");
    EXPECT_TRUE(chain_testing::chainProblems(forest.context()).empty());
}

TEST_F(TaskChainTest, SortingTasksOnSeparateChainsJoinsThemInsteadOfDroppingAny) {
    forest["B1"]->setNextTask(nullptr);  // C is a chain of its own now
    auto sorted =
        task_chain::sortArrayOfTasksByViewPosition({forest["B"], forest["C"]}, forest.context());
    ASSERT_EQ(sorted.size(), 2u);
    EXPECT_TRUE(chain_testing::chainProblems(forest.context()).empty());
    EXPECT_EQ(sorted[0]->viewPosition() < sorted[1]->viewPosition(), true);
}

TEST_F(TaskChainTest, SortingKeepsADeletedTaskAtTheEnd) {
    ZRCDTask* gone = forest["B1"];
    gone->setPrevTask(nullptr);
    gone->setNextTask(nullptr);
    forest["B"]->setNextTask(forest["C"]);
    forest.context().deleteObject(gone);
    auto sorted = task_chain::sortArrayOfTasksByViewPosition({gone, forest["C"], forest["A"]},
                                                             forest.context());
    EXPECT_EQ(names(sorted), "A C B1");
}

TEST_F(TaskChainTest, TopAndBottomRepairTwoTails) {
    // Two computers each added a task at the bottom; the merge kept only one of the links.
    forest.add("Late", "", 900.0);
    EXPECT_EQ(task_chain::getTopTask_inContext(forest.context()), forest["Late"]);
    EXPECT_EQ(task_chain::getBottomTask_inContext(forest.context()), forest["C"]);
    EXPECT_TRUE(chain_testing::chainProblems(forest.context()).empty());
}

TEST_F(TaskChainTest, LookupRepairsAreNotUndoSteps) {
    forest.undo().removeAllActions();
    forest["C"]->setPrimitiveValue(ZRCDTask::kPrevTask,
                                   Value(static_cast<ManagedObject*>(nullptr)));
    forest["B1"]->setPrimitiveValue(ZRCDTask::kNextTask,
                                    Value(static_cast<ManagedObject*>(nullptr)));
    ASSERT_NE(task_chain::getTopTask_inContext(forest.context()), nullptr);
    EXPECT_TRUE(chain_testing::chainProblems(forest.context()).empty());
    forest.context().processPendingChanges();
    EXPECT_FALSE(forest.undo().canUndo());
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "core/chain/ChainRepair.h"
#include "core/chain/ChainTreeChanges.h"
#include "core/model/ZRCDOrigin.h"
#include "core/tree/TreeRepairs.h"
#include "core/tree/TreeTexts.h"
#include "tests/core/chain/ChainTestSupport.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;

using TreeRepairs = ModelTest;

bool repair(ManagedObjectContext& context) {
    return task_tree_repairs::fixParentTaskTimingsAndArchive_inContext(context);
}

TEST_F(TreeRepairs, SoundTasksAreLeftAlone) {
    ZRCDTask* parent = newTask("Client");
    ZRCDTask* child = newTask("Design");
    task_chain::makeChildOfTask(child, parent);
    stoppedTiming(child, berlin(2024, 3, 4, 9), berlin(2024, 3, 4, 10));
    EXPECT_FALSE(repair(context));
}

TEST_F(TreeRepairs, MissingFieldsAreFilledIn) {
    ZRCDTask* bare = context.insertNewObject<ZRCDTask>();
    ZRCDTask* dated = context.insertNewObject<ZRCDTask>();
    dated->setTaskName("Dated");
    dated->setDate(berlin(2023, 7, 14, 23, 30));
    ZRCDTask* timed = context.insertNewObject<ZRCDTask>();
    timed->setTaskName("Timed");
    timed->setUuid("TIMED");
    stoppedTiming(timed, berlin(2022, 1, 2, 9), berlin(2022, 1, 2, 10));
    ZRCDTiming* later = stoppedTiming(timed, berlin(2022, 5, 2, 9), berlin(2022, 5, 2, 10));
    later->setOrigin(nullptr);

    EXPECT_TRUE(repair(context));
    EXPECT_EQ(bare->taskName(), std::string(kRecoveredTask));
    ASSERT_TRUE(bare->uuid().has_value());
    EXPECT_EQ(bare->uuid()->size(), 36u);
    EXPECT_EQ(bare->createdDay(), 20240305);  // today
    EXPECT_EQ(bare->date(), berlin(2024, 3, 5, 12));
    EXPECT_TRUE(bare->taskColor().has_value());
    EXPECT_EQ(dated->createdDay(), 20230714);  // in the user's zone, not in UTC
    EXPECT_EQ(timed->createdDay(), 20220102);
    EXPECT_EQ(timed->date(), berlin(2022, 1, 2, 12));
    for (ZRCDTask* task : {bare, dated, timed}) {
        ASSERT_EQ(task->origins().size(), 1u);
        EXPECT_EQ((*task->origins().begin())->type(), 0);
    }
    ASSERT_NE(later->origin(), nullptr);
    EXPECT_EQ(later->origin()->udid(), model_testing::kTestUDID);
    EXPECT_FALSE(repair(context));
}

TEST_F(TreeRepairs, AnArchivedTaskAboveAnUnarchivedOneIsUnarchived) {
    ZRCDTask* top = newTask("Top");
    ZRCDTask* middle = newTask("Middle");
    ZRCDTask* leaf = newTask("Leaf");
    task_chain::makeChildOfTask(middle, top);
    task_chain::makeChildOfTask(leaf, middle);
    top->setIsArchived(true);
    middle->setIsArchived(true);
    ZRCDTask* archivedLeaf = newTask("Archived");
    archivedLeaf->setIsArchived(true);

    EXPECT_TRUE(repair(context));
    EXPECT_FALSE(top->isArchived());
    EXPECT_FALSE(middle->isArchived());
    EXPECT_TRUE(archivedLeaf->isArchived());
}

TEST_F(TreeRepairs, TimingsOfAParentMoveToANewSubtaskThatLooksLikeIt) {
    ZRCDTask* parent = newTask("Client");
    parent->setTaskDescription("Main client");
    parent->setRounding(115);
    ZRCDTiming* own = stoppedTiming(parent, berlin(2024, 3, 4, 9), berlin(2024, 3, 4, 10));
    ZRCDTask* child = newTask("Design");
    child->setParentTask(parent);  // as an old store had it, timings and a child at once
    task_chain::fixTaskChain_inContext(context);

    EXPECT_TRUE(repair(context));
    EXPECT_TRUE(parent->timings().empty());
    EXPECT_TRUE(parent->timingSets().empty());
    ZRCDTask* holder = own->task();
    ASSERT_NE(holder, parent);
    EXPECT_EQ(holder->parentTask(), parent);
    EXPECT_EQ(holder->taskName(), "Client");
    EXPECT_EQ(holder->taskDescription(), "Main client");
    EXPECT_EQ(holder->rounding(), 115);
    EXPECT_EQ(holder->createdDay(), parent->createdDay());
    EXPECT_NE(holder->uuid(), parent->uuid());
    EXPECT_EQ(holder->origins().size(), parent->origins().size());
    ASSERT_EQ(setsOf(holder).size(), 1u);
    EXPECT_DOUBLE_EQ(setsOf(holder)[0]->durationExcludingRunningTimings(), 3600.0);
    EXPECT_TRUE(chain_testing::chainProblems(context).empty());
}

}  // namespace
}  // namespace ravelong

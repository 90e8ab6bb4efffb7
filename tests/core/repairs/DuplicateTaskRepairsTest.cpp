#include <gtest/gtest.h>

#include "core/chain/ChainTreeChanges.h"
#include "core/model/ZRCDOrigin.h"
#include "core/repairs/DuplicateTaskRepairs.h"
#include "tests/core/chain/ChainTestSupport.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;

class DuplicateTaskRepairs : public ModelTest {
protected:
    // A copy of `task` as a second import of the same data makes it: same uuid, same days.
    ZRCDTask* copyOf(ZRCDTask* task, const std::string& name) {
        ZRCDTask* copy = newTask(name);
        copy->setUuid(task->uuid());
        copy->setCreatedDay(task->createdDay());
        copy->setDate(task->date());
        return copy;
    }
    std::string chainNames() const { return chain_testing::chainOf(context); }
};

TEST_F(DuplicateTaskRepairs, OneTaskImportedTwiceBecomesOneWithAllItsTime) {
    ZRCDTask* original = newTask("Design");
    stoppedTiming(original, berlin(2024, 3, 4, 9), berlin(2024, 3, 4, 10));
    ZRCDTask* copy = copyOf(original, "Design");
    ZRCDTiming* copied = stoppedTiming(copy, berlin(2024, 3, 4, 11), berlin(2024, 3, 4, 12));
    ZRCDTask* sub = newTask("Sub");
    ZRCDTask* other = newTask("Other");
    ASSERT_TRUE(task_chain::makeChildOfTask(sub, copy));
    ASSERT_EQ(chainNames(), "Other Design Sub Design");

    EXPECT_TRUE(store_repairs::fixDuplicateTaskIDs_inContext(context));
    // The first in the store absorbs the later one.
    EXPECT_TRUE(copy->isDeleted());
    ZRCDTask* survivor = original;
    EXPECT_EQ(survivor->taskName(), "Design");
    EXPECT_EQ(copied->task(), survivor);
    EXPECT_EQ(survivor->timings().size(), 2u);
    ASSERT_EQ(setsOf(survivor).size(), 1u);
    EXPECT_DOUBLE_EQ(setsOf(survivor)[0]->durationExcludingRunningTimings(), 7200.0);
    EXPECT_EQ(sub->parentTask(), survivor);
    EXPECT_EQ(chainNames(), "Other Design Sub");
    EXPECT_FALSE(other->isDeleted());
    EXPECT_FALSE(store_repairs::fixDuplicateTaskIDs_inContext(context));
}

TEST_F(DuplicateTaskRepairs, DifferentCreationDatesMeanDifferentTasks) {
    ZRCDTask* first = newTask("Design");
    ZRCDTask* second = copyOf(first, "Meetings");
    second->setDate(*first->date() + 60.0);
    ZRCDTask* third = copyOf(first, "Calls");
    third->setCreatedDay(first->createdDay() - 1);

    EXPECT_TRUE(store_repairs::fixDuplicateTaskIDs(false, context));
    EXPECT_FALSE(first->isDeleted() || second->isDeleted() || third->isDeleted());
    EXPECT_NE(first->uuid(), second->uuid());
    EXPECT_NE(first->uuid(), third->uuid());
    EXPECT_NE(second->uuid(), third->uuid());
    EXPECT_TRUE(store_repairs::fixDuplicateTaskIDs(true, context));
    EXPECT_FALSE(store_repairs::fixDuplicateTaskIDs(false, context));
}

TEST_F(DuplicateTaskRepairs, CombiningTakesEverythingOfTheOtherTask) {
    ZRCDTask* a = newTask("Client A Meetings");
    ZRCDTask* b = newTask("client a Design");
    a->setIsArchived(true);
    a->setTaskDescription("Weekly");
    b->setTaskDescription("Logo");
    b->addUID("OLD-1");
    b->setCreatedDay(20200101);
    b->setDate(100.0);
    auto* csv = context.insertNewObject<ZRCDOrigin>();
    csv->setType(2);
    b->addOriginsObject(csv);
    ZRCDTiming* running = ZRCDTiming::createRunningTimingNowForTask_andOrigin(b, 0, context);
    clock.advance(120.0);

    ASSERT_TRUE(store_repairs::combineWithTask(a, b));
    EXPECT_TRUE(b->isDeleted());
    EXPECT_EQ(a->taskName(), "Client A Meetings + Design");
    EXPECT_FALSE(a->isArchived());
    EXPECT_EQ(a->taskDescription(), "Weekly\n\nLogo");
    EXPECT_EQ(a->createdDay(), 20200101);
    EXPECT_EQ(a->date(), 100.0);
    EXPECT_TRUE(a->origins().contains(csv));
    const auto identifiers = a->getUUIDandUIDs();
    EXPECT_NE(std::find(identifiers.begin(), identifiers.end(), "OLD-1"), identifiers.end());
    EXPECT_NE(std::find(identifiers.begin(), identifiers.end(), *b->uuid()), identifiers.end());
    // An archived task was involved: the running timer stopped and moved with the timings.
    ASSERT_FALSE(running->isDeleted());
    EXPECT_FALSE(running->running());
    EXPECT_EQ(running->task(), a);
    EXPECT_TRUE(chain_testing::chainProblems(context).empty());

    EXPECT_FALSE(store_repairs::combineWithTask(a, a));
    EXPECT_FALSE(store_repairs::combineWithTask(a, b));
    EXPECT_FALSE(store_repairs::combineWithTask(nullptr, a));
}

TEST_F(DuplicateTaskRepairs, CombiningWithoutArchiveKeepsTimersRunning) {
    ZRCDTask* a = newTask("Design");
    ZRCDTask* b = newTask("Design");
    ZRCDTiming* running = ZRCDTiming::createRunningTimingNowForTask_andOrigin(b, 0, context);
    ASSERT_TRUE(store_repairs::combineWithTask(a, b));
    EXPECT_TRUE(running->running());
    EXPECT_EQ(running->task(), a);
    EXPECT_EQ(a->taskName(), "Design");
}

TEST_F(DuplicateTaskRepairs, ACopyBelowItsTwinTakesItsPlaceInTheTree) {
    // The absorbing task is a subtask of the one it absorbs (one identity twice in one branch).
    ZRCDTask* top = newTask("Top");
    ZRCDTask* twin = newTask("Twin");
    ZRCDTask* sibling = newTask("Sibling");
    for (ZRCDTask* t : {twin, sibling})
        task_chain::makeChildOfTask(t, top);
    ZRCDTask* copy = copyOf(twin, "Twin");
    task_chain::makeChildOfTask(copy, twin);
    ZRCDTask* leaf = newTask("Leaf");
    task_chain::makeChildOfTask(leaf, twin);

    ASSERT_TRUE(store_repairs::combineWithTask(copy, twin));
    EXPECT_TRUE(twin->isDeleted());
    EXPECT_EQ(copy->parentTask(), top);
    EXPECT_EQ(leaf->parentTask(), copy);
    EXPECT_EQ(chainNames(), "Top Sibling Twin Leaf");
}

}  // namespace
}  // namespace ravelong

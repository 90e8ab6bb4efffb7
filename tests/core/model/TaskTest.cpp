#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "foundation/Uuid.h"
#include "tests/core/chain/ChainTestSupport.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using chain_testing::chainOf;
using model_testing::ModelTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Tasks = ModelTest;

TEST_F(Tasks, ANewTaskIsTheTopOfTheChainSelectedVisibleAndMadeHere) {
    ZRCDTask* older = newTask("Older");
    clock.advance(60.0);
    ZRCDTask* task = newTask("Newer");

    EXPECT_TRUE(isCanonicalUuid(*task->uuid()));
    EXPECT_EQ(task->date(), clock.now());
    EXPECT_EQ(task->updatedDate(), clock.now());
    EXPECT_EQ(task->createdDay(), 20240305);
    EXPECT_TRUE(task->isVisibleInMenuBar());
    EXPECT_TRUE(task->isVisibleInDataSelection());
    EXPECT_FALSE(task->isVisibleDuringSearch());
    EXPECT_TRUE(task->taskIsSelected());
    EXPECT_FALSE(task->isArchived());
    ASSERT_TRUE(task->taskColor());
    EXPECT_EQ(task->taskColor()->size(), 4u);
    EXPECT_EQ((*task->taskColor())[3], 0);
    ASSERT_EQ(task->origins().size(), 1u);
    EXPECT_EQ((*task->origins().begin())->type(), 0);
    EXPECT_EQ(task->getOriginNames(), "Ravelong");

    EXPECT_EQ(task->nextTask(), older);
    EXPECT_EQ(task->viewPosition(), 0);
    EXPECT_EQ(older->viewPosition(), 1);
    EXPECT_EQ(chainOf(context), "Newer Older");
    // Both went to the one origin of this device and user.
    EXPECT_EQ(context.count<ZRCDOrigin>(), 1u);
}

TEST_F(Tasks, SavingANewTaskGoesThroughTheContextsDelegate) {
    model_testing::SaveCountingDelegate delegate;
    context.setDelegate(&delegate);
    ZRCDTask::createCoreDataTaskWithName("Unsaved", false, context);
    EXPECT_EQ(delegate.saves, 0);
    EXPECT_TRUE(context.hasChanges());
    ZRCDTask::createCoreDataTaskWithName("Saved", true, context);
    EXPECT_EQ(delegate.saves, 1);
    EXPECT_FALSE(context.hasChanges());
    context.setDelegate(nullptr);
}

TEST_F(Tasks, ImportedTasksJoinTheChainInTreeOrder) {
    ZRCDTask* b = newTask("B");
    ZRCDTask* a = newTask("A");  // chain: A, B
    ZRCDTask* a1 = ZRCDTask::createCoreDataTaskImportWithName("A1", std::nullopt, a, 2, context);
    ZRCDTask* a2 = ZRCDTask::createCoreDataTaskImportWithName("A2", std::nullopt, a, 2, context);
    ZRCDTask::createCoreDataTaskImportWithName("A1x", std::nullopt, a1, 2, context);
    ZRCDTask* c = ZRCDTask::createCoreDataTaskImportWithName("C", berlin(2020, 1, 2, 12), nullptr,
                                                             2, context);
    EXPECT_EQ(chainOf(context), "A A1 A1x A2 B C");
    EXPECT_EQ(a2->parentTask(), a);
    EXPECT_EQ(c->createdDay(), 20200102);
    EXPECT_EQ(c->getOriginNames(), "CSV Import");
    EXPECT_EQ(b->viewPosition(), 4);

    ZRCDTask::ImportedTaskValues values;
    values.uuid = "11111111-2222-4333-8444-555555555555";
    values.uids = "17///42";
    values.taskName = "Restored";
    values.createdDay = 20190101;
    values.date = berlin(2019, 1, 1, 9);
    values.taskDescription = "From a backup";
    values.color = TaskColor{1.0, 0.0, 0.0, 1.0};
    values.parentTask = b;
    values.isArchived = true;
    values.rounding = 215;
    values.origins = {ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(3, context)};
    ZRCDTask* restored = ZRCDTask::createCoreDataTaskImportWithValues(values, context);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->uuid(), values.uuid);
    EXPECT_EQ(restored->numberOfUIDs(), 2);
    EXPECT_EQ(restored->date(), values.date);
    EXPECT_EQ(restored->updatedDate(), clock.now());
    EXPECT_EQ(restored->getTaskColor(), (TaskColor{1.0, 0.0, 0.0, 1.0}));
    EXPECT_TRUE(restored->isArchived());
    EXPECT_EQ(restored->rounding(), 215);
    EXPECT_EQ(restored->getOriginNames(), "Ravelong Mobile");
    EXPECT_EQ(chainOf(context), "A A1 A1x A2 B Restored C");
}

TEST_F(Tasks, OlderIdentifiersAreKeptAndMatchedWhole) {
    ZRCDTask* task = newTask("Legacy");
    EXPECT_EQ(task->numberOfUIDs(), 0);
    EXPECT_FALSE(task->addUID(""));
    EXPECT_FALSE(task->addUID("1///2"));
    EXPECT_TRUE(task->addUID("112"));
    EXPECT_TRUE(task->addUID("7"));
    EXPECT_EQ(task->uids(), "112///7");
    EXPECT_EQ(task->numberOfUIDs(), 2);
    EXPECT_THAT(task->getUUIDandUIDs(), ElementsAre(*task->uuid(), "112", "7"));

    EXPECT_EQ(ZRCDTask::getCoreDataTaskWithUUIDOrUID("112", context), task);
    EXPECT_EQ(ZRCDTask::getCoreDataTaskWithUUIDOrUID(*task->uuid(), context), task);
    // A part of an identifier is not an identifier.
    EXPECT_FALSE(ZRCDTask::taskWithUUIDOrUIDExists("12", context));
    EXPECT_FALSE(ZRCDTask::taskWithUUIDOrUIDExists("", context));
    EXPECT_FALSE(ZRCDTask::taskWithUUIDExists("112", context));
}

TEST_F(Tasks, TheFullNameRunsFromTheTopTierDown) {
    ZRCDTask* client = newTask("Clients");
    ZRCDTask* project =
        ZRCDTask::createCoreDataTaskImportWithName("Acme", std::nullopt, client, 0, context);
    ZRCDTask* activity =
        ZRCDTask::createCoreDataTaskImportWithName("Design", std::nullopt, project, 0, context);
    EXPECT_EQ(client->getFullTaskName(),
              "\xEF\xB9\x86"
              "Clients");
    EXPECT_EQ(activity->getFullTaskName(),
              "\xEF\xB9\x86"
              "Clients \xE2\x9D\xAF Acme \xE2\x9D\xAF Design");
    stoppedTiming(activity, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 9));
    ZRCDTimingSet* set = *activity->timingSets().begin();
    EXPECT_EQ(set->getFullTaskName(), activity->getFullTaskName());
    EXPECT_THAT(set->taskNameArray(), ElementsAre("Clients", "Acme", "Design"));
    EXPECT_EQ(set->uuid(), "doesnotmatter");
}

TEST_F(Tasks, ColoursAreStoredAsFourLittleEndianBytes) {
    EXPECT_EQ(encodeTaskColor({1.0, 0.5, 0.0, 1.0}), (Data{0x00, 0x80, 0xFF, 0x00}));
    EXPECT_EQ(encodeTaskColor({-1.0, 2.0, std::nan(""), 1.0}), (Data{0x00, 0xFF, 0x00, 0x00}));
    for (int v = 0; v < 256; ++v) {
        const TaskColor color{v / 255.0, (255 - v) / 255.0, (v * 7 % 256) / 255.0, 1.0};
        ASSERT_EQ(decodeTaskColor(encodeTaskColor(color)), color) << v;
    }
    EXPECT_EQ(decodeTaskColor(std::nullopt), TaskColor{});
    EXPECT_EQ(decodeTaskColor(Data{0x10, 0x20, 0x30}), TaskColor{});
    EXPECT_EQ(decodeTaskColor(Data(11, 0x7F)), TaskColor{});  // an archived colour of old stores

    // Each channel is one uniform 32-bit draw over 2^32.
    std::vector<std::uint32_t> draws{0x80000000u, 0u, 0xFFFFFFFFu};
    std::size_t next = 0;
    const TaskColor random = randomTaskColor([&] { return draws[next++]; });
    EXPECT_EQ(random.red, 0.5);
    EXPECT_EQ(random.green, 0.0);
    EXPECT_LT(random.blue, 1.0);
    EXPECT_EQ(encodeTaskColor(random), (Data{0xFF, 0x00, 0x80, 0x00}));
    // The system source gives different colours.
    EXPECT_NE(randomTaskColor(), randomTaskColor());
}

TEST_F(Tasks, NotesOfADayAreShownTogetherAndEditedOnlyWhereThatIsUnambiguous) {
    ZRCDTask* task = newTask("Notes");
    ZRCDTiming* later = ZRCDTiming::createCoreDataTimingWithStartDate(
        berlin(2024, 3, 5, 14), berlin(2024, 3, 5, 15), task, std::string("Review"), 0,
        std::nullopt, context);
    ZRCDTimingSet* set = later->firstTimingSet();
    EXPECT_TRUE(set->setNote("Code review"));
    EXPECT_EQ(later->note(), "Code review");

    ZRCDTiming::createCoreDataTimingWithStartDate(berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 9),
                                                  task, std::string("Standup"), 0, std::nullopt,
                                                  context);
    ZRCDTiming::createCoreDataTimingWithStartDate(berlin(2024, 3, 5, 10), berlin(2024, 3, 5, 11),
                                                  task, std::nullopt, 0, std::nullopt, context);
    EXPECT_EQ(set->note(), "Standup\nCode review");
    EXPECT_TRUE(set->setNote("Standup\nCode review"));
    EXPECT_FALSE(set->setNote("Everything"));
    EXPECT_EQ(set->note(), "Standup\nCode review");
}

TEST_F(Tasks, TodaysAggregatesAreCountedWithTheCutoff) {
    setNewDay(4);
    clock.set(berlin(2024, 3, 5, 3));  // still 4 March under the cut-off
    ZRCDTask* task = newTask("Today");
    stoppedTiming(task, berlin(2024, 3, 4, 20), berlin(2024, 3, 4, 21));
    stoppedTiming(task, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 10));
    EXPECT_EQ(task->numberOfTimingSetsToday(), 1);
    clock.set(berlin(2024, 3, 5, 4));
    EXPECT_EQ(task->numberOfTimingSetsToday(), 1);
    clock.set(berlin(2024, 3, 7, 4));
    EXPECT_EQ(task->numberOfTimingSetsToday(), 0);
}

}  // namespace
}  // namespace ravelong

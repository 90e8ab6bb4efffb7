#include <gtest/gtest.h>

#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {
namespace {

std::vector<ZRCDTiming*> withUuid(const ManagedObjectContext& context, const std::string& uuid) {
    return context.objectsWithValue<ZRCDTiming>(ZRCDTiming::kUuid, Value(uuid));
}

TEST(AttributeIndex, FollowsInsertsChangesAndDeletes) {
    ManagedObjectContext context(ravelongModel());
    auto* first = context.insertNewObject<ZRCDTiming>();
    first->setUuid(std::string("A"));
    EXPECT_EQ(withUuid(context, "A"), std::vector<ZRCDTiming*>{first});  // builds the index

    auto* second = context.insertNewObject<ZRCDTiming>();
    second->setUuid(std::string("B"));
    EXPECT_EQ(withUuid(context, "B"), std::vector<ZRCDTiming*>{second});

    first->setUuid(std::string("B"));
    EXPECT_TRUE(withUuid(context, "A").empty());
    EXPECT_EQ(withUuid(context, "B").size(), 2u);

    context.deleteObject(second);
    EXPECT_EQ(withUuid(context, "B"), std::vector<ZRCDTiming*>{first});
    EXPECT_EQ(context.firstObjectWithValue<ZRCDTiming>(ZRCDTiming::kUuid, Value(std::string("B"))),
              first);
}

TEST(AttributeIndex, FindsRunningTimingsByTheSentinelEndDate) {
    ManagedObjectContext context(ravelongModel());
    auto* running = context.insertNewObject<ZRCDTiming>();
    running->setEndDate(0.0);
    auto* stopped = context.insertNewObject<ZRCDTiming>();
    stopped->setEndDate(1000.0);
    auto runningNow = [&] {
        return context.objectsWithValue<ZRCDTiming>(ZRCDTiming::kEndDate, 0.0);
    };
    EXPECT_EQ(runningNow(), std::vector<ZRCDTiming*>{running});
    running->setEndDate(2000.0);
    stopped->setEndDate(0.0);
    EXPECT_EQ(runningNow(), std::vector<ZRCDTiming*>{stopped});
}

TEST(AttributeIndex, StaysRightThroughUndoRedoAndRollback) {
    ManagedObjectContext context(ravelongModel());
    context.setUndoManager(std::make_unique<ZRUndoManager>());
    auto* task = context.insertNewObject<ZRCDTask>();
    task->setUuid(std::string("T1"));
    ASSERT_TRUE(context.save());
    auto byUuid = [&](const char* uuid) {
        return context.firstObjectWithValue<ZRCDTask>(ZRCDTask::kUuid, Value(std::string(uuid)));
    };
    EXPECT_EQ(byUuid("T1"), task);

    context.undoManager()->beginUndoGrouping();
    task->setUuid(std::string("T2"));
    context.undoManager()->endUndoGrouping();
    EXPECT_EQ(byUuid("T2"), task);
    context.undoManager()->undo();
    EXPECT_EQ(byUuid("T1"), task);
    EXPECT_EQ(byUuid("T2"), nullptr);
    context.undoManager()->redo();
    EXPECT_EQ(byUuid("T2"), task);

    context.rollback();
    EXPECT_EQ(byUuid("T1"), task);
    EXPECT_EQ(byUuid("T2"), nullptr);

    context.undoManager()->beginUndoGrouping();
    context.deleteObject(task);
    context.undoManager()->endUndoGrouping();
    EXPECT_EQ(byUuid("T1"), nullptr);
    context.undoManager()->undo();
    EXPECT_EQ(byUuid("T1"), task);
}

}  // namespace
}  // namespace ravelong

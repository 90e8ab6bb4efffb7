#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

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

TEST(AttributeIndex, ABucketFollowsTheRecordsThatShareItsValueAsTheyComeAndGo) {
    ManagedObjectContext context(ravelongModel());
    std::vector<ZRCDTiming*> timings;
    for (int i = 0; i < 30; ++i) {
        timings.push_back(context.insertNewObject<ZRCDTiming>());
        timings.back()->setUuid("own " + std::to_string(i));
    }
    EXPECT_THAT(withUuid(context, "own 4"), ElementsAre(timings[4]));  // builds the index

    // One value taken by one record after the other, past the size where a set indexes itself.
    for (ZRCDTiming* timing : timings)
        timing->setUuid(std::string("shared"));
    EXPECT_THAT(withUuid(context, "shared"), UnorderedElementsAreArray(timings));
    EXPECT_THAT(withUuid(context, "own 4"), IsEmpty());

    // And left again, down to the last record and beyond.
    for (int i = 0; i < 29; ++i)
        timings[i]->setUuid("new " + std::to_string(i));
    EXPECT_THAT(withUuid(context, "shared"), ElementsAre(timings[29]));
    EXPECT_THAT(withUuid(context, "new 3"), ElementsAre(timings[3]));
    timings[29]->setUuid(std::string("new 3"));
    EXPECT_THAT(withUuid(context, "shared"), IsEmpty());
    EXPECT_EQ(
        context.firstObjectWithValue<ZRCDTiming>(ZRCDTiming::kUuid, Value(std::string("shared"))),
        nullptr);
    EXPECT_THAT(withUuid(context, "new 3"), UnorderedElementsAre(timings[3], timings[29]));

    // A value given up by its only record, then taken again by another.
    context.deleteObject(timings[5]);
    EXPECT_THAT(withUuid(context, "new 5"), IsEmpty());
    timings[6]->setUuid(std::string("new 5"));
    EXPECT_THAT(withUuid(context, "new 5"), ElementsAre(timings[6]));
    EXPECT_THAT(withUuid(context, "new 6"), IsEmpty());
}

TEST(AttributeIndex, AnIndexOfLoadedRecordsFollowsChildSavesRollbackAndReset) {
    testing::TemporaryDirectory folder;
    auto opened = store_testing::openStore(folder / "index.sqlite");
    ManagedObjectContext& context = *opened.context;
    ZRCDTask* task = store_testing::makeTask(context, "Task");
    std::vector<std::string> running;
    for (int i = 0; i < 40; ++i) {
        ZRCDTiming* timing = store_testing::makeTiming(context, task, i * 100.0, i * 100.0 + 50.0);
        if (i % 10 == 0) {
            timing->setEndDate(kSentinelDate);
            running.push_back(*timing->uuid());
        }
    }
    store_testing::saveOrThrow(context);
    context.reset();  // the index is built from records read from the file

    auto runningNow = [&] {
        std::vector<std::string> uuids;
        for (ZRCDTiming* timing :
             context.objectsWithValue<ZRCDTiming>(ZRCDTiming::kEndDate, Value(kSentinelDate)))
            uuids.push_back(*timing->uuid());
        return uuids;
    };
    EXPECT_THAT(runningNow(), UnorderedElementsAreArray(running));

    // A child stops one timer and starts another; its save moves them in our index.
    auto child = context.newChildContext();
    store_testing::findByUuid<ZRCDTiming>(*child, running[0])->setEndDate(50.0);
    ZRCDTiming* started = nullptr;
    for (ZRCDTiming* timing : child->fetchAll<ZRCDTiming>()) {
        if (timing->endDate() != kSentinelDate) {
            started = timing;
            break;
        }
    }
    ASSERT_NE(started, nullptr);
    started->setEndDate(kSentinelDate);
    const std::string startedUuid = *started->uuid();
    store_testing::saveOrThrow(*child);
    EXPECT_THAT(runningNow(),
                UnorderedElementsAre(startedUuid, running[1], running[2], running[3]));

    context.rollback();  // the child's changes were not saved to the file yet
    EXPECT_THAT(runningNow(), UnorderedElementsAreArray(running));

    store_testing::findByUuid<ZRCDTiming>(context, running[2])->setEndDate(75.0);
    context.reset();  // drops the unsaved stop
    EXPECT_THAT(runningNow(), UnorderedElementsAreArray(running));
}

}  // namespace
}  // namespace ravelong

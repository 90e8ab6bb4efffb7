#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/store/model/StoreTestModel.h"

namespace ravelong {
namespace {

using store_testing::TestEntry;
using store_testing::TestTask;

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

std::vector<TestEntry*> withUuid(const ManagedObjectContext& context, const std::string& uuid) {
    return context.objectsWithValue<TestEntry>(TestEntry::kUuid, Value(uuid));
}

TEST(AttributeIndex, FindsRunningEntriesByTheSentinelEndDate) {
    ManagedObjectContext context(store_testing::storeTestModel());
    auto* running = context.insertNewObject<TestEntry>();
    running->setEnd(0.0);
    auto* stopped = context.insertNewObject<TestEntry>();
    stopped->setEnd(1000.0);
    auto runningNow = [&] { return context.objectsWithValue<TestEntry>(TestEntry::kEnd, 0.0); };
    EXPECT_EQ(runningNow(), std::vector<TestEntry*>{running});
    running->setEnd(2000.0);
    stopped->setEnd(0.0);
    EXPECT_EQ(runningNow(), std::vector<TestEntry*>{stopped});
}

TEST(AttributeIndex, StaysRightThroughUndoRedoAndRollback) {
    ManagedObjectContext context(store_testing::storeTestModel());
    context.setUndoManager(std::make_unique<ZRUndoManager>());
    auto* task = context.insertNewObject<TestTask>();
    task->setUuid(std::string("T1"));
    ASSERT_TRUE(context.save());
    auto byUuid = [&](const char* uuid) {
        return context.firstObjectWithValue<TestTask>(TestTask::kUuid, Value(std::string(uuid)));
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

TEST(AttributeIndex, FollowsInsertsChangesAndDeletesOfRecordsThatShareAValue) {
    ManagedObjectContext context(store_testing::storeTestModel());
    std::vector<TestEntry*> timings;
    for (int i = 0; i < 30; ++i) {
        timings.push_back(context.insertNewObject<TestEntry>());
        timings.back()->setUuid("own " + std::to_string(i));
    }
    EXPECT_THAT(withUuid(context, "own 4"), ElementsAre(timings[4]));  // builds the index

    // One value taken by one record after the other, past the size where a set indexes itself.
    for (TestEntry* timing : timings)
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
        context.firstObjectWithValue<TestEntry>(TestEntry::kUuid, Value(std::string("shared"))),
        nullptr);
    EXPECT_THAT(withUuid(context, "new 3"), UnorderedElementsAre(timings[3], timings[29]));
    context.deleteObject(timings[29]);
    EXPECT_THAT(withUuid(context, "new 3"), ElementsAre(timings[3]));

    // A value given up by its only record, then taken again by another.
    context.deleteObject(timings[5]);
    EXPECT_THAT(withUuid(context, "new 5"), IsEmpty());
    timings[6]->setUuid(std::string("new 5"));
    EXPECT_THAT(withUuid(context, "new 5"), ElementsAre(timings[6]));
    EXPECT_THAT(withUuid(context, "new 6"), IsEmpty());
    EXPECT_EQ(
        context.firstObjectWithValue<TestEntry>(TestEntry::kUuid, Value(std::string("new 5"))),
        timings[6]);

    // A record inserted once the index exists joins it.
    auto* late = context.insertNewObject<TestEntry>();
    late->setUuid(std::string("new 6"));
    EXPECT_THAT(withUuid(context, "new 6"), ElementsAre(late));
}

TEST(AttributeIndex, AnIndexOfLoadedRecordsFollowsChildSavesRollbackAndReset) {
    testing::TemporaryDirectory folder;
    auto opened = store_testing::openStore(folder / "index.sqlite");
    ManagedObjectContext& context = *opened.context;
    TestTask* task = store_testing::makeTask(context, "Task");
    std::vector<std::string> running;
    for (int i = 0; i < 40; ++i) {
        TestEntry* timing = store_testing::makeEntry(context, task, i * 100.0, i * 100.0 + 50.0);
        if (i % 10 == 0) {
            timing->setEnd(kSentinelDate);
            running.push_back(*timing->uuid());
        }
    }
    store_testing::saveOrThrow(context);
    context.reset();  // the index is built from records read from the file

    auto runningNow = [&] {
        std::vector<std::string> uuids;
        for (TestEntry* timing :
             context.objectsWithValue<TestEntry>(TestEntry::kEnd, Value(kSentinelDate)))
            uuids.push_back(*timing->uuid());
        return uuids;
    };
    EXPECT_THAT(runningNow(), UnorderedElementsAreArray(running));

    // A child stops one timer and starts another; its save moves them in our index.
    auto child = context.newChildContext();
    store_testing::findByUuid<TestEntry>(*child, running[0])->setEnd(50.0);
    TestEntry* started = nullptr;
    for (TestEntry* timing : child->fetchAll<TestEntry>()) {
        if (timing->end() != kSentinelDate) {
            started = timing;
            break;
        }
    }
    ASSERT_NE(started, nullptr);
    started->setEnd(kSentinelDate);
    const std::string startedUuid = *started->uuid();
    store_testing::saveOrThrow(*child);
    EXPECT_THAT(runningNow(),
                UnorderedElementsAre(startedUuid, running[1], running[2], running[3]));

    context.rollback();  // the child's changes were not saved to the file yet
    EXPECT_THAT(runningNow(), UnorderedElementsAreArray(running));

    store_testing::findByUuid<TestEntry>(context, running[2])->setEnd(75.0);
    context.reset();  // drops the unsaved stop
    EXPECT_THAT(runningNow(), UnorderedElementsAreArray(running));
}

}  // namespace
}  // namespace ravelong

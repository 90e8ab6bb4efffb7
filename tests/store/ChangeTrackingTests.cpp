#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "store/ZRUndoManager.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using store_testing::TestEntry;
using store_testing::TestLabel;
using store_testing::TestTask;

using store_testing::graphProblems;
using store_testing::graphSnapshot;
using store_testing::makeEntry;
using store_testing::makeLabel;
using store_testing::makeTask;
using store_testing::saveOrThrow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

class ChangeTracking : public store_testing::OpenStoreTest {
protected:
    ChangeTracking() {
        context().setObjectsDidChangeHandler([this](const ChangeSet& c) { reports.push_back(c); });
    }

    static std::vector<std::string> keysOf(const ChangeSet& changes, ManagedObject* object) {
        for (const ChangedObject& changed : changes.updated) {
            if (changed.object == object)
                return changed.changedKeys();
        }
        return {"(not reported)"};
    }

    std::vector<ChangeSet> reports;
};

TEST_F(ChangeTracking, ProcessingPendingChangesReportsWhatHappenedSinceTheLastTime) {
    TestTask* kept = makeTask(context(), "Kept");
    TestTask* doomed = makeTask(context(), "Doomed");
    TestEntry* timing = makeEntry(context(), doomed, 0, 10);
    saveOrThrow(context());  // processes the inserts
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_THAT(reports[0].inserted, UnorderedElementsAre(kept, doomed, timing));
    reports.clear();

    kept->setName("Renamed");
    kept->setWeight(5);
    TestTask* fresh = makeTask(context(), "Fresh");
    TestTask* gone = makeTask(context(), "Inserted and deleted at once");
    context().deleteObject(gone);
    context().deleteObject(doomed);
    context().processPendingChanges();

    ASSERT_EQ(reports.size(), 1u);
    const ChangeSet& changes = reports[0];
    EXPECT_THAT(changes.inserted, ElementsAre(fresh));
    EXPECT_THAT(changes.deleted, ElementsAre(doomed));
    EXPECT_THAT(keysOf(changes, kept), UnorderedElementsAre("name", "weight"));
    EXPECT_THAT(keysOf(changes, timing), ElementsAre("task"));  // nullified by the delete
    EXPECT_EQ(changes.updated.size(), 2u);

    // Nothing new: no report. A later change reports only its own keys.
    context().processPendingChanges();
    kept->setArchived(true);
    context().processPendingChanges();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_THAT(keysOf(reports[1], kept), ElementsAre("archived"));
    EXPECT_THAT(kept->changedKeys(), UnorderedElementsAre("name", "weight", "archived"));
    ASSERT_NE(kept->committedValue(TestTask::kName), nullptr);
    EXPECT_EQ(*kept->committedValue(TestTask::kName), Value(std::string("Kept")));
    EXPECT_EQ(kept->committedValue(TestTask::kUuid), nullptr);
}

TEST_F(ChangeTracking, ASaveReportsItsChangesAndLeavesNoneBehind) {
    std::vector<ChangeSet> saves;
    context().setDidSaveHandler([&](const ChangeSet& c) { saves.push_back(c); });
    TestTask* task = makeTask(context(), "Task");
    saveOrThrow(context());
    task->setName("Renamed");
    saveOrThrow(context());
    saveOrThrow(context());  // nothing to save: no report

    ASSERT_EQ(saves.size(), 2u);
    EXPECT_THAT(saves[0].inserted, ElementsAre(task));
    ASSERT_EQ(saves[1].updated.size(), 1u);
    EXPECT_THAT(saves[1].updated[0].changedKeys(), ElementsAre("name"));
    EXPECT_FALSE(context().hasChanges());
    EXPECT_FALSE(task->hasChanges());
    EXPECT_THAT(task->changedKeys(), IsEmpty());
    EXPECT_FALSE(task->isInserted());
    EXPECT_FALSE(task->isUpdated());
}

TEST_F(ChangeTracking, RollbackReturnsToTheSavedStateAndLeavesTheFileAlone) {
    context().setUndoManager(std::make_unique<ZRUndoManager>());
    TestTask* a = makeTask(context(), "A");
    TestTask* b = makeTask(context(), "B");
    TestTask* c = makeTask(context(), "C");
    a->setNext(b);
    b->setNext(c);
    c->setParent(a);
    TestLabel* origin = makeLabel(context(), 0);
    a->addLabel(origin);
    TestEntry* timing = makeEntry(context(), b, 0, 10);
    saveOrThrow(context());
    const auto saved = graphSnapshot(context());
    const std::string file = store_testing::tableDump(path());

    a->setName("A renamed");
    a->setColor(Data{1, 2, 3, 4});
    timing->setTask(c);
    c->setNext(a);  // A <-> B breaks, C -> A
    c->setParent(nullptr);
    origin->addTask(b);
    origin->removeTask(a);
    TestTask* fresh = makeTask(context(), "Fresh");
    fresh->setParent(b);
    makeEntry(context(), fresh, 5, 6)->setLabel(origin);
    context().deleteObject(b);
    ASSERT_TRUE(context().hasChanges());

    context().rollback();

    EXPECT_EQ(graphSnapshot(context()), saved);
    EXPECT_THAT(graphProblems(context()), IsEmpty());
    EXPECT_FALSE(context().hasChanges());
    EXPECT_FALSE(b->isDeleted());
    EXPECT_TRUE(fresh->isDeleted());
    EXPECT_EQ(context().objectWithID(fresh->objectID()), nullptr);
    EXPECT_FALSE(context().undoManager()->canUndo());

    saveOrThrow(context());
    EXPECT_EQ(store_testing::tableDump(path()), file);
    makeTask(context(), "After the rollback");
    saveOrThrow(context());
    EXPECT_EQ(rows("Task"), 4);
}

TEST_F(ChangeTracking, ValuesByKeyGoThroughTheSameTracking) {
    TestTask* task = makeTask(context(), "Task");
    saveOrThrow(context());
    task->setValueForKey("name", std::string("By key"));
    task->setValueForKey("noSuchKey", std::string("ignored"));
    EXPECT_EQ(task->name(), "By key");
    EXPECT_EQ(task->valueForKey("name"), Value(std::string("By key")));
    EXPECT_TRUE(isAbsent(task->valueForKey("noSuchKey")));
    EXPECT_THAT(task->changedKeys(), ElementsAre("name"));
    // Setting the value a field already has is not a change.
    TestTask* other = makeTask(context(), "Other");
    saveOrThrow(context());
    other->setName("Other");
    other->setValueForKey("parent", static_cast<ManagedObject*>(nullptr));
    EXPECT_FALSE(other->hasChanges());
}

}  // namespace
}  // namespace ravelong

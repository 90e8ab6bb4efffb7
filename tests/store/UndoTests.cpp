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
using store_testing::makeEntry;
using store_testing::makeLabel;
using store_testing::makeTask;
using store_testing::saveOrThrow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A value whose setter registers its own inverse, as the records do.
struct UndoableValue {
    ZRUndoManager& undoManager;
    int value = 0;

    void set(int newValue) {
        const int old = value;
        value = newValue;
        undoManager.registerUndo([this, old] { set(old); });
    }
};

TEST(UndoManager, UndoAndRedoReplayANamedGroupWholeUntilANewChangeClearsTheRedoSteps) {
    ZRUndoManager undoManager;
    UndoableValue v{undoManager};
    undoManager.beginUndoGrouping();
    v.set(1);
    v.set(2);
    v.set(3);
    undoManager.setActionName("Modify Timing");
    undoManager.endUndoGrouping();
    EXPECT_EQ(undoManager.undoActionName(), "Modify Timing");

    undoManager.undo();
    EXPECT_EQ(v.value, 0);
    EXPECT_FALSE(undoManager.canUndo());
    EXPECT_TRUE(undoManager.canRedo());
    EXPECT_EQ(undoManager.redoActionName(), "Modify Timing");

    undoManager.redo();
    EXPECT_EQ(v.value, 3);
    EXPECT_EQ(undoManager.undoActionName(), "Modify Timing");
    EXPECT_FALSE(undoManager.canRedo());

    undoManager.undo();
    EXPECT_EQ(v.value, 0);
    ASSERT_TRUE(undoManager.canRedo());

    // A new change clears the redo steps.
    v.set(7);
    EXPECT_FALSE(undoManager.canRedo());
    undoManager.undo();  // closes the implicit group and undoes it
    EXPECT_EQ(v.value, 0);
    undoManager.redo();
    EXPECT_EQ(v.value, 7);
}

TEST(UndoManager, NestedGroupsFoldIntoOneStepNamedByTheOutermost) {
    ZRUndoManager undoManager;
    UndoableValue v{undoManager};
    undoManager.beginUndoGrouping();
    v.set(1);
    undoManager.beginUndoGrouping();
    EXPECT_EQ(undoManager.groupingLevel(), 2);
    v.set(2);
    undoManager.endUndoGrouping();
    EXPECT_EQ(undoManager.undoCount(), 0u);
    undoManager.setActionName("Merge Tasks");
    v.set(3);
    undoManager.endUndoGrouping();

    EXPECT_EQ(undoManager.undoCount(), 1u);
    EXPECT_EQ(undoManager.undoActionName(), "Merge Tasks");
    undoManager.undo();
    EXPECT_EQ(v.value, 0);
    undoManager.redo();
    EXPECT_EQ(v.value, 3);
}

TEST(UndoManager, KeepsOnlyTheLastThirtySteps) {
    ZRUndoManager undoManager;
    ASSERT_EQ(undoManager.levelsOfUndo(), 30u);
    UndoableValue v{undoManager};
    for (int i = 1; i <= 35; ++i) {
        undoManager.beginUndoGrouping();
        v.set(i);
        undoManager.setActionName("Step " + std::to_string(i));
        undoManager.endUndoGrouping();
    }
    EXPECT_EQ(undoManager.undoCount(), 30u);
    int undone = 0;
    while (undoManager.canUndo()) {
        undoManager.undo();
        ++undone;
    }
    EXPECT_EQ(undone, 30);
    EXPECT_EQ(v.value, 5);  // steps 1 to 5 fell off the stack

    // Redo brings every step back, and the stack stays bounded.
    while (undoManager.canRedo())
        undoManager.redo();
    EXPECT_EQ(v.value, 35);
    EXPECT_EQ(undoManager.undoCount(), 30u);
}

TEST(UndoManager, SwitchedOffRegistrationRecordsNothingUntilEveryDisableIsMatched) {
    ZRUndoManager undoManager;
    UndoableValue v{undoManager};
    undoManager.disableUndoRegistration();
    undoManager.disableUndoRegistration();
    v.set(1);
    undoManager.enableUndoRegistration();
    EXPECT_FALSE(undoManager.isUndoRegistrationEnabled());
    v.set(2);
    undoManager.endImplicitGroup();
    EXPECT_FALSE(undoManager.canUndo());

    undoManager.enableUndoRegistration();
    undoManager.enableUndoRegistration();  // an extra enable does not unbalance later disables
    v.set(3);
    undoManager.endImplicitGroup();
    undoManager.undo();
    EXPECT_EQ(v.value, 2);
    undoManager.disableUndoRegistration();
    EXPECT_FALSE(undoManager.isUndoRegistrationEnabled());
}

TEST(UndoManager, ChangesOutsideAGroupFormOneStepUntilTheImplicitGroupEnds) {
    ZRUndoManager undoManager;
    UndoableValue v{undoManager};
    v.set(1);
    v.set(2);
    EXPECT_TRUE(undoManager.canUndo());
    undoManager.endImplicitGroup();
    v.set(3);
    // An explicit group closes the implicit one first, so the two stay separate steps.
    undoManager.beginUndoGrouping();
    v.set(4);
    undoManager.endUndoGrouping();
    EXPECT_EQ(undoManager.undoCount(), 3u);

    undoManager.undo();
    EXPECT_EQ(v.value, 3);
    undoManager.undo();
    EXPECT_EQ(v.value, 2);
    undoManager.undo();
    EXPECT_EQ(v.value, 0);
}

// --- Undo of record changes ----------------------------------------------------------------

class ContextUndo : public ::testing::Test {
protected:
    ContextUndo() {
        context.setUndoManager(std::make_unique<ZRUndoManager>());
        undo = context.undoManager();
    }

    void group(const std::string& name, const std::function<void()>& change) {
        undo->beginUndoGrouping();
        change();
        undo->setActionName(name);
        undo->endUndoGrouping();
        context.processPendingChanges();
    }

    ManagedObjectContext context{store_testing::storeTestModel()};
    ZRUndoManager* undo = nullptr;
};

TEST_F(ContextUndo, UndoOfAnInsertTakesTheRecordAndItsLinksAwayAndRedoBringsThemBack) {
    TestTask* task = nullptr;
    group("Setup", [&] { task = makeTask(context, "Task"); });
    TestEntry* timing = nullptr;
    group("Add Timing", [&] { timing = makeEntry(context, task, 0, 60); });

    undo->undo();
    EXPECT_TRUE(timing->isDeleted());
    EXPECT_TRUE(task->entries().empty());
    EXPECT_EQ(context.count<TestEntry>(), 0u);
    EXPECT_THAT(context.insertedObjects(), ElementsAre(task));

    undo->redo();
    EXPECT_FALSE(timing->isDeleted());
    EXPECT_EQ(timing->task(), task);
    EXPECT_THAT(task->entries().toVector(), ElementsAre(timing));
    EXPECT_EQ(context.count<TestEntry>(), 1u);
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST_F(ContextUndo, UndoOfADeleteRestoresEveryRelationship) {
    TestTask *parent, *task, *child, *before, *after;
    TestLabel* origin;
    TestEntry* timing;
    group("Setup", [&] {
        parent = makeTask(context, "Parent");
        task = makeTask(context, "Task");
        child = makeTask(context, "Child");
        before = makeTask(context, "Before");
        after = makeTask(context, "After");
        origin = makeLabel(context, 0);
        task->setParent(parent);
        child->setParent(task);
        before->setNext(task);
        task->setNext(after);
        task->addLabel(origin);
        timing = makeEntry(context, task, 0, 10);
    });
    group("Delete Task", [&] { context.deleteObject(task); });
    ASSERT_TRUE(task->isDeleted());

    undo->undo();
    EXPECT_FALSE(task->isDeleted());
    EXPECT_EQ(task->parent(), parent);
    EXPECT_THAT(parent->subtasks().toVector(), ElementsAre(task));
    EXPECT_EQ(child->parent(), task);
    EXPECT_EQ(before->next(), task);
    EXPECT_EQ(after->previous(), task);
    EXPECT_THAT(origin->tasks().toVector(), ElementsAre(task));
    EXPECT_EQ(timing->task(), task);
    EXPECT_THAT(graphProblems(context), IsEmpty());

    undo->redo();
    EXPECT_TRUE(task->isDeleted());
    EXPECT_EQ(before->next(), nullptr);
    EXPECT_TRUE(origin->tasks().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST_F(ContextUndo, ProcessingPendingChangesClosesTheStepOfUngroupedEdits) {
    TestTask* task = makeTask(context, "Task");
    context.processPendingChanges();
    task->setName("Renamed");
    task->setWeight(115);
    context.processPendingChanges();
    task->setArchived(true);
    context.processPendingChanges();

    undo->undo();
    EXPECT_FALSE(task->archived());
    EXPECT_EQ(task->name(), "Renamed");
    undo->undo();
    EXPECT_EQ(task->name(), "Task");
    EXPECT_EQ(task->weight(), 0);
    EXPECT_FALSE(task->isDeleted());
}

TEST_F(ContextUndo, UnrecordedLinksToAnUndoneInsertAreCutToo) {
    // A repair made with registration off links an existing task to one the user just added;
    // undoing "Add Task" must not leave the existing task pointing at a record that is gone.
    TestTask* existing = nullptr;
    group("Setup", [&] { existing = makeTask(context, "Existing"); });
    TestTask* added = nullptr;
    group("Add Task", [&] { added = makeTask(context, "Added"); });
    undo->disableUndoRegistration();
    existing->setNext(added);
    makeLabel(context, 0)->addTask(added);
    undo->enableUndoRegistration();
    context.processPendingChanges();

    undo->undo();
    EXPECT_TRUE(added->isDeleted());
    EXPECT_EQ(existing->next(), nullptr);
    EXPECT_THAT(graphProblems(context), IsEmpty());

    undo->redo();
    EXPECT_FALSE(added->isDeleted());
    EXPECT_EQ(existing->next(), added);
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

// Undo and redo after a save: the next save writes what they did, and the file then holds it.
class ContextUndoWithStore : public store_testing::OpenStoreTest {
protected:
    ZRUndoManager& startUndo() {
        context().setUndoManager(std::make_unique<ZRUndoManager>());
        return *context().undoManager();
    }
    // Saves, then opens the file again.
    ManagedObjectContext& saveAndReopen() {
        saveOrThrow(context());
        opened = {};
        opened = store_testing::openStore(path());
        return context();
    }
};

TEST_F(ContextUndoWithStore, UndoneInsertAfterASaveIsDeletedByTheNextSave) {
    ZRUndoManager& undo = startUndo();
    undo.beginUndoGrouping();
    TestTask* task = makeTask(context(), "Saved then undone");
    makeEntry(context(), task, 0, 10);
    undo.setActionName("Add Task");
    undo.endUndoGrouping();
    saveOrThrow(context());
    const std::string uuid = *task->uuid();
    ASSERT_EQ(rows("Task"), 1);

    undo.undo();
    EXPECT_EQ(context().deletedObjects().size(), 2u);
    saveOrThrow(context());
    EXPECT_EQ(rows("Task"), 0);
    EXPECT_EQ(rows("Entry"), 0);

    // Redo after that save makes it an insert again.
    undo.redo();
    EXPECT_EQ(context().insertedObjects().size(), 2u);
    ManagedObjectContext& reopened = saveAndReopen();
    task = store_testing::findByUuid<TestTask>(reopened, uuid);
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->entries().size(), 1u);
    EXPECT_THAT(graphProblems(reopened), IsEmpty());
}

TEST_F(ContextUndoWithStore, AnEditUndoneAfterASaveIsWrittenBackByTheNextSave) {
    TestTask* home = makeTask(context(), "Home");
    TestTask* away = makeTask(context(), "Away");
    TestEntry* timing = makeEntry(context(), home, 0, 10);
    saveOrThrow(context());

    ZRUndoManager& undo = startUndo();
    home->setName("Renamed");
    timing->setTask(away);
    saveOrThrow(context());
    undo.undo();
    EXPECT_TRUE(context().hasChanges());
    ManagedObjectContext& reopened = saveAndReopen();
    EXPECT_EQ(reopened.fetchAll<TestEntry>().front()->task()->name(), "Home");
    EXPECT_THAT(graphProblems(reopened), IsEmpty());
}

TEST_F(ContextUndoWithStore, UndoneDeleteAfterASaveComesBackWithItsLinks) {
    TestTask* task = makeTask(context(), "Task");
    task->addLabel(makeLabel(context(), 0));
    makeEntry(context(), task, 0, 10);
    saveOrThrow(context());

    ZRUndoManager& undo = startUndo();
    context().deleteObject(task);
    saveOrThrow(context());
    ASSERT_EQ(rows("Task"), 0);
    ASSERT_EQ(rows("Task_labels"), 0);

    undo.undo();
    ManagedObjectContext& reopened = saveAndReopen();
    auto tasks = reopened.fetchAll<TestTask>();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0]->labels().size(), 1u);
    EXPECT_EQ(tasks[0]->entries().size(), 1u);
    EXPECT_THAT(graphProblems(reopened), IsEmpty());
}

}  // namespace
}  // namespace ravelong

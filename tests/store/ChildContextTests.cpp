#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/Clock.h"
#include "store/BackgroundReader.h"
#include "store/ZRUndoManager.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using store_testing::TestDay;
using store_testing::TestEntry;
using store_testing::TestLabel;
using store_testing::TestTask;

using store_testing::findByUuid;
using store_testing::graphProblems;
using store_testing::makeDay;
using store_testing::makeEntry;
using store_testing::makeLabel;
using store_testing::makeTask;
using store_testing::saveOrThrow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

class ChildContext : public store_testing::OpenStoreTest {
protected:
    ManagedObjectContext& parent() { return context(); }
};

TEST_F(ChildContext, SeesTheParentsUnsavedRecordsAndValues) {
    TestTask* saved = makeTask(parent(), "Saved");
    saveOrThrow(parent());
    saved->setName("Renamed, unsaved");
    TestTask* fresh = makeTask(parent(), "Fresh");
    fresh->setParent(saved);
    makeEntry(parent(), fresh, 100, 200);

    auto child = parent().newChildContext();
    auto* childSaved = findByUuid<TestTask>(*child, *saved->uuid());
    auto* childFresh = findByUuid<TestTask>(*child, *fresh->uuid());
    ASSERT_NE(childSaved, nullptr);
    ASSERT_NE(childFresh, nullptr);
    EXPECT_NE(childSaved, saved);  // the child has copies of its own
    EXPECT_EQ(childSaved->name(), "Renamed, unsaved");
    EXPECT_EQ(childFresh->parent(), childSaved);
    ASSERT_EQ(childFresh->entries().size(), 1u);
    EXPECT_EQ((*childFresh->entries().begin())->managedObjectContext(), child.get());
    EXPECT_FALSE(child->hasChanges());
    EXPECT_THAT(graphProblems(*child), IsEmpty());
}

TEST_F(ChildContext, ACopyOfLargeSetsIsTheSameGraphAndChangesInItStayExact) {
    // Sets past a few dozen members carry an index; the copy must not share or keep the
    // parent's.
    TestTask* busy = makeTask(parent(), "Busy");
    TestTask* other = makeTask(parent(), "Other");
    for (int i = 0; i < 60; ++i)
        makeEntry(parent(), busy, i * 100.0, i * 100.0 + 50.0);
    saveOrThrow(parent());
    // A membership test indexes the parent's list of entries.
    const ObjectSet& timings = parent().registeredObjects(TestEntry::entityDescription());
    ASSERT_TRUE(timings.contains(*busy->entries().begin()));
    makeEntry(parent(), busy, 9000, 9100);  // unsaved

    auto child = parent().newChildContext();
    EXPECT_EQ(store_testing::graphSnapshot(*child), store_testing::graphSnapshot(parent()));
    EXPECT_THAT(graphProblems(*child), IsEmpty());

    auto* childBusy = findByUuid<TestTask>(*child, *busy->uuid());
    auto* childOther = findByUuid<TestTask>(*child, *other->uuid());
    ASSERT_NE(childBusy, nullptr);
    const std::vector<TestEntry*> copies = childBusy->entries().toVector();
    ASSERT_EQ(copies.size(), 61u);
    for (std::size_t i = 0; i < copies.size(); i += 5)
        child->deleteObject(copies[i]);
    copies[1]->setTask(childOther);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        EXPECT_EQ(childBusy->entries().contains(copies[i]), i % 5 != 0 && i != 1) << i;
        EXPECT_EQ(child->registeredObjects(TestEntry::entityDescription()).contains(copies[i]),
                  i % 5 != 0)
            << i;
    }
    EXPECT_EQ(busy->entries().size(), 61u);  // the parent is untouched until the child saves
    EXPECT_THAT(graphProblems(*child), IsEmpty());

    saveOrThrow(*child);
    EXPECT_EQ(busy->entries().size(), 61u - 13u - 1u);
    EXPECT_EQ(other->entries().size(), 1u);
    EXPECT_EQ(parent().count<TestEntry>(), 61u - 13u);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
}

TEST_F(ChildContext, SaveReachesTheParentAndTheFileOnlyWhenTheParentSaves) {
    TestTask* task = makeTask(parent(), "Task");
    TestEntry* doomed = makeEntry(parent(), task, 0, 10);
    saveOrThrow(parent());

    auto child = parent().newChildContext();
    auto* childTask = findByUuid<TestTask>(*child, *task->uuid());
    childTask->setNote("from the child");
    TestEntry* added = makeEntry(*child, childTask, 20, 30);
    child->deleteObject(findByUuid<TestEntry>(*child, *doomed->uuid()));
    const std::string addedUuid = *added->uuid();
    ASSERT_TRUE(child->save().ok());
    EXPECT_FALSE(child->hasChanges());

    EXPECT_EQ(task->note(), "from the child");
    EXPECT_TRUE(doomed->isDeleted());
    TestEntry* arrived = findByUuid<TestEntry>(parent(), addedUuid);
    ASSERT_NE(arrived, nullptr);
    EXPECT_EQ(arrived->task(), task);
    EXPECT_EQ(arrived->start(), 20.0);
    EXPECT_THAT(task->entries().toVector(), ElementsAre(arrived));
    EXPECT_TRUE(parent().hasChanges());
    EXPECT_EQ(rows("Entry WHERE start = 20"), 0);
    EXPECT_EQ(rows("Task WHERE note IS NOT NULL"), 0);

    saveOrThrow(parent());
    EXPECT_EQ(rows("Entry"), 1);
    EXPECT_EQ(rows("Entry WHERE start = 20"), 1);
    EXPECT_EQ(rows("Task WHERE note = 'from the child'"), 1);
}

// Attributes the parent changed after the child was made keep the parent's value; relationships
// the child changed take the child's, as links hang together through their inverses.
TEST_F(ChildContext, AnAttributeTheParentChangedKeepsTheParentsValueARelationshipTheChilds) {
    TestTask* task = makeTask(parent(), "Original");
    task->setNote("original description");
    task->setWeight(0);
    TestTask* home = makeTask(parent(), "Home");
    TestTask* parentsChoice = makeTask(parent(), "Parent's choice");
    TestTask* childsChoice = makeTask(parent(), "Child's choice");
    TestEntry* contested = makeEntry(parent(), home, 0, 10);
    TestEntry* uncontested = makeEntry(parent(), home, 20, 30);
    saveOrThrow(parent());
    // An edit the parent made before the child existed is what the child starts from.
    task->setWeight(115);

    auto child = parent().newChildContext();
    task->setName("Parent's name");
    contested->setTask(parentsChoice);

    auto* childTask = findByUuid<TestTask>(*child, *task->uuid());
    EXPECT_EQ(childTask->weight(), 115);
    childTask->setName("Child's name");
    childTask->setNote("child's description");
    childTask->setWeight(230);
    auto* target = findByUuid<TestTask>(*child, *childsChoice->uuid());
    findByUuid<TestEntry>(*child, *contested->uuid())->setTask(target);
    findByUuid<TestEntry>(*child, *uncontested->uuid())->setTask(target);
    ASSERT_TRUE(child->save().ok());

    EXPECT_EQ(task->name(), "Parent's name");
    EXPECT_EQ(task->note(), "child's description");
    EXPECT_EQ(task->weight(), 230);
    EXPECT_EQ(contested->task(), childsChoice);
    EXPECT_EQ(uncontested->task(), childsChoice);
    EXPECT_TRUE(home->entries().empty());
    EXPECT_TRUE(parentsChoice->entries().empty());
    EXPECT_THAT(childsChoice->entries().toVector(), UnorderedElementsAre(contested, uncontested));
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
}

// Pushed by save(), or by saveAndRelease(), which leaves the child empty before the parent takes
// the changes in.
class ChildContextPush : public ChildContext, public ::testing::WithParamInterface<bool> {};

TEST_P(ChildContextPush, InsertsDeletesAndEveryKindOfLinkArriveInTheParent) {
    const bool release = GetParam();
    TestTask* a = makeTask(parent(), "A");
    TestTask* b = makeTask(parent(), "B");
    TestTask* c = makeTask(parent(), "C");
    TestTask* d = makeTask(parent(), "D");
    a->setNext(b);
    d->setNext(c);
    TestLabel* origin = makeLabel(parent(), 0);
    a->addLabel(origin);
    TestEntry* timing = makeEntry(parent(), b, 0, 10);
    saveOrThrow(parent());

    auto child = parent().newChildContext();
    // The parent keeps working meanwhile; keys handed out on both sides must not collide.
    TestTask* parentInsert = makeTask(parent(), "Inserted by the parent");

    auto in = [&](ManagedObject* record) { return child->objectWithID(record->objectID()); };
    auto* ca = static_cast<TestTask*>(in(a));
    auto* cc = static_cast<TestTask*>(in(c));
    auto* corigin = static_cast<TestLabel*>(in(origin));
    ca->setNext(cc);  // A <-> C; B and D lose their partners
    TestTask* fresh = makeTask(*child, "Inserted by the child");
    fresh->setParent(ca);
    fresh->addLabel(corigin);
    corigin->removeTask(ca);
    TestEntry* freshTiming = makeEntry(*child, fresh, 50, 60);
    TestDay* set = makeDay(*child, fresh, 7);
    freshTiming->addDay(set);
    freshTiming->setFirstDay(set);
    freshTiming->setLabel(corigin);
    child->deleteObject(in(timing));
    const std::string freshUuid = *fresh->uuid();
    ASSERT_TRUE((release ? child->saveAndRelease() : child->save()).ok());
    EXPECT_FALSE(child->hasChanges());
    if (release) {
        for (const EntityDescription* entity : child->model().entities())
            EXPECT_TRUE(child->registeredObjects(*entity).empty()) << entity->name;
    }

    TestTask* arrived = findByUuid<TestTask>(parent(), freshUuid);
    ASSERT_NE(arrived, nullptr);
    EXPECT_NE(arrived->objectID(), parentInsert->objectID());
    EXPECT_EQ(a->next(), c);
    EXPECT_EQ(c->previous(), a);
    EXPECT_EQ(b->previous(), nullptr);
    EXPECT_EQ(d->next(), nullptr);
    EXPECT_EQ(arrived->parent(), a);
    EXPECT_THAT(a->subtasks().toVector(), ElementsAre(arrived));
    EXPECT_THAT(origin->tasks().toVector(), ElementsAre(arrived));
    EXPECT_TRUE(a->labels().empty());
    ASSERT_EQ(arrived->entries().size(), 1u);
    TestEntry* arrivedTiming = *arrived->entries().begin();
    EXPECT_EQ(arrivedTiming->label(), origin);
    ASSERT_EQ(arrivedTiming->days().size(), 1u);
    EXPECT_EQ((*arrivedTiming->days().begin())->absDay(), 7);
    EXPECT_EQ(arrivedTiming->firstDay(), *arrivedTiming->days().begin());
    EXPECT_EQ(arrivedTiming->firstDay()->task(), arrived);
    EXPECT_TRUE(timing->isDeleted());
    EXPECT_TRUE(b->entries().empty());
    EXPECT_THAT(graphProblems(parent()), IsEmpty());

    saveOrThrow(parent());
    auto copy = store_testing::loadCopy(*opened.store);
    EXPECT_EQ(copy->count<TestTask>(), 6u);
    EXPECT_EQ(copy->count<TestEntry>(), 1u);
    EXPECT_THAT(graphProblems(*copy), IsEmpty());
    auto* reloaded = findByUuid<TestTask>(*copy, freshUuid);
    ASSERT_NE(reloaded, nullptr);
    EXPECT_EQ(reloaded->labels().size(), 1u);
    EXPECT_EQ(reloaded->parent()->name(), "A");
    EXPECT_EQ(reloaded->parent()->next()->name(), "C");
    ASSERT_EQ(reloaded->entries().size(), 1u);
    EXPECT_EQ((*reloaded->entries().begin())->days().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(SaveOrRelease, ChildContextPush, ::testing::Bool());

TEST_F(ChildContext, ChangesToRecordsTheParentDeletedMeanwhileAreDropped) {
    TestTask* task = makeTask(parent(), "Task");
    TestTask* other = makeTask(parent(), "Other");
    saveOrThrow(parent());
    auto child = parent().newChildContext();
    parent().deleteObject(task);

    auto* childTask = findByUuid<TestTask>(*child, *task->uuid());
    childTask->setName("Edited in the child");
    makeEntry(*child, childTask, 0, 10);
    findByUuid<TestTask>(*child, *other->uuid())->setParent(childTask);
    ASSERT_TRUE(child->save().ok());

    EXPECT_TRUE(task->isDeleted());
    EXPECT_EQ(other->parent(), nullptr);
    ASSERT_EQ(parent().count<TestEntry>(), 1u);
    EXPECT_EQ(parent().fetchAll<TestEntry>().front()->task(), nullptr);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
    saveOrThrow(parent());
}

TEST_F(ChildContext, ASecondSavePushesOnlyWhatChangedSinceTheFirst) {
    TestTask* task = makeTask(parent(), "Task");
    saveOrThrow(parent());
    auto child = parent().newChildContext();
    auto* childTask = findByUuid<TestTask>(*child, *task->uuid());
    childTask->setName("First");
    TestEntry* timing = makeEntry(*child, childTask, 0, 10);
    ASSERT_TRUE(child->save().ok());
    ASSERT_EQ(task->entries().size(), 1u);

    // The parent renames after the first push; the child's next save leaves the name alone.
    task->setName("Parent's");
    timing->setNote("second save");
    ASSERT_TRUE(child->save().ok());

    EXPECT_EQ(task->name(), "Parent's");
    EXPECT_EQ(parent().count<TestEntry>(), 1u);
    EXPECT_EQ((*task->entries().begin())->note(), "second save");
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
}

TEST_F(ChildContext, TheParentCanUndoWhatAChildSaveBroughtIn) {
    TestTask* task = makeTask(parent(), "Task");
    TestLabel* origin = makeLabel(parent(), 0);
    saveOrThrow(parent());
    const auto before = store_testing::graphSnapshot(parent());
    parent().setUndoManager(std::make_unique<ZRUndoManager>());

    auto child = parent().newChildContext();
    auto* childTask = findByUuid<TestTask>(*child, *task->uuid());
    childTask->setName("Imported");
    childTask->addLabel(static_cast<TestLabel*>(child->objectWithID(origin->objectID())));
    makeEntry(*child, childTask, 0, 10);
    parent().undoManager()->beginUndoGrouping();
    ASSERT_TRUE(child->save().ok());
    parent().undoManager()->setActionName("CSV Data Import");
    parent().undoManager()->endUndoGrouping();
    ASSERT_EQ(task->entries().size(), 1u);

    parent().undoManager()->undo();
    EXPECT_EQ(store_testing::graphSnapshot(parent()), before);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
    saveOrThrow(parent());
    EXPECT_EQ(rows("Entry"), 0);
    EXPECT_EQ(rows("Task_labels"), 0);
}

TEST_P(ChildContextPush, UndoAndRedoRestoreNewRecordsAndTheLinksTheyTookOver) {
    const bool release = GetParam();
    TestTask* a = makeTask(parent(), "A");
    TestTask* b = makeTask(parent(), "B");
    a->setNext(b);
    TestEntry* kept = makeEntry(parent(), a, 0, 10);
    kept->setNote(std::string("kept"));
    TestLabel* label = makeLabel(parent(), 2);
    saveOrThrow(parent());
    const auto before = store_testing::graphSnapshot(parent());
    parent().setUndoManager(std::make_unique<ZRUndoManager>());

    // The child puts a new task between A and B (taking B away from A in the one-to-one order),
    // moves A's entry into it, labels it and gives B a new entry.
    auto child = parent().newChildContext();
    auto* childA = findByUuid<TestTask>(*child, *a->uuid());
    auto* childB = findByUuid<TestTask>(*child, *b->uuid());
    TestTask* fresh = makeTask(*child, "New");
    fresh->setNote(std::string("with a note"));
    fresh->setNext(childB);
    childA->setNext(fresh);
    findByUuid<TestEntry>(*child, *kept->uuid())->setTask(fresh);
    fresh->addLabel(static_cast<TestLabel*>(child->objectWithID(label->objectID())));
    makeEntry(*child, childB, 20, 30)->setNote(std::string("new"));
    parent().undoManager()->beginUndoGrouping();
    ASSERT_TRUE((release ? child->saveAndRelease() : child->save()).ok());
    parent().undoManager()->endUndoGrouping();
    const auto after = store_testing::graphSnapshot(parent());
    ASSERT_NE(after, before);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());

    parent().undoManager()->undo();
    EXPECT_EQ(store_testing::graphSnapshot(parent()), before);
    EXPECT_EQ(a->next(), b);
    EXPECT_EQ(kept->task(), a);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());

    parent().undoManager()->redo();
    EXPECT_EQ(store_testing::graphSnapshot(parent()), after);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
    saveOrThrow(parent());
    EXPECT_EQ(rows("Entry"), 2);
}

// An import's worth of new records: entries on existing and new tasks, in existing and new days,
// labelled, with a day of the parent's that the child changed. One undo step takes all of it
// back, redo brings back the very same graph, and that graph is what the file then holds.
TEST_P(ChildContextPush, ManyNewRecordsAreOneStepThatUndoAndRedoTakeBackAndBringAgain) {
    const bool release = GetParam();
    TestTask* task = makeTask(parent(), "Existing");
    TestLabel* label = makeLabel(parent(), 2);
    TestEntry* old = makeEntry(parent(), task, 0, 10);
    TestDay* day = makeDay(parent(), task, 0);
    old->addDay(day);
    old->setFirstDay(day);
    saveOrThrow(parent());
    const auto before = store_testing::graphSnapshot(parent());
    parent().setUndoManager(std::make_unique<ZRUndoManager>());

    auto child = parent().newChildContext();
    auto* childTask = static_cast<TestTask*>(child->objectWithID(task->objectID()));
    auto* childLabel = static_cast<TestLabel*>(child->objectWithID(label->objectID()));
    auto* childDay = static_cast<TestDay*>(child->objectWithID(day->objectID()));
    TestTask* fresh = makeTask(*child, "New");
    fresh->setParent(childTask);
    fresh->addLabel(childLabel);
    constexpr int kEntries = 600;
    TestDay* current = nullptr;
    for (int i = 0; i < kEntries; ++i) {
        TestTask* owner = i % 3 == 0 ? childTask : fresh;
        TestEntry* entry = makeEntry(*child, owner, 100.0 * i, 100.0 * i + 50);
        entry->setLabel(childLabel);
        if (i % 2 == 0)
            entry->setNote("note " + std::to_string(i));
        if (i < 10) {
            entry->addDay(childDay);  // the parent's day takes new entries in
        } else {
            if (i % 20 == 0)
                current = makeDay(*child, owner, i / 20);
            entry->addDay(current);
            entry->setFirstDay(current);
        }
    }
    childDay->setDuration(1234.0);
    parent().undoManager()->beginUndoGrouping();
    ASSERT_TRUE((release ? child->saveAndRelease() : child->save()).ok());
    parent().undoManager()->setActionName("CSV Data Import");
    parent().undoManager()->endUndoGrouping();
    const auto after = store_testing::graphSnapshot(parent());
    ASSERT_EQ(parent().count<TestEntry>(), kEntries + 1u);
    EXPECT_EQ(day->entries().size(), 11u);
    EXPECT_EQ(task->entries().size(), kEntries / 3 + 1u);
    EXPECT_EQ(label->entries().size(), static_cast<std::size_t>(kEntries));
    EXPECT_THAT(graphProblems(parent()), IsEmpty());

    ZRUndoManager& undo = *parent().undoManager();
    ASSERT_EQ(undo.undoCount(), 1u);
    EXPECT_EQ(undo.undoActionName(), "CSV Data Import");
    undo.undo();
    EXPECT_EQ(store_testing::graphSnapshot(parent()), before);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
    undo.redo();
    EXPECT_EQ(store_testing::graphSnapshot(parent()), after);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());

    saveOrThrow(parent());
    EXPECT_EQ(rows("Entry"), kEntries + 1);
    EXPECT_EQ(store_testing::graphSnapshot(*store_testing::loadCopy(*opened.store)), after);
}

TEST_F(ChildContext, AWorkerThreadSavesThroughTheMainThreadLoop) {
    SettableClock clock(1000.0);
    VirtualMainLoop loop(clock);
    ScopedMainLoop installed(loop);

    TestTask* task = makeTask(parent(), "Imported into");
    saveOrThrow(parent());
    auto child = parent().newChildContext();
    const ObjectID taskID = task->objectID();

    std::atomic<bool> saved{false};
    bool merged = false;
    bool savedOk = false;
    std::thread worker([&] {
        auto* childTask = static_cast<TestTask*>(child->objectWithID(taskID));
        for (int i = 0; i < 500; ++i)
            makeEntry(*child, childTask, i * 10.0, i * 10.0 + 5);
        savedOk = child->save().ok();
        saved = true;
    });
    // The worker's save waits until the main thread has taken the changes in through its loop.
    while (!saved) {
        if (loop.runPending() > 0)
            merged = true;
        std::this_thread::yield();
    }
    worker.join();

    EXPECT_TRUE(savedOk);
    EXPECT_TRUE(merged);
    EXPECT_EQ(task->entries().size(), 500u);
    EXPECT_EQ(parent().insertedObjects().size(), 500u);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
    saveOrThrow(parent());
    EXPECT_EQ(rows("Entry"), 500);
}

}  // namespace
}  // namespace ravelong

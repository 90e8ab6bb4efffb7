#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/Clock.h"
#include "foundation/VirtualMainLoop.h"
#include "store/BackgroundReader.h"
#include "store/ZRUndoManager.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using store_testing::findByUuid;
using store_testing::graphProblems;
using store_testing::makeOrigin;
using store_testing::makeTask;
using store_testing::makeTiming;
using store_testing::saveOrThrow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

class ChildContext : public ::testing::Test {
protected:
    ChildContext() : opened(store_testing::openStore(folder / "child.sqlite")) {}

    std::int64_t rowsOnDisk(const std::string& table) {
        return store_testing::countRows(folder / "child.sqlite", "SELECT count(*) FROM " + table);
    }

    ManagedObjectContext& parent() { return *opened.context; }

    testing::TemporaryDirectory folder;
    store_testing::OpenedStore opened;
};

TEST_F(ChildContext, SeesTheParentsUnsavedRecordsAndValues) {
    ZRCDTask* saved = makeTask(parent(), "Saved");
    saveOrThrow(parent());
    saved->setTaskName("Renamed, unsaved");
    ZRCDTask* fresh = makeTask(parent(), "Fresh");
    fresh->setParentTask(saved);
    makeTiming(parent(), fresh, 100, 200);

    auto child = parent().newChildContext();
    auto* childSaved = findByUuid<ZRCDTask>(*child, *saved->uuid());
    auto* childFresh = findByUuid<ZRCDTask>(*child, *fresh->uuid());
    ASSERT_NE(childSaved, nullptr);
    ASSERT_NE(childFresh, nullptr);
    EXPECT_NE(childSaved, saved);  // the child has copies of its own
    EXPECT_EQ(childSaved->taskName(), "Renamed, unsaved");
    EXPECT_EQ(childFresh->parentTask(), childSaved);
    ASSERT_EQ(childFresh->timings().size(), 1u);
    EXPECT_EQ((*childFresh->timings().begin())->managedObjectContext(), child.get());
    EXPECT_FALSE(child->hasChanges());
    EXPECT_THAT(graphProblems(*child), IsEmpty());
}

TEST_F(ChildContext, ACopyOfLargeSetsIsTheSameGraphAndChangesInItStayExact) {
    // Sets past a few dozen members carry an index; the copy must not share or keep the
    // parent's.
    ZRCDTask* busy = makeTask(parent(), "Busy");
    ZRCDTask* other = makeTask(parent(), "Other");
    for (int i = 0; i < 60; ++i)
        makeTiming(parent(), busy, i * 100.0, i * 100.0 + 50.0);
    saveOrThrow(parent());
    // A membership test indexes the parent's list of timings.
    const ObjectSet& timings = parent().registeredObjects(ZRCDTiming::entityDescription());
    ASSERT_TRUE(timings.contains(*busy->timings().begin()));
    makeTiming(parent(), busy, 9000, 9100);  // unsaved

    auto child = parent().newChildContext();
    EXPECT_EQ(store_testing::graphSnapshot(*child), store_testing::graphSnapshot(parent()));
    EXPECT_THAT(graphProblems(*child), IsEmpty());

    auto* childBusy = findByUuid<ZRCDTask>(*child, *busy->uuid());
    auto* childOther = findByUuid<ZRCDTask>(*child, *other->uuid());
    ASSERT_NE(childBusy, nullptr);
    const std::vector<ZRCDTiming*> copies = childBusy->timings().toVector();
    ASSERT_EQ(copies.size(), 61u);
    for (std::size_t i = 0; i < copies.size(); i += 5)
        child->deleteObject(copies[i]);
    copies[1]->setTask(childOther);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        EXPECT_EQ(childBusy->timings().contains(copies[i]), i % 5 != 0 && i != 1) << i;
        EXPECT_EQ(child->registeredObjects(ZRCDTiming::entityDescription()).contains(copies[i]),
                  i % 5 != 0)
            << i;
    }
    EXPECT_EQ(busy->timings().size(), 61u);  // the parent is untouched until the child saves
    EXPECT_THAT(graphProblems(*child), IsEmpty());

    saveOrThrow(*child);
    EXPECT_EQ(busy->timings().size(), 61u - 13u - 1u);
    EXPECT_EQ(other->timings().size(), 1u);
    EXPECT_EQ(parent().count<ZRCDTiming>(), 61u - 13u);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
}

TEST_F(ChildContext, SaveReachesTheParentAndTheFileOnlyWhenTheParentSaves) {
    ZRCDTask* task = makeTask(parent(), "Task");
    ZRCDTiming* doomed = makeTiming(parent(), task, 0, 10);
    saveOrThrow(parent());

    auto child = parent().newChildContext();
    auto* childTask = findByUuid<ZRCDTask>(*child, *task->uuid());
    childTask->setTaskDescription("from the child");
    ZRCDTiming* added = makeTiming(*child, childTask, 20, 30);
    child->deleteObject(findByUuid<ZRCDTiming>(*child, *doomed->uuid()));
    const std::string addedUuid = *added->uuid();
    ASSERT_TRUE(child->save().ok());
    EXPECT_FALSE(child->hasChanges());

    EXPECT_EQ(task->taskDescription(), "from the child");
    EXPECT_TRUE(doomed->isDeleted());
    ZRCDTiming* arrived = findByUuid<ZRCDTiming>(parent(), addedUuid);
    ASSERT_NE(arrived, nullptr);
    EXPECT_EQ(arrived->task(), task);
    EXPECT_EQ(arrived->startDate(), 20.0);
    EXPECT_THAT(task->timings().toVector(), ElementsAre(arrived));
    EXPECT_TRUE(parent().hasChanges());
    EXPECT_EQ(rowsOnDisk("ZRCDTiming WHERE startDate = 20"), 0);
    EXPECT_EQ(rowsOnDisk("ZRCDTask WHERE taskDescription IS NOT NULL"), 0);

    saveOrThrow(parent());
    EXPECT_EQ(rowsOnDisk("ZRCDTiming"), 1);
    EXPECT_EQ(rowsOnDisk("ZRCDTiming WHERE startDate = 20"), 1);
    EXPECT_EQ(rowsOnDisk("ZRCDTask WHERE taskDescription = 'from the child'"), 1);
}

// Attributes the parent changed after the child was made keep the parent's value; relationships
// the child changed take the child's, as links hang together through their inverses.
TEST_F(ChildContext, AnAttributeTheParentChangedKeepsTheParentsValueARelationshipTheChilds) {
    ZRCDTask* task = makeTask(parent(), "Original");
    task->setTaskDescription("original description");
    task->setRounding(0);
    ZRCDTask* home = makeTask(parent(), "Home");
    ZRCDTask* parentsChoice = makeTask(parent(), "Parent's choice");
    ZRCDTask* childsChoice = makeTask(parent(), "Child's choice");
    ZRCDTiming* contested = makeTiming(parent(), home, 0, 10);
    ZRCDTiming* uncontested = makeTiming(parent(), home, 20, 30);
    saveOrThrow(parent());
    // An edit the parent made before the child existed is what the child starts from.
    task->setRounding(115);

    auto child = parent().newChildContext();
    task->setTaskName("Parent's name");
    contested->setTask(parentsChoice);

    auto* childTask = findByUuid<ZRCDTask>(*child, *task->uuid());
    EXPECT_EQ(childTask->rounding(), 115);
    childTask->setTaskName("Child's name");
    childTask->setTaskDescription("child's description");
    childTask->setRounding(230);
    auto* target = findByUuid<ZRCDTask>(*child, *childsChoice->uuid());
    findByUuid<ZRCDTiming>(*child, *contested->uuid())->setTask(target);
    findByUuid<ZRCDTiming>(*child, *uncontested->uuid())->setTask(target);
    ASSERT_TRUE(child->save().ok());

    EXPECT_EQ(task->taskName(), "Parent's name");
    EXPECT_EQ(task->taskDescription(), "child's description");
    EXPECT_EQ(task->rounding(), 230);
    EXPECT_EQ(contested->task(), childsChoice);
    EXPECT_EQ(uncontested->task(), childsChoice);
    EXPECT_TRUE(home->timings().empty());
    EXPECT_TRUE(parentsChoice->timings().empty());
    EXPECT_THAT(childsChoice->timings().toVector(), UnorderedElementsAre(contested, uncontested));
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
}

TEST_F(ChildContext, InsertsDeletesAndEveryKindOfLinkArriveInTheParent) {
    ZRCDTask* a = makeTask(parent(), "A");
    ZRCDTask* b = makeTask(parent(), "B");
    ZRCDTask* c = makeTask(parent(), "C");
    ZRCDTask* d = makeTask(parent(), "D");
    a->setNextTask(b);
    d->setNextTask(c);
    ZRCDOrigin* origin = makeOrigin(parent(), 0);
    a->addOriginsObject(origin);
    ZRCDTiming* timing = makeTiming(parent(), b, 0, 10);
    saveOrThrow(parent());

    auto child = parent().newChildContext();
    // The parent keeps working meanwhile; keys handed out on both sides must not collide.
    ZRCDTask* parentInsert = makeTask(parent(), "Inserted by the parent");

    auto in = [&](ManagedObject* record) { return child->objectWithID(record->objectID()); };
    auto* ca = static_cast<ZRCDTask*>(in(a));
    auto* cc = static_cast<ZRCDTask*>(in(c));
    auto* corigin = static_cast<ZRCDOrigin*>(in(origin));
    ca->setNextTask(cc);  // A <-> C; B and D lose their partners
    ZRCDTask* fresh = makeTask(*child, "Inserted by the child");
    fresh->setParentTask(ca);
    fresh->addOriginsObject(corigin);
    corigin->removeTasksObject(ca);
    ZRCDTiming* freshTiming = makeTiming(*child, fresh, 50, 60);
    auto* set = child->insertNewObject<ZRCDTimingSet>();
    set->setTask(fresh);
    set->setAbsDay(7);
    freshTiming->addTimingSetsObject(set);
    freshTiming->setFirstTimingSet(set);
    freshTiming->setOrigin(corigin);
    child->deleteObject(in(timing));
    ASSERT_TRUE(child->save().ok());

    ZRCDTask* arrived = findByUuid<ZRCDTask>(parent(), *fresh->uuid());
    ASSERT_NE(arrived, nullptr);
    EXPECT_NE(arrived->objectID(), parentInsert->objectID());
    EXPECT_EQ(a->nextTask(), c);
    EXPECT_EQ(c->prevTask(), a);
    EXPECT_EQ(b->prevTask(), nullptr);
    EXPECT_EQ(d->nextTask(), nullptr);
    EXPECT_EQ(arrived->parentTask(), a);
    EXPECT_THAT(a->childTasks().toVector(), ElementsAre(arrived));
    EXPECT_THAT(origin->tasks().toVector(), ElementsAre(arrived));
    EXPECT_TRUE(a->origins().empty());
    ASSERT_EQ(arrived->timings().size(), 1u);
    ZRCDTiming* arrivedTiming = *arrived->timings().begin();
    EXPECT_EQ(arrivedTiming->origin(), origin);
    ASSERT_EQ(arrivedTiming->timingSets().size(), 1u);
    EXPECT_EQ((*arrivedTiming->timingSets().begin())->absDay(), 7);
    EXPECT_EQ(arrivedTiming->firstTimingSet(), *arrivedTiming->timingSets().begin());
    EXPECT_EQ(arrivedTiming->firstTimingSet()->task(), arrived);
    EXPECT_TRUE(timing->isDeleted());
    EXPECT_TRUE(b->timings().empty());
    EXPECT_THAT(graphProblems(parent()), IsEmpty());

    saveOrThrow(parent());
    auto reader = opened.store->openBackgroundReader();
    ASSERT_TRUE(reader.ok());
    auto copy = reader.value()->loadContext();
    ASSERT_TRUE(copy.ok());
    EXPECT_EQ(copy.value()->count<ZRCDTask>(), 6u);
    EXPECT_EQ(copy.value()->count<ZRCDTiming>(), 1u);
    EXPECT_THAT(graphProblems(*copy.value()), IsEmpty());
    auto* reloaded = findByUuid<ZRCDTask>(*copy.value(), *fresh->uuid());
    ASSERT_NE(reloaded, nullptr);
    EXPECT_EQ(reloaded->origins().size(), 1u);
    EXPECT_EQ(reloaded->parentTask()->taskName(), "A");
    EXPECT_EQ(reloaded->parentTask()->nextTask()->taskName(), "C");
}

TEST_F(ChildContext, ChangesToRecordsTheParentDeletedMeanwhileAreDropped) {
    ZRCDTask* task = makeTask(parent(), "Task");
    ZRCDTask* other = makeTask(parent(), "Other");
    saveOrThrow(parent());
    auto child = parent().newChildContext();
    parent().deleteObject(task);

    auto* childTask = findByUuid<ZRCDTask>(*child, *task->uuid());
    childTask->setTaskName("Edited in the child");
    makeTiming(*child, childTask, 0, 10);
    findByUuid<ZRCDTask>(*child, *other->uuid())->setParentTask(childTask);
    ASSERT_TRUE(child->save().ok());

    EXPECT_TRUE(task->isDeleted());
    EXPECT_EQ(other->parentTask(), nullptr);
    ASSERT_EQ(parent().count<ZRCDTiming>(), 1u);
    EXPECT_EQ(parent().fetchAll<ZRCDTiming>().front()->task(), nullptr);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
    saveOrThrow(parent());
}

TEST_F(ChildContext, ASecondSavePushesOnlyWhatChangedSinceTheFirst) {
    ZRCDTask* task = makeTask(parent(), "Task");
    saveOrThrow(parent());
    auto child = parent().newChildContext();
    auto* childTask = findByUuid<ZRCDTask>(*child, *task->uuid());
    childTask->setTaskName("First");
    ZRCDTiming* timing = makeTiming(*child, childTask, 0, 10);
    ASSERT_TRUE(child->save().ok());
    ASSERT_EQ(task->timings().size(), 1u);

    // The parent renames after the first push; the child's next save leaves the name alone.
    task->setTaskName("Parent's");
    timing->setNote("second save");
    ASSERT_TRUE(child->save().ok());

    EXPECT_EQ(task->taskName(), "Parent's");
    EXPECT_EQ(parent().count<ZRCDTiming>(), 1u);
    EXPECT_EQ((*task->timings().begin())->note(), "second save");
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
}

TEST_F(ChildContext, TheParentCanUndoWhatAChildSaveBroughtIn) {
    ZRCDTask* task = makeTask(parent(), "Task");
    ZRCDOrigin* origin = makeOrigin(parent(), 0);
    saveOrThrow(parent());
    const auto before = store_testing::graphSnapshot(parent());
    parent().setUndoManager(std::make_unique<ZRUndoManager>());

    auto child = parent().newChildContext();
    auto* childTask = findByUuid<ZRCDTask>(*child, *task->uuid());
    childTask->setTaskName("Imported");
    childTask->addOriginsObject(static_cast<ZRCDOrigin*>(child->objectWithID(origin->objectID())));
    makeTiming(*child, childTask, 0, 10);
    parent().undoManager()->beginUndoGrouping();
    ASSERT_TRUE(child->save().ok());
    parent().undoManager()->setActionName("CSV Data Import");
    parent().undoManager()->endUndoGrouping();
    ASSERT_EQ(task->timings().size(), 1u);

    parent().undoManager()->undo();
    EXPECT_EQ(store_testing::graphSnapshot(parent()), before);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
    saveOrThrow(parent());
    EXPECT_EQ(rowsOnDisk("ZRCDTiming"), 0);
    EXPECT_EQ(rowsOnDisk("ZRCDTask_origins"), 0);
}

TEST_F(ChildContext, AWorkerThreadSavesThroughTheMainThreadLoop) {
    SettableClock clock(1000.0);
    VirtualMainLoop loop(clock);
    ScopedMainLoop installed(loop);

    ZRCDTask* task = makeTask(parent(), "Imported into");
    saveOrThrow(parent());
    auto child = parent().newChildContext();
    const ObjectID taskID = task->objectID();

    std::atomic<bool> saved{false};
    bool merged = false;
    bool savedOk = false;
    std::thread worker([&] {
        auto* childTask = static_cast<ZRCDTask*>(child->objectWithID(taskID));
        for (int i = 0; i < 500; ++i)
            makeTiming(*child, childTask, i * 10.0, i * 10.0 + 5);
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
    EXPECT_EQ(task->timings().size(), 500u);
    EXPECT_EQ(parent().insertedObjects().size(), 500u);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
    saveOrThrow(parent());
    EXPECT_EQ(rowsOnDisk("ZRCDTiming"), 500);
}

}  // namespace
}  // namespace ravelong

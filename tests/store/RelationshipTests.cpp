#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "store/ManagedObjectContext.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using store_testing::TestDay;
using store_testing::TestEntry;
using store_testing::TestLabel;
using store_testing::TestTask;

using store_testing::graphProblems;
using store_testing::makeDay;
using store_testing::makeEntry;
using store_testing::makeLabel;
using store_testing::makeTask;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

TEST(Relationships, TaskAndEntriesStayInverseFromEitherSideAndAMovedEntryLeavesItsTask) {
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* task = makeTask(context, "Write");
    TestTask* second = makeTask(context, "Second");
    TestEntry* fromToOne = makeEntry(context, task, 10, 20);
    TestEntry* fromToMany = makeEntry(context, nullptr, 30, 40);
    task->addEntry(fromToMany);
    EXPECT_EQ(fromToMany->task(), task);
    EXPECT_THAT(task->entries().toVector(), ElementsAre(fromToOne, fromToMany));

    // Moved by the to-one side, then by the to-many side.
    fromToOne->setTask(second);
    EXPECT_THAT(task->entries().toVector(), ElementsAre(fromToMany));
    EXPECT_THAT(second->entries().toVector(), ElementsAre(fromToOne));
    task->addEntry(fromToOne);
    EXPECT_EQ(fromToOne->task(), task);
    EXPECT_THAT(task->entries().toVector(), UnorderedElementsAre(fromToOne, fromToMany));
    EXPECT_TRUE(second->entries().empty());

    task->removeEntry(fromToOne);
    EXPECT_EQ(fromToOne->task(), nullptr);
    fromToMany->setTask(nullptr);
    EXPECT_TRUE(task->entries().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, ParentTaskAndChildTasksStayInverseWhenATaskMoves) {
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* a = makeTask(context, "A");
    TestTask* b = makeTask(context, "B");
    TestTask* child = makeTask(context, "Child");
    child->setParent(a);
    EXPECT_THAT(a->subtasks().toVector(), ElementsAre(child));

    b->addSubtask(child);
    EXPECT_EQ(child->parent(), b);
    EXPECT_TRUE(a->subtasks().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

// The order, linked from either side:
//   A <-> B, D <-> C, then A.next = C     becomes   A <-> C,  B and D without partners
//   A <-> B, C <-> D, then B.previous = C  becomes   C <-> B,  A and D without partners
TEST(Relationships, LinkingNextOrPreviousClearsTheOldPartnersOfBothTasks) {
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* a = makeTask(context, "A");
    TestTask* b = makeTask(context, "B");
    TestTask* c = makeTask(context, "C");
    TestTask* d = makeTask(context, "D");
    a->setNext(b);
    d->setNext(c);
    ASSERT_EQ(b->previous(), a);
    ASSERT_EQ(c->previous(), d);
    a->setNext(c);
    EXPECT_EQ(a->next(), c);
    EXPECT_EQ(c->previous(), a);
    EXPECT_EQ(b->previous(), nullptr);
    EXPECT_EQ(d->next(), nullptr);

    a->setNext(b);
    c->setNext(d);
    b->setPrevious(c);
    EXPECT_EQ(c->next(), b);
    EXPECT_EQ(b->previous(), c);
    EXPECT_EQ(a->next(), nullptr);
    EXPECT_EQ(d->previous(), nullptr);
    b->setPrevious(nullptr);
    EXPECT_EQ(c->next(), nullptr);
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, LabelsAndTasksStayInverseFromEitherSide) {
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* a = makeTask(context, "A");
    TestTask* b = makeTask(context, "B");
    TestLabel* manual = makeLabel(context, 0);
    TestLabel* imported = makeLabel(context, 2);

    a->addLabel(manual);
    a->addLabel(imported);
    imported->addTask(b);
    a->addLabel(manual);  // already a member: no duplicate

    EXPECT_THAT(a->labels().toVector(), ElementsAre(manual, imported));
    EXPECT_THAT(manual->tasks().toVector(), ElementsAre(a));
    EXPECT_THAT(imported->tasks().toVector(), ElementsAre(a, b));
    EXPECT_THAT(b->labels().toVector(), ElementsAre(imported));

    imported->removeTask(a);
    EXPECT_THAT(a->labels().toVector(), ElementsAre(manual));
    EXPECT_THAT(imported->tasks().toVector(), ElementsAre(b));
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, EntriesAndTheirDaysStayInverse) {
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* task = makeTask(context, "Task");
    TestEntry* timing = makeEntry(context, task, 0, 100000);
    TestDay* day1 = makeDay(context, task, 1);
    TestDay* day2 = makeDay(context, task, 2);

    timing->addDay(day1);
    day2->addEntry(timing);
    timing->setFirstDay(day1);
    EXPECT_THAT(day1->entries().toVector(), ElementsAre(timing));
    EXPECT_THAT(timing->days().toVector(), ElementsAre(day1, day2));
    EXPECT_THAT(day1->firstEntries().toVector(), ElementsAre(timing));
    EXPECT_THAT(task->days().toVector(), UnorderedElementsAre(day1, day2));

    day2->addFirstEntry(timing);
    EXPECT_EQ(timing->firstDay(), day2);
    EXPECT_TRUE(day1->firstEntries().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, ReplacingAllMembersByKeyKeepsInverses) {
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* task = makeTask(context, "Task");
    TestEntry* kept = makeEntry(context, task, 0, 1);
    TestEntry* dropped = makeEntry(context, task, 1, 2);
    TestEntry* added = makeEntry(context, nullptr, 2, 3);

    task->setValueForKey("entries", std::vector<ManagedObject*>{kept, added});
    EXPECT_EQ(dropped->task(), nullptr);
    EXPECT_EQ(added->task(), task);
    EXPECT_THAT(task->entries().toVector(), UnorderedElementsAre(kept, added));

    kept->setValueForKey("task", static_cast<ManagedObject*>(nullptr));
    EXPECT_THAT(task->entries().toVector(), ElementsAre(added));
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

// A task in every kind of relationship at once: parent, subtask, order neighbours on both sides,
// labels, entries and days.
TEST(Relationships, DeletingATaskLeavesNoRecordPointingAtIt) {
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* parent = makeTask(context, "Parent");
    TestTask* task = makeTask(context, "Task");
    TestTask* child = makeTask(context, "Child");
    TestTask* before = makeTask(context, "Before");
    TestTask* after = makeTask(context, "After");
    TestLabel* origin = makeLabel(context, 0);
    task->setParent(parent);
    child->setParent(task);
    before->setNext(task);
    task->setNext(after);
    origin->addTask(task);
    origin->addTask(parent);
    TestEntry* timing = makeEntry(context, task, 0, 10);
    TestDay* set = makeDay(context, task, 5);
    set->addEntry(timing);
    set->addFirstEntry(timing);

    context.deleteObject(task);

    EXPECT_TRUE(task->isDeleted());
    EXPECT_TRUE(parent->subtasks().empty());
    EXPECT_EQ(child->parent(), nullptr);
    EXPECT_EQ(before->next(), nullptr);
    EXPECT_EQ(after->previous(), nullptr);
    EXPECT_THAT(origin->tasks().toVector(), ElementsAre(parent));
    EXPECT_EQ(timing->task(), nullptr);
    EXPECT_EQ(set->task(), nullptr);
    // Records that only pointed at each other keep their links.
    EXPECT_THAT(set->entries().toVector(), ElementsAre(timing));
    EXPECT_THAT(graphProblems(context), IsEmpty());
    EXPECT_EQ(context.count<TestTask>(), 4u);
    EXPECT_FALSE(context.registeredObjects(TestTask::entityDescription()).contains(task));
}

TEST(Relationships, DeletingAnEntryTakesItOutOfItsTaskLabelAndDays) {
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* task = makeTask(context, "Task");
    TestLabel* origin = makeLabel(context, 0);
    TestEntry* timing = makeEntry(context, task, 0, 10);
    TestEntry* other = makeEntry(context, task, 20, 30);
    timing->setLabel(origin);
    TestDay* set = makeDay(context, task, 1);
    timing->addDay(set);
    other->addDay(set);
    timing->setFirstDay(set);

    context.deleteObject(timing);
    context.deleteObject(timing);  // a second delete does nothing

    EXPECT_THAT(task->entries().toVector(), ElementsAre(other));
    EXPECT_TRUE(origin->entries().empty());
    EXPECT_THAT(set->entries().toVector(), ElementsAre(other));
    EXPECT_TRUE(set->firstEntries().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, ALargeToManySetKeepsMembershipExactAfterRemovals) {
    // Sets past a few dozen members switch to an index; removal then moves the last member.
    ManagedObjectContext context(store_testing::storeTestModel());
    TestTask* task = makeTask(context, "Task");
    std::vector<TestEntry*> timings;
    for (int i = 0; i < 100; ++i)
        timings.push_back(makeEntry(context, task, i, i + 1));
    for (int i = 0; i < 100; i += 3)
        context.deleteObject(timings[i]);
    timings[1]->setTask(nullptr);
    task->addEntry(timings[1]);
    task->addEntry(timings[1]);

    std::size_t expected = 0;
    for (int i = 0; i < 100; ++i) {
        const bool member = i % 3 != 0;
        expected += member ? 1 : 0;
        EXPECT_EQ(task->entries().contains(timings[i]), member) << i;
    }
    EXPECT_EQ(task->entries().size(), expected);
    // The standard algorithms take a relationship as it is.
    const auto members = task->entries();
    EXPECT_EQ(std::distance(members.begin(), members.end()), static_cast<long>(expected));
    EXPECT_TRUE(std::find(members.begin(), members.end(), timings[0]) == members.end());
    EXPECT_TRUE(std::find(members.begin(), members.end(), timings[1]) != members.end());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, DeletingARecordOfAnotherContextChangesNothing) {
    ManagedObjectContext mine{store_testing::storeTestModel()};
    ManagedObjectContext other{store_testing::storeTestModel()};
    TestTask* task = makeTask(other, "Theirs");
    mine.deleteObject(task);
    mine.deleteObject(nullptr);
    EXPECT_FALSE(task->isDeleted());
    EXPECT_EQ(other.count<TestTask>(), 1u);
}

TEST(Relationships, FetchFiltersSortsAndLimits) {
    ManagedObjectContext context(store_testing::storeTestModel());
    for (const char* name : {"delta", "alpha", "charlie", "bravo"})
        makeTask(context, name);
    context.deleteObject(makeTask(context, "echo"));

    FetchRequest<TestTask> request;
    request.predicate = [](const TestTask& t) { return t.name() != "alpha"; };
    request.sortDescriptors = {
        sortAscending<TestTask>([](const TestTask& t) { return t.name().value_or(""); })};
    std::vector<std::string> names;
    for (TestTask* task : context.fetch(request))
        names.push_back(*task->name());
    EXPECT_THAT(names, ElementsAre("bravo", "charlie", "delta"));

    request.fetchLimit = 2;
    request.sortDescriptors = {
        sortDescending<TestTask>([](const TestTask& t) { return t.name().value_or(""); })};
    names.clear();
    for (TestTask* task : context.fetch(request))
        names.push_back(*task->name());
    EXPECT_THAT(names, ElementsAre("delta", "charlie"));
    EXPECT_EQ(context.count<TestTask>([](const TestTask& t) { return t.name() < "c"; }), 2u);
}

}  // namespace
}  // namespace ravelong

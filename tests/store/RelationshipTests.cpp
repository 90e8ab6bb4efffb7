#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "store/ManagedObjectContext.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using store_testing::graphProblems;
using store_testing::makeOrigin;
using store_testing::makeTask;
using store_testing::makeTiming;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

ZRCDTimingSet* makeTimingSet(ManagedObjectContext& context, ZRCDTask* task, std::int32_t absDay) {
    auto* set = context.insertNewObject<ZRCDTimingSet>();
    set->setAbsDay(absDay);
    set->setTask(task);
    return set;
}

TEST(Relationships, ToOneAndToManySidesOfTaskAndTimingsStayInverse) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* task = makeTask(context, "Write");
    ZRCDTiming* fromToOne = makeTiming(context, task, 10, 20);
    ZRCDTiming* fromToMany = makeTiming(context, nullptr, 30, 40);
    task->addTimingsObject(fromToMany);

    EXPECT_EQ(fromToMany->task(), task);
    EXPECT_THAT(task->timings().toVector(), ElementsAre(fromToOne, fromToMany));

    task->removeTimingsObject(fromToOne);
    EXPECT_EQ(fromToOne->task(), nullptr);
    fromToMany->setTask(nullptr);
    EXPECT_TRUE(task->timings().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, MovingATimingToAnotherTaskTakesItOutOfTheFirstTask) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* first = makeTask(context, "First");
    ZRCDTask* second = makeTask(context, "Second");
    ZRCDTask* third = makeTask(context, "Third");
    ZRCDTiming* timing = makeTiming(context, first, 0, 60);

    timing->setTask(second);
    EXPECT_TRUE(first->timings().empty());
    EXPECT_THAT(second->timings().toVector(), ElementsAre(timing));

    // The same move made from the to-many side.
    third->addTimingsObject(timing);
    EXPECT_EQ(timing->task(), third);
    EXPECT_TRUE(second->timings().empty());
    EXPECT_THAT(third->timings().toVector(), ElementsAre(timing));
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, ParentTaskAndChildTasksStayInverseWhenATaskMoves) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* a = makeTask(context, "A");
    ZRCDTask* b = makeTask(context, "B");
    ZRCDTask* child = makeTask(context, "Child");
    child->setParentTask(a);
    EXPECT_THAT(a->childTasks().toVector(), ElementsAre(child));

    b->addChildTasksObject(child);
    EXPECT_EQ(child->parentTask(), b);
    EXPECT_TRUE(a->childTasks().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

// Display chain, before and after A.nextTask = C:
//   A <-> B      D <-> C        becomes        A <-> C,  B and D without partners
TEST(Relationships, LinkingNextTaskClearsTheOldPartnersOfBothTasks) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* a = makeTask(context, "A");
    ZRCDTask* b = makeTask(context, "B");
    ZRCDTask* c = makeTask(context, "C");
    ZRCDTask* d = makeTask(context, "D");
    a->setNextTask(b);
    d->setNextTask(c);
    ASSERT_EQ(b->prevTask(), a);
    ASSERT_EQ(c->prevTask(), d);

    a->setNextTask(c);
    EXPECT_EQ(a->nextTask(), c);
    EXPECT_EQ(c->prevTask(), a);
    EXPECT_EQ(b->prevTask(), nullptr);
    EXPECT_EQ(d->nextTask(), nullptr);
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, LinkingPrevTaskClearsTheOldPartnersOfBothTasks) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* a = makeTask(context, "A");
    ZRCDTask* b = makeTask(context, "B");
    ZRCDTask* c = makeTask(context, "C");
    ZRCDTask* d = makeTask(context, "D");
    a->setNextTask(b);  // A <-> B
    c->setNextTask(d);  // C <-> D

    b->setPrevTask(c);  // C <-> B; A and D lose their partners
    EXPECT_EQ(c->nextTask(), b);
    EXPECT_EQ(b->prevTask(), c);
    EXPECT_EQ(a->nextTask(), nullptr);
    EXPECT_EQ(d->prevTask(), nullptr);

    b->setPrevTask(nullptr);
    EXPECT_EQ(c->nextTask(), nullptr);
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, OriginsAndTasksStayInverseFromEitherSide) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* a = makeTask(context, "A");
    ZRCDTask* b = makeTask(context, "B");
    ZRCDOrigin* manual = makeOrigin(context, 0);
    ZRCDOrigin* imported = makeOrigin(context, 2);

    a->addOriginsObject(manual);
    a->addOriginsObject(imported);
    imported->addTasksObject(b);
    a->addOriginsObject(manual);  // already a member: no duplicate

    EXPECT_THAT(a->origins().toVector(), ElementsAre(manual, imported));
    EXPECT_THAT(manual->tasks().toVector(), ElementsAre(a));
    EXPECT_THAT(imported->tasks().toVector(), ElementsAre(a, b));
    EXPECT_THAT(b->origins().toVector(), ElementsAre(imported));

    imported->removeTasksObject(a);
    EXPECT_THAT(a->origins().toVector(), ElementsAre(manual));
    EXPECT_THAT(imported->tasks().toVector(), ElementsAre(b));
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, TimingsAndTheirDayAggregatesStayInverse) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* task = makeTask(context, "Task");
    ZRCDTiming* timing = makeTiming(context, task, 0, 100000);
    ZRCDTimingSet* day1 = makeTimingSet(context, task, 1);
    ZRCDTimingSet* day2 = makeTimingSet(context, task, 2);

    timing->addTimingSetsObject(day1);
    day2->addTimingsObject(timing);
    timing->setFirstTimingSet(day1);
    EXPECT_THAT(day1->timings().toVector(), ElementsAre(timing));
    EXPECT_THAT(timing->timingSets().toVector(), ElementsAre(day1, day2));
    EXPECT_THAT(day1->firstTimings().toVector(), ElementsAre(timing));
    EXPECT_THAT(task->timingSets().toVector(), UnorderedElementsAre(day1, day2));

    day2->addFirstTimingsObject(timing);
    EXPECT_EQ(timing->firstTimingSet(), day2);
    EXPECT_TRUE(day1->firstTimings().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, ReplacingAllMembersByKeyKeepsInverses) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* task = makeTask(context, "Task");
    ZRCDTiming* kept = makeTiming(context, task, 0, 1);
    ZRCDTiming* dropped = makeTiming(context, task, 1, 2);
    ZRCDTiming* added = makeTiming(context, nullptr, 2, 3);

    task->setValueForKey("timings", std::vector<ManagedObject*>{kept, added});
    EXPECT_EQ(dropped->task(), nullptr);
    EXPECT_EQ(added->task(), task);
    EXPECT_THAT(task->timings().toVector(), UnorderedElementsAre(kept, added));

    kept->setValueForKey("task", static_cast<ManagedObject*>(nullptr));
    EXPECT_THAT(task->timings().toVector(), ElementsAre(added));
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

// A task in every kind of relationship at once: parent, child, chain neighbours on both sides,
// origins, timings and day aggregates.
TEST(Relationships, DeletingATaskLeavesNoRecordPointingAtIt) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* parent = makeTask(context, "Parent");
    ZRCDTask* task = makeTask(context, "Task");
    ZRCDTask* child = makeTask(context, "Child");
    ZRCDTask* before = makeTask(context, "Before");
    ZRCDTask* after = makeTask(context, "After");
    ZRCDOrigin* origin = makeOrigin(context, 0);
    task->setParentTask(parent);
    child->setParentTask(task);
    before->setNextTask(task);
    task->setNextTask(after);
    origin->addTasksObject(task);
    origin->addTasksObject(parent);
    ZRCDTiming* timing = makeTiming(context, task, 0, 10);
    ZRCDTimingSet* set = makeTimingSet(context, task, 5);
    set->addTimingsObject(timing);
    set->addFirstTimingsObject(timing);

    context.deleteObject(task);

    EXPECT_TRUE(task->isDeleted());
    EXPECT_TRUE(parent->childTasks().empty());
    EXPECT_EQ(child->parentTask(), nullptr);
    EXPECT_EQ(before->nextTask(), nullptr);
    EXPECT_EQ(after->prevTask(), nullptr);
    EXPECT_THAT(origin->tasks().toVector(), ElementsAre(parent));
    EXPECT_EQ(timing->task(), nullptr);
    EXPECT_EQ(set->task(), nullptr);
    // Records that only pointed at each other keep their links.
    EXPECT_THAT(set->timings().toVector(), ElementsAre(timing));
    EXPECT_THAT(graphProblems(context), IsEmpty());
    EXPECT_EQ(context.count<ZRCDTask>(), 4u);
    EXPECT_FALSE(context.registeredObjects(ZRCDTask::entityDescription()).contains(task));
}

TEST(Relationships, DeletingATimingTakesItOutOfItsTaskOriginAndDayAggregates) {
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* task = makeTask(context, "Task");
    ZRCDOrigin* origin = makeOrigin(context, 0);
    ZRCDTiming* timing = makeTiming(context, task, 0, 10);
    ZRCDTiming* other = makeTiming(context, task, 20, 30);
    timing->setOrigin(origin);
    ZRCDTimingSet* set = makeTimingSet(context, task, 1);
    timing->addTimingSetsObject(set);
    other->addTimingSetsObject(set);
    timing->setFirstTimingSet(set);

    context.deleteObject(timing);
    context.deleteObject(timing);  // a second delete does nothing

    EXPECT_THAT(task->timings().toVector(), ElementsAre(other));
    EXPECT_TRUE(origin->timings().empty());
    EXPECT_THAT(set->timings().toVector(), ElementsAre(other));
    EXPECT_TRUE(set->firstTimings().empty());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, ALargeToManySetKeepsMembershipExactAfterRemovals) {
    // Sets past a few dozen members switch to an index; removal then moves the last member.
    ManagedObjectContext context(ravelongModel());
    ZRCDTask* task = makeTask(context, "Task");
    std::vector<ZRCDTiming*> timings;
    for (int i = 0; i < 100; ++i)
        timings.push_back(makeTiming(context, task, i, i + 1));
    for (int i = 0; i < 100; i += 3)
        context.deleteObject(timings[i]);
    timings[1]->setTask(nullptr);
    task->addTimingsObject(timings[1]);
    task->addTimingsObject(timings[1]);

    std::size_t expected = 0;
    for (int i = 0; i < 100; ++i) {
        const bool member = i % 3 != 0;
        expected += member ? 1 : 0;
        EXPECT_EQ(task->timings().contains(timings[i]), member) << i;
    }
    EXPECT_EQ(task->timings().size(), expected);
    // The standard algorithms take a relationship as it is.
    const auto members = task->timings();
    EXPECT_EQ(std::distance(members.begin(), members.end()), static_cast<long>(expected));
    EXPECT_TRUE(std::find(members.begin(), members.end(), timings[0]) == members.end());
    EXPECT_TRUE(std::find(members.begin(), members.end(), timings[1]) != members.end());
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

TEST(Relationships, DeletingARecordOfAnotherContextChangesNothing) {
    ManagedObjectContext mine{ravelongModel()};
    ManagedObjectContext other{ravelongModel()};
    ZRCDTask* task = makeTask(other, "Theirs");
    mine.deleteObject(task);
    mine.deleteObject(nullptr);
    EXPECT_FALSE(task->isDeleted());
    EXPECT_EQ(other.count<ZRCDTask>(), 1u);
}

TEST(Relationships, FetchFiltersSortsAndLimits) {
    ManagedObjectContext context(ravelongModel());
    for (const char* name : {"delta", "alpha", "charlie", "bravo"})
        makeTask(context, name);
    context.deleteObject(makeTask(context, "echo"));

    FetchRequest<ZRCDTask> request;
    request.predicate = [](const ZRCDTask& t) { return t.taskName() != "alpha"; };
    request.sortDescriptors = {
        sortAscending<ZRCDTask>([](const ZRCDTask& t) { return t.taskName().value_or(""); })};
    std::vector<std::string> names;
    for (ZRCDTask* task : context.fetch(request))
        names.push_back(*task->taskName());
    EXPECT_THAT(names, ElementsAre("bravo", "charlie", "delta"));

    request.fetchLimit = 2;
    request.sortDescriptors = {
        sortDescending<ZRCDTask>([](const ZRCDTask& t) { return t.taskName().value_or(""); })};
    names.clear();
    for (ZRCDTask* task : context.fetch(request))
        names.push_back(*task->taskName());
    EXPECT_THAT(names, ElementsAre("delta", "charlie"));
    EXPECT_EQ(context.count<ZRCDTask>([](const ZRCDTask& t) { return t.taskName() < "c"; }), 2u);
}

}  // namespace
}  // namespace ravelong

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "store/BackgroundReader.h"
#include "store/ZRUndoManager.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/store/model/StoreTestModel.h"

namespace ravelong {
namespace {

using store_testing::graphProblems;
using store_testing::graphSnapshot;
using store_testing::makeTask;
using store_testing::saveOrThrow;
using store_testing::TestDay;
using store_testing::TestEntry;
using store_testing::TestLabel;
using store_testing::TestTask;
using ::testing::IsEmpty;

// Pushes of a child's relinked task order, re-parented tasks and relabelled tasks into the
// parent: the parent must end up with exactly the child's graph, and so must the file.
class ChildContextMerge : public store_testing::OpenStoreTest {
protected:
    ManagedObjectContext& parent() { return context(); }

    static TestTask* in(ManagedObjectContext& context, ManagedObject* record) {
        return static_cast<TestTask*>(context.objectWithID(record->objectID()));
    }

    // The names along the order, from every head; a sound order has one head.
    std::vector<std::string> orders(ManagedObjectContext& context) {
        std::vector<std::string> result;
        for (ManagedObject* object : context.registeredObjects(TestTask::entityDescription())) {
            auto* task = static_cast<TestTask*>(object);
            if (task->previous())
                continue;
            std::string order;
            for (TestTask* t = task; t; t = t->next())
                order += t->name().value_or("?");
            result.push_back(order);
        }
        std::sort(result.begin(), result.end());
        return result;
    }

    std::vector<std::string> reloadedSnapshot() {
        return graphSnapshot(*store_testing::loadCopy(*opened.store));
    }
};

TEST_F(ChildContextMerge, AReorderedChainArrivesWithOneHeadAndOneTail) {
    TestTask* a = makeTask(parent(), "A");
    TestTask* b = makeTask(parent(), "B");
    TestTask* c = makeTask(parent(), "C");
    TestTask* d = makeTask(parent(), "D");
    a->setNext(b);
    b->setNext(c);
    c->setNext(d);
    saveOrThrow(parent());
    parent().setUndoManager(std::make_unique<ZRUndoManager>());
    const auto before = graphSnapshot(parent());

    // A B C D becomes A C B D the way a move does it: take B out, put it back after C.
    auto child = parent().newChildContext();
    in(*child, a)->setNext(in(*child, c));
    in(*child, b)->setNext(in(*child, d));
    in(*child, c)->setNext(in(*child, b));
    ASSERT_EQ(orders(*child), std::vector<std::string>{"ACBD"});
    ASSERT_TRUE(child->save().ok());

    EXPECT_EQ(orders(parent()), std::vector<std::string>{"ACBD"});
    EXPECT_EQ(graphSnapshot(parent()), graphSnapshot(*child));
    EXPECT_THAT(graphProblems(parent()), IsEmpty());

    // The push is one step back for the parent's undo.
    parent().processPendingChanges();
    parent().undoManager()->undo();
    EXPECT_EQ(graphSnapshot(parent()), before);
    parent().undoManager()->redo();
    EXPECT_EQ(orders(parent()), std::vector<std::string>{"ACBD"});
    saveOrThrow(parent());
    EXPECT_EQ(reloadedSnapshot(), graphSnapshot(parent()));
}

TEST_F(ChildContextMerge, ARelationshipTheChildChangedTakesTheChildsValueOverTheParents) {
    TestTask* a = makeTask(parent(), "A");
    TestTask* b = makeTask(parent(), "B");
    TestTask* c = makeTask(parent(), "C");
    TestTask* home = makeTask(parent(), "H");
    a->setParent(home);
    saveOrThrow(parent());

    auto child = parent().newChildContext();
    a->setParent(b);  // the parent moves A meanwhile
    a->setName("A'");
    in(*child, a)->setParent(in(*child, c));
    in(*child, a)->setName("A''");
    in(*child, b)->setNext(in(*child, c));
    ASSERT_TRUE(child->save().ok());

    EXPECT_EQ(a->parent(), c);
    EXPECT_TRUE(b->subtasks().empty());
    EXPECT_TRUE(home->subtasks().empty());
    EXPECT_EQ(a->name(), "A'");  // an attribute the parent changed keeps the parent's value
    EXPECT_EQ(b->next(), c);
    EXPECT_THAT(graphProblems(parent()), IsEmpty());
}

// One round: a random forest with a random order and labels in the parent (saved, or partly
// unsaved), then random moves, re-parentings, relabellings, insertions and deletions in a child,
// pushed once or twice.
class RandomRound {
public:
    RandomRound(ManagedObjectContext& parent, unsigned seed) : parent_(parent), random_(seed) {}

    void buildForest(int taskCount, int labelCount) {
        for (int i = 0; i < labelCount; ++i) {
            auto* label =
                static_cast<TestLabel*>(parent_.insertNewObject(TestLabel::entityDescription()));
            label->setTitle("L" + std::to_string(i));
            labels_.push_back(label);
        }
        std::vector<TestTask*> tasks;
        for (int i = 0; i < taskCount; ++i) {
            auto* task =
                static_cast<TestTask*>(parent_.insertNewObject(TestTask::entityDescription()));
            task->setName(std::string(1, static_cast<char>('A' + i)));
            if (i > 0 && chance(0.6))
                task->setParent(tasks[pick(tasks.size())]);
            for (TestLabel* label : labels_) {
                if (chance(0.3))
                    task->addLabel(label);
            }
            tasks.push_back(task);
        }
        std::shuffle(tasks.begin(), tasks.end(), random_);
        for (std::size_t i = 0; i + 1 < tasks.size(); ++i)
            tasks[i]->setNext(tasks[i + 1]);
        // Entries of the tasks on days of their own (one-to-many and many-to-many both ways).
        std::vector<TestDay*> days;
        for (int i = 0; i < 3; ++i) {
            days.push_back(
                static_cast<TestDay*>(parent_.insertNewObject(TestDay::entityDescription())));
            days.back()->setAbsDay(i);
        }
        for (int i = 0; i < taskCount; ++i) {
            auto* entry =
                static_cast<TestEntry*>(parent_.insertNewObject(TestEntry::entityDescription()));
            entry->setTask(tasks[pick(tasks.size())]);
            entry->addDay(days[pick(days.size())]);
            if (chance(0.5))
                entry->setFirstDay(days[pick(days.size())]);
        }
    }

    void changeChild(ManagedObjectContext& child, int changes) {
        for (int i = 0; i < changes; ++i) {
            std::vector<TestTask*> tasks = live<TestTask>(child);
            std::vector<TestLabel*> labels = live<TestLabel>(child);
            std::vector<TestEntry*> entries = live<TestEntry>(child);
            std::vector<TestDay*> days = live<TestDay>(child);
            if (tasks.size() < 2)
                return;
            TestTask* a = tasks[pick(tasks.size())];
            TestTask* b = tasks[pick(tasks.size())];
            switch (pick(10)) {
                case 0:
                case 1:
                    moveAfter(a, b);
                    break;
                case 2:
                    a->setNext(chance(0.2) ? nullptr : b);  // raw relinks too
                    break;
                case 3:
                    if (!isAncestor(a, b))
                        a->setParent(chance(0.2) ? nullptr : b);
                    break;
                case 4:
                    if (!labels.empty()) {
                        TestLabel* label = labels[pick(labels.size())];
                        if (a->labels().contains(label))
                            a->removeLabel(label);
                        else
                            a->addLabel(label);
                    }
                    break;
                case 5: {
                    auto* fresh = static_cast<TestTask*>(
                        child.insertNewObject(TestTask::entityDescription()));
                    fresh->setName("n" + std::to_string(inserted_++));
                    fresh->setParent(chance(0.5) ? a : nullptr);
                    moveAfter(fresh, b);
                    if (!labels.empty())
                        fresh->addLabel(labels[pick(labels.size())]);
                    break;
                }
                case 6:
                    if (chance(0.5)) {
                        // Taking a task out of the order as the program does before deleting it.
                        if (a->previous())
                            a->previous()->setNext(a->next());
                    }
                    child.deleteObject(a);
                    break;
                case 7:
                    if (!entries.empty()) {
                        TestEntry* entry = entries[pick(entries.size())];
                        if (chance(0.3))
                            a->addEntry(entry);  // from the to-many side
                        else
                            entry->setTask(chance(0.1) ? nullptr : a);
                    }
                    break;
                case 8:
                    if (!entries.empty() && !days.empty()) {
                        TestEntry* entry = entries[pick(entries.size())];
                        TestDay* day = days[pick(days.size())];
                        if (chance(0.3))
                            entry->setFirstDay(day);
                        else if (entry->days().contains(day))
                            entry->removeDay(day);
                        else
                            entry->addDay(day);
                    }
                    break;
                default:
                    a->setName(a->name().value_or("") + "'");
                    break;
            }
        }
    }

private:
    bool chance(double p) { return std::bernoulli_distribution(p)(random_); }
    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }

    template <class T>
    static std::vector<T*> live(ManagedObjectContext& context) {
        std::vector<T*> result;
        for (ManagedObject* object : context.registeredObjects(T::entityDescription()))
            result.push_back(static_cast<T*>(object));
        // A stable order, so a seed always makes the same round.
        std::sort(result.begin(), result.end(), [](const T* x, const T* y) {
            return x->objectID().primaryKey < y->objectID().primaryKey;
        });
        return result;
    }

    static bool isAncestor(const TestTask* task, const TestTask* of) {
        for (const TestTask* t = of; t; t = t->parent()) {
            if (t == task)
                return true;
        }
        return false;
    }

    // Moves `task` to follow `after` in the order.
    static void moveAfter(TestTask* task, TestTask* after) {
        if (task == after)
            return;
        if (TestTask* previous = task->previous())
            previous->setNext(task->next());
        else
            task->setNext(nullptr);
        TestTask* following = after->next();
        after->setNext(task);
        task->setNext(following);
    }

    ManagedObjectContext& parent_;
    std::mt19937 random_;
    std::vector<TestLabel*> labels_;
    int inserted_ = 0;
};

TEST_F(ChildContextMerge, AfterRandomChangesInAChildTheParentAndTheFileEqualTheChild) {
    for (unsigned seed = 1; seed <= 240; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        for (const EntityDescription* entity : parent().model().entities()) {
            const std::vector<ManagedObject*> doomed = parent().registeredObjects(*entity).items();
            for (ManagedObject* object : doomed)
                parent().deleteObject(object);
        }
        RandomRound round(parent(), seed);
        round.buildForest(4 + static_cast<int>(seed % 9), static_cast<int>(seed % 4));
        // Most rounds start from a saved graph; some from unsaved records in the parent.
        if (seed % 5 != 0)
            saveOrThrow(parent());

        auto child = parent().newChildContext();
        round.changeChild(*child, 1 + static_cast<int>(seed % 12));
        ASSERT_THAT(graphProblems(*child), IsEmpty());
        ASSERT_TRUE(child->save().ok());
        ASSERT_EQ(graphSnapshot(parent()), graphSnapshot(*child));
        if (seed % 3 == 0) {
            // A second push carries only what changed since the first.
            round.changeChild(*child, 1 + static_cast<int>(seed % 7));
            ASSERT_TRUE(child->save().ok());
            ASSERT_EQ(graphSnapshot(parent()), graphSnapshot(*child));
        }
        ASSERT_THAT(graphProblems(parent()), IsEmpty());
        if (seed % 4 == 0) {
            // Through the file too (every round would cost seconds of disk syncs).
            saveOrThrow(parent());
            ASSERT_EQ(reloadedSnapshot(), graphSnapshot(parent()));
        }
    }
}

}  // namespace
}  // namespace ravelong

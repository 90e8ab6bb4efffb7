#include "app/SavePathTexts.h"
#include "app/ZRUserDefaults2.h"
#include "stats/ZRConsideredTasks.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::StatsWorld;
using Names = std::vector<std::string>;

class ConsideredTasksTest : public StatsWorld {
protected:
    ConsideredTasksTest() {
        // A (A1 (A1a archived), A2 archived), B archived (B1 archived), C; A1 and B1 checked.
        tree("A A1<A A1a<A1 A2<A B B1<B C");
        for (const char* name : {"A1a", "A2", "B", "B1"})
            tasks[name]->setIsArchived(true);
        tasks["A1"]->setTaskIsSelected(true);
        tasks["B1"]->setTaskIsSelected(true);
        settle();
        posts = 0;
        center.addObserver(std::string(kConsideredTasksChanged), nullptr,
                           [this](const Notification& note) {
                               if (note.object == considered.get())
                                   ++posts;
                           });
        considered = std::make_unique<ZRConsideredTasks>(*context, defaults, center);
    }
    void select(std::int64_t state, std::int64_t show, const char* highlighted = nullptr) {
        ZRUserDefaults2::setSelectionState(state);
        ZRUserDefaults2::setShowTasks(show);
        ZRUserDefaults2::setSelectedTaskInDataSelection(highlighted ? tasks.at(highlighted)->uuid()
                                                                    : std::nullopt);
    }

    int posts = 0;
    std::unique_ptr<ZRConsideredTasks> considered;
};

struct SelectionCase {
    std::int64_t state;
    std::int64_t show;
    const char* highlighted;
    Names expected;
};

TEST_F(ConsideredTasksTest, EachSelectionStateAndArchiveFilterConsidersItsTasksInChainOrder) {
    const std::vector<SelectionCase> cases = {
        {2, 3, nullptr, {"A1", "A1a", "B1"}},
        {2, 2, nullptr, {"A1"}},
        {2, 1, nullptr, {"A1", "A1a", "B1"}},
        {1, 3, "A", {"A", "A1", "A1a", "A2"}},
        {1, 2, "A", {"A", "A1"}},
        {1, 1, "A", {"A", "A1a", "A2"}},
        {1, 2, "B", {}},  // an archived highlighted task shows nothing, not even its children
        {1, 3, "B", {"B", "B1"}},
        {1, 3, nullptr, {}},
        {3, 3, nullptr, {"A", "A1", "A2", "B", "B1", "C"}},
        {3, 2, nullptr, {"A", "A1", "C"}},
        {3, 1, nullptr, {"A2", "B", "B1"}},
        {0, 3, nullptr, {}},
        {4, 3, nullptr, {}},
        {2, 0, nullptr, {}},
        {3, 4, nullptr, {}},
    };
    tasks["A1a"]->setIsVisibleInDataSelection(false);
    settle();
    for (const SelectionCase& c : cases) {
        select(c.state, c.show, c.highlighted);
        considered->fetch();
        EXPECT_EQ(names(considered->array()), c.expected)
            << "state " << c.state << " show " << c.show << " "
            << (c.highlighted ? c.highlighted : "");
    }
}

TEST_F(ConsideredTasksTest, DeletedHighlightedTaskConsidersNothing) {
    select(1, 3, "C");
    EXPECT_EQ(names(considered->array()), Names{"C"});
    context->deleteObject(tasks["C"]);
    context->processPendingChanges();
    EXPECT_TRUE(considered->fetch());
    EXPECT_TRUE(considered->array().empty());
}

TEST_F(ConsideredTasksTest, NotifiesOnlyWhenTheListChanges) {
    select(2, 3);
    const int before = posts;
    EXPECT_GE(before, 1);              // the switch to the checked tasks changed the list
    ZRUserDefaults2::setShowTasks(1);  // A1 A1a B1 again: the same list
    EXPECT_EQ(posts, before);
    EXPECT_EQ(names(considered->array()), (Names{"A1", "A1a", "B1"}));
    ZRUserDefaults2::setShowTasks(2);
    EXPECT_EQ(posts, before + 1);
    EXPECT_EQ(names(considered->array()), Names{"A1"});
    EXPECT_FALSE(considered->fetch());
    EXPECT_EQ(posts, before + 1);
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "core/tree/MenuBarSearchUpdater.h"
#include "core/tree/TaskSearch.h"
#include "core/tree/TreeTexts.h"
#include "foundation/Clock.h"
#include "foundation/UserDefaults.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"
#include "tests/core/chain/ChainTestSupport.h"

namespace ravelong {
namespace {

using chain_testing::Forest;

// Client A (Design (Logo) Meetings)  Über Calls  Clinic
class TaskSearch : public ::testing::Test {
protected:
    TaskSearch() {
        forest.add("Client A");
        forest.add("Design", "Client A");
        forest.add("Logo", "Design");
        forest.add("Meetings", "Client A");
        forest.add("Über Calls");
        forest.add("Clinic");
        forest.link(chainOrder());
    }
    std::string marked() {
        std::string text;
        for (ZRCDTask* t : chainOrder()) {
            if (t->isVisibleDuringSearch())
                text += (text.empty() ? "" : ", ") + *t->taskName();
        }
        return text;
    }
    std::vector<ZRCDTask*> chainOrder() {
        std::vector<ZRCDTask*> order;
        for (const char* name : {"Client A", "Design", "Logo", "Meetings", "Über Calls", "Clinic"})
            order.push_back(forest[name]);
        return order;
    }
    int search(std::string_view text) {
        return task_search::setTasksContainingStringAndAncestorsVisibleDuringSearchAndHideOthers(
            text, forest.context());
    }
    Forest forest;
};

TEST_F(TaskSearch, EachOfSeveralWordsMayMatchAnotherLevel) {
    // "des" in Design, "cli" in its parent Client A; Logo has both among its ancestors.
    EXPECT_EQ(search("des cli"), 2);
    EXPECT_EQ(marked(), "Client A, Design, Logo");
    // Several words ignore diacritics, one word does not.
    EXPECT_EQ(search("uber calls"), 1);
    EXPECT_EQ(marked(), "Über Calls");
    EXPECT_EQ(search("uber"), 0);
    EXPECT_EQ(search("ÜBER"), 1);
}

TEST_F(TaskSearch, OneWordMatchesOnlyTheTasksOwnNameAndMarksItsAncestors) {
    EXPECT_EQ(search("Cli"), 2);
    EXPECT_EQ(marked(), "Client A, Clinic");
    EXPECT_EQ(search("logo"), 1);
    EXPECT_EQ(marked(), "Client A, Design, Logo");
    // Runs of spaces make no empty words; no word matches nothing.
    EXPECT_EQ(search("  logo  "), 1);
    EXPECT_EQ(search(""), 0);
    EXPECT_EQ(marked(), "");
}

TEST_F(TaskSearch, TheStatisticsVariantMarksMatchingLeavesOnly) {
    forest.context().processPendingChanges();
    forest.undo().removeAllActions();
    EXPECT_EQ(
        task_search::setLeafTasksContainingStringInFullTaskNameVisibleDuringSearchAndHideOthers(
            "client a", forest.context()),
        2);
    EXPECT_EQ(marked(), "Logo, Meetings");
    forest.context().processPendingChanges();
    EXPECT_FALSE(forest.undo().canUndo()) << "search marks are no undo steps";
}

class MenuBarSearch : public TaskSearch {
protected:
    MenuBarSearch() {
        forest["Clinic"]->setIsArchived(true);
        forest["Logo"]->setIsVisibleInMenuBar(false);
    }
    std::string listedNames() { return chain_testing::names(listed); }

    SettableClock clock{1000.0};
    ScopedClock scopedClock{clock};
    VirtualMainLoop loop{clock};
    ScopedMainLoop scopedLoop{loop};
    testing::TemporaryDirectory directory;
    UserDefaults defaults{directory / "settings.json"};
    ScopedUserDefaults scopedDefaults{UserDefaults::Suite::standard, defaults};
    std::vector<ZRCDTask*> listed;
    int updates = 0;
    MenuBarSearchUpdater updater{forest.context(), [this](const std::vector<ZRCDTask*>& tasks) {
                                     listed = tasks;
                                     ++updates;
                                 }};
};

TEST_F(MenuBarSearch, TypingQuicklyUpdatesAtMostEveryThirdOfASecond) {
    updater.setSearchTerm("c");
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(listedNames(), "Client A Über Calls");  // Clinic is archived

    clock.advance(0.1);
    updater.setSearchTerm("cl");
    clock.advance(0.1);
    updater.setSearchTerm("cli  ");
    EXPECT_EQ(updates, 1);
    EXPECT_TRUE(updater.updatePending());
    EXPECT_EQ(defaults.stringForKey(kMenuBarSearchTermDefaultsKey), "cli  ");

    loop.advance(0.29);
    EXPECT_EQ(updates, 1);
    loop.advance(0.02);
    EXPECT_EQ(updates, 2);
    EXPECT_EQ(listedNames(), "Client A");
    EXPECT_FALSE(updater.updatePending());

    // After a pause the next key updates at once.
    clock.advance(1.0);
    updater.setSearchTerm("mee");
    EXPECT_EQ(updates, 3);
    EXPECT_EQ(listedNames(), "Client A Meetings");
}

TEST_F(MenuBarSearch, AnEmptyTextListsWhatTheMenuBarShows) {
    updater.setSearchTerm("   ");
    EXPECT_EQ(listedNames(), "Client A Design Meetings Über Calls");
    updater.setSearchTerm("logo");
    clock.advance(0.5);
    updater.clearSearchTerm();
    EXPECT_EQ(listedNames(), "Client A Design Meetings Über Calls");
    EXPECT_EQ(defaults.stringForKey(kMenuBarSearchTermDefaultsKey), "");
}

TEST(MenuBarSearchTerm, SpacesAreCollapsedAndTrimmed) {
    EXPECT_EQ(MenuBarSearchUpdater::normalizedSearchTerm("  a    b \t"), "a b");
    EXPECT_EQ(MenuBarSearchUpdater::normalizedSearchTerm("   "), "");
    EXPECT_EQ(MenuBarSearchUpdater::normalizedSearchTerm("x"), "x");
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include <sstream>

#include "core/model/TaskColor.h"
#include "core/repairs/ColorMigration.h"
#include "core/repairs/MenuBarVisibilityRepairs.h"
#include "tests/core/chain/ChainTestSupport.h"

namespace ravelong {
namespace {

using chain_testing::Forest;

// T (C1 (G1 G2) C2 (G3))  U (D1 (G4))
class MenuBarVisibilityRepairs : public ::testing::Test {
protected:
    MenuBarVisibilityRepairs() { forest.grow("T C1<T G1<C1 G2<C1 C2<T G3<C2 U D1<U G4<D1"); }
    void hide(const std::string& names) {
        std::istringstream in(names);
        for (std::string name; in >> name;)
            forest[name]->setIsVisibleInMenuBar(false);
    }
    std::string shown() {
        std::string text;
        for (const char* name : {"T", "C1", "G1", "G2", "C2", "G3", "U", "D1", "G4"}) {
            if (forest[name]->isVisibleInMenuBar())
                text += std::string(text.empty() ? "" : " ") + name;
        }
        return text;
    }
    bool repair() { return store_repairs::fixMenuBarVisibilities_inContext(forest.context()); }
    Forest forest;
};

TEST_F(MenuBarVisibilityRepairs, GroupsAreShownOrHiddenAsAWholeAndConsistentFlagsLeftAlone) {
    hide("G1 G2 D1 G4");
    EXPECT_FALSE(repair());
    EXPECT_EQ(shown(), "T C1 C2 G3 U");

    // T hidden; C1 shown but C2 not; of C1's children one shown; U's child hidden with G4 shown.
    forest["G1"]->setIsVisibleInMenuBar(true);
    forest["G4"]->setIsVisibleInMenuBar(true);
    hide("T C2");
    EXPECT_EQ(store_repairs::numberOfVisibleInMenuBarChildrenIgnoringSearchTerm(forest["T"]), 1);
    EXPECT_TRUE(repair());
    EXPECT_EQ(shown(), "T C1 G1 G2 C2 G3 U");
    EXPECT_FALSE(repair());
}

TEST_F(MenuBarVisibilityRepairs, AFourthTierIsHandedToItsGrandparent) {
    forest.add("Deep", "G1");
    forest.link("T C1 G1 Deep G2 C2 G3 U D1 G4");
    EXPECT_TRUE(repair());
    EXPECT_EQ(forest["Deep"]->parentTask(), forest["C1"]);
    EXPECT_TRUE(forest["Deep"]->isVisibleInMenuBar());
    EXPECT_TRUE(chain_testing::chainProblems(forest.context()).empty()) << forest.chain();
}

TEST(ColorMigration, ArchivedColorsBecomeBlackAndShortDataStays) {
    Forest forest;
    ZRCDTask* archived = forest.add("Archived");
    archived->setTaskColor(Data(40, 0x62));
    ZRCDTask* elevenBytes = forest.add("Eleven");
    elevenBytes->setTaskColor(Data(11, 0x01));
    ZRCDTask* tenBytes = forest.add("Ten");
    tenBytes->setTaskColor(Data(10, 0x01));
    ZRCDTask* current = forest.add("Current");
    current->setTaskColor(encodeTaskColor({1.0, 0.5, 0.0, 1.0}));
    ZRCDTask* none = forest.add("None");

    EXPECT_TRUE(store_repairs::migrateColors_inContext(forest.context()));
    EXPECT_EQ(archived->taskColor(), Data({0, 0, 0, 0}));
    EXPECT_EQ(elevenBytes->taskColor(), Data({0, 0, 0, 0}));
    EXPECT_EQ(tenBytes->taskColor(), Data(10, 0x01));
    EXPECT_EQ(current->taskColor(), Data({0x00, 0x80, 0xFF, 0x00}));
    EXPECT_FALSE(none->taskColor().has_value());
    EXPECT_FALSE(store_repairs::migrateColors_inContext(forest.context()));
}

}  // namespace
}  // namespace ravelong

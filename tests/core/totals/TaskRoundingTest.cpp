#include <gtest/gtest.h>

#include "core/totals/TaskRounding.h"
#include "core/totals/TotalsTexts.h"
#include "store/ZRUndoManager.h"
#include "tests/core/totals/TotalsTestSupport.h"

namespace ravelong {
namespace {

using namespace task_totals;

class TaskRounding : public totals_testing::TotalsTest {
protected:
    TaskRounding() {
        center.addObserver(std::string(kZRRoundingModified), nullptr,
                           [this](const Notification&) { ++roundingModified; });
    }
    int roundingModified = 0;
};

TEST_F(TaskRounding, TheEffectiveRuleIsInheritedDownTheTree) {
    ZRCDTask* client = newTask("Client");
    ZRCDTask* project = newChild(client, "Project");
    ZRCDTask* phase = newChild(project, "Phase");
    EXPECT_EQ(getProperRounding(*client), 0);  // a tier-1 task has nothing to inherit
    EXPECT_EQ(getProperRounding(*phase), 0);
    client->setRounding(215);
    EXPECT_EQ(getProperRounding(*project), 215);
    EXPECT_EQ(getProperRounding(*phase), 215);
    project->setRounding(30);  // explicitly no rounding, remembering 30 minutes
    EXPECT_EQ(getProperRounding(*phase), 30);
    phase->setRounding(105);
    EXPECT_EQ(getProperRounding(*phase), 105);
    // The charts ask whether anything below a task rounds: an own rule of a descendant counts.
    client->setRounding(-1);
    EXPECT_TRUE(thisTaskOrAnyDescendantRoundsTimes(*client));
    phase->setRounding(99);
    EXPECT_FALSE(thisTaskOrAnyDescendantRoundsTimes(*client));
}

TEST_F(TaskRounding, AParentLoopInADamagedStoreEndsTheLookUp) {
    ZRCDTask* a = newTask("A");
    ZRCDTask* b = newChild(a, "B");
    a->setParentTask(b);
    EXPECT_EQ(getProperRounding(*a), 0);
    EXPECT_FALSE(thisTaskOrAnyDescendantRoundsTimes(*a));
}

TEST_F(TaskRounding, SettingARuleFillsTheCachesOfTheSetsThatUseIt) {
    ZRCDTask* client = newTask("Client");
    ZRCDTask* inheriting = newChild(client, "Inheriting");
    ZRCDTask* own = newChild(client, "Own rule");
    own->setRounding(30);
    stoppedTiming(inheriting, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    stoppedTiming(own, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 9, 10));
    ZRCDTimingSet* inheritingSet = setOn(inheriting, dayNumber(2024, 3, 5));
    ZRCDTimingSet* ownSet = setOn(own, dayNumber(2024, 3, 5));
    ASSERT_FALSE(flag.roundingEnabled());

    // The first rule switches rounding on before the caches are refreshed, so they are filled.
    setRounding(*client, 115);
    EXPECT_TRUE(flag.roundingEnabled());
    EXPECT_EQ(inheritingSet->cachedRounding(), 115);
    EXPECT_EQ(inheritingSet->roundedDuration(), 900);
    EXPECT_EQ(ownSet->cachedRounding(), -1);  // not visited: it keeps its own rule

    setRounding(*own, 330);
    EXPECT_EQ(ownSet->cachedRounding(), 330);
    EXPECT_EQ(ownSet->roundedDuration(), 0);

    // Taking the last rule away switches rounding off and empties the caches.
    setRounding(*own, -1);
    setRounding(*client, -1);
    EXPECT_FALSE(flag.roundingEnabled());
    EXPECT_EQ(inheritingSet->cachedRounding(), -1);
    EXPECT_EQ(ownSet->cachedRounding(), -1);
}

TEST_F(TaskRounding, TheTypeControlIsOneUndoStepAndIsSaved) {
    ZRCDTask* client = newTask("Client");
    ZRCDTask* design = newChild(client, "Design");
    stoppedTiming(design, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 8, 10));
    ASSERT_TRUE(context.save());
    ZRUndoManager& undo = *context.undoManager();
    undo.removeAllActions();

    EXPECT_TRUE(setRoundingType(*client, 2));
    EXPECT_EQ(client->rounding(), 201);  // no minutes yet: one minute
    EXPECT_FALSE(context.hasChanges());
    EXPECT_EQ(roundingModified, 1);
    EXPECT_EQ(undo.undoActionName(), kUndoSetTaskRoundingType);
    EXPECT_EQ(undo.undoCount(), 1u);
    EXPECT_EQ(setOn(design, dayNumber(2024, 3, 5))->cachedRounding(), 201);

    // The subtask chooses "none" explicitly, then goes back to inheriting.
    EXPECT_TRUE(setRoundingType(*design, 0));
    EXPECT_EQ(design->rounding(), 1);
    EXPECT_EQ(getProperRounding(*design), 1);
    EXPECT_TRUE(setRoundingType(*design, -1));
    EXPECT_EQ(design->rounding(), -1);

    // The same type again, a type that does not exist, or "inherit" where it already inherits:
    // nothing happens.
    EXPECT_FALSE(setRoundingType(*client, 2));
    EXPECT_FALSE(setRoundingType(*client, 4));
    EXPECT_FALSE(setRoundingType(*client, -2));
    EXPECT_FALSE(setRoundingType(*design, -1));
    EXPECT_EQ(roundingModified, 3);

    // A tier-1 task that stops rounding inherits (which for it means none).
    EXPECT_TRUE(setRoundingType(*client, 0));
    EXPECT_EQ(client->rounding(), -1);
    EXPECT_FALSE(flag.roundingEnabled());

    undo.undo();
    EXPECT_EQ(client->rounding(), 201);
    EXPECT_EQ(setOn(design, dayNumber(2024, 3, 5))->cachedRounding(), 201);

    // Another type keeps the minutes.
    client->setRounding(115);
    EXPECT_TRUE(setRoundingType(*client, 3));
    EXPECT_EQ(client->rounding(), 315);
}

TEST_F(TaskRounding, TheMinutesControlInheritsWhenItMatchesTheParent) {
    ZRCDTask* client = newTask("Client");
    ZRCDTask* design = newChild(client, "Design");
    ZRCDTask* review = newChild(design, "Review");
    client->setRounding(215);
    ZRUndoManager& undo = *context.undoManager();

    // A subtask that inherits 215 picks 30 minutes: same type, its own minutes.
    EXPECT_TRUE(setRoundingMinutes(*design, 30));
    EXPECT_EQ(design->rounding(), 230);
    EXPECT_EQ(undo.undoActionName(), kUndoSetTaskRoundingMinutes);
    // Picking the parent's minutes again means inheriting.
    EXPECT_TRUE(setRoundingMinutes(*design, 15));
    EXPECT_EQ(design->rounding(), -1);
    EXPECT_FALSE(setRoundingMinutes(*design, 15));

    // A parent that changes its minutes lets descendants that now match it inherit.
    review->setRounding(245);
    design->setRounding(230);
    EXPECT_TRUE(setRoundingMinutes(*client, 45));
    EXPECT_EQ(client->rounding(), 245);
    EXPECT_EQ(review->rounding(), -1);
    EXPECT_EQ(design->rounding(), 230);
    EXPECT_EQ(getProperRounding(*review), 230);  // now inherits from its own parent
    EXPECT_EQ(roundingModified, 3);

    // Minutes outside 1...99 would spill into the type: refused.
    EXPECT_FALSE(setRoundingMinutes(*client, 0));
    EXPECT_FALSE(setRoundingMinutes(*client, 100));
    EXPECT_FALSE(setRoundingMinutes(*client, 150));
    EXPECT_EQ(client->rounding(), 245);

    undo.undo();
    EXPECT_EQ(client->rounding(), 215);
    EXPECT_EQ(review->rounding(), 245);
}

TEST_F(TaskRounding, ToolTipsAndDescriptionsOfTheRule) {
    ZRCDTask* client = newTask("Client");
    ZRCDTask* design = newChild(client, "Design");
    const struct {
        std::int16_t code;
        const char* toolTip;
        const char* description;
    } own[] = {
        {-1, "", "no rounding"},
        {15, "", "no rounding"},
        {101, "Round up to nearest minute", "round up to nearest minute"},
        {115, "Round up to nearest 15 minutes", "round up to nearest 15 minutes"},
        {201, "Round to nearest minute", "round to nearest minute"},
        {260, "Round to nearest 60 minutes", "round to nearest 60 minutes"},
        {301, "Round down to nearest minute", "round down to nearest minute"},
        {399, "Round down to nearest 99 minutes", "round down to nearest 99 minutes"},
        {200, "", "no rounding"},
        {415, "", "no rounding"},
    };
    for (const auto& c : own) {
        client->setRounding(c.code);
        EXPECT_EQ(getRoundingToolTip(*client), c.toolTip) << c.code;
        EXPECT_EQ(getRoundingDescription(*client), c.description) << c.code;
    }
    // Inherited rules say so on a second line, except the one-minute forms.
    client->setRounding(230);
    EXPECT_EQ(getRoundingToolTip(*design),
              "Round to nearest 30 minutes\n(setting inherited from parent task)");
    EXPECT_EQ(getRoundingDescription(*design), "round to nearest 30 minutes");
    client->setRounding(115);
    EXPECT_EQ(getRoundingToolTip(*design),
              "Round up to nearest 15 minutes\n(setting inherited from parent task)");
    client->setRounding(345);
    EXPECT_EQ(getRoundingToolTip(*design),
              "Round down to nearest 45 minutes\n(setting inherited from parent task)");
    client->setRounding(101);
    EXPECT_EQ(getRoundingToolTip(*design), "Round up to nearest minute");
    // A task that does not round but hides a subtask that does.
    client->setRounding(-1);
    design->setRounding(215);
    EXPECT_EQ(getRoundingToolTip(*client), "");
    design->setIsVisibleInDataSelection(false);
    EXPECT_EQ(getRoundingToolTip(*client), "Contains a subtask that uses rounding");
}

}  // namespace
}  // namespace ravelong

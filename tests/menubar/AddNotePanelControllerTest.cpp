#include <vector>

#include "core/timer/TimerTexts.h"
#include "menubar/AddNotePanelController.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;

// An add-note panel view that records what it was asked to draw.
class RecordingAddNoteView final : public AddNotePanelView {
public:
    bool isPanelVisible() const override { return visible; }
    void bringPanelToFront() override { ++raises; }
    void openPanel() override {
        visible = true;
        ++openings;
    }
    void showTimingList(const std::vector<AddNoteListEntry>& entries,
                        std::size_t selected) override {
        shownEntries = entries;
        shownSelection = selected;
    }
    bool invertingInputHeld() const override { return inverting; }

    bool visible = false;
    bool inverting = false;
    int openings = 0;
    int raises = 0;
    std::vector<AddNoteListEntry> shownEntries;
    std::size_t shownSelection = 0;
};

// The whole decision table: every type against every preference, without and with an inverting
// key. Columns are the preference values 0..3 and an out-of-range 7 (behaves as 0).
TEST(AddNoteDecision, FollowsThePreferenceAndTheInvertingKeys) {
    struct Row {
        int type;
        bool inverting;
        std::array<bool, 5> opens;  // preference 0, 1, 2, 3, 7
    };
    const Row rows[] = {
        {1, false, {true, true, true, true, true}},
        {1, true, {true, true, true, true, true}},
        {5, true, {true, true, true, true, true}},
        {6, false, {true, true, true, true, true}},
        {2, false, {false, false, true, true, false}},  // after a start
        {2, true, {true, true, false, false, true}},    // right click with preference 0 opens
        {3, false, {false, true, false, true, false}},  // after a stop
        {3, true, {true, false, true, false, true}},    // Alt held with preference 1: closed
        {4, false, {false, true, true, true, false}},   // stop and start
        {4, true, {true, false, false, false, true}},   // preference 3 with Ctrl held: closed
        {0, true, {false, false, false, false, false}},
        {7, false, {false, false, false, false, false}},
    };
    const std::int64_t preferences[] = {0, 1, 2, 3, 7};
    for (const Row& row : rows)
        for (std::size_t i = 0; i < 5; ++i)
            EXPECT_EQ(shouldOpenAddNotePanel(row.type, preferences[i], row.inverting), row.opens[i])
                << "type " << row.type << " preference " << preferences[i] << " inverting "
                << row.inverting;
}

TEST(AddNoteTaskName, DropsComponentsFromTheLeftUntilItFits) {
    const std::vector<std::string> names{"Client", "Project", "Design"};
    auto widthAtMost = [](std::size_t width) {
        return [width](const std::string& text) { return text.size() <= width; };
    };
    EXPECT_EQ(shortenedTaskName(names, widthAtMost(100)), "Client \u276F Project \u276F Design");
    EXPECT_EQ(shortenedTaskName(names, widthAtMost(20)), "Project \u276F Design");
    EXPECT_EQ(shortenedTaskName(names, widthAtMost(3)), "Design");
    EXPECT_EQ(shortenedTaskName({}, widthAtMost(3)), "");
}

class AddNotePanelTest : public stats_testing::StatsWorld {
protected:
    AddNotePanelTest() { tree("Client Design<Client Admin"); }
    RecordingAddNoteView view;
    AddNotePanelController panel{*delegate, defaults, view};
};

TEST_F(AddNotePanelTest, OpensOnlyWhenTheRuleSaysAndRaisesAnOpenPanel) {
    defaults.setInteger(kZRShowAddNoteToTiming, 1);
    panel.openAddTimingNotePanelWithType(kNotePanelAfterStart, nullptr, true);
    EXPECT_EQ(view.openings, 0);
    view.inverting = true;
    panel.openAddTimingNotePanelWithType(kNotePanelAfterStop, nullptr, true);
    EXPECT_EQ(view.openings, 0);
    // The keys count only when the caller asks for them.
    panel.openAddTimingNotePanelWithType(kNotePanelAfterStop, nullptr, false);
    EXPECT_EQ(view.openings, 1);
    panel.openAddTimingNotePanelWithType(1, nullptr, false);
    EXPECT_EQ(view.openings, 1);
    EXPECT_EQ(view.raises, 1);
}

// Running timings by last modification, then the timings ended within the hour, latest end
// first, then "--"; the preferred timing is chosen, an unlisted one falls back to "--".
TEST_F(AddNotePanelTest, ListsRunningThenRecentlyEndedTimingsAndChoosesThePreferredOne) {
    const Instant now = clock.now();
    ZRCDTiming* old = timing("Admin", now - 7200, now - 3700);
    ZRCDTiming* ended = timing("Admin", now - 3000, now - 1800, "call");
    ZRCDTiming* later = timing("Design", now - 1700, now - 600);
    ZRCDTiming* running =
        ZRCDTiming::createRunningTimingNowForTask_andOrigin(tasks.at("Design"), 0, *context);
    settle();
    panel.updatePopUpButtonWithPreferredTiming(ended);
    ASSERT_EQ(view.shownEntries.size(), 4u);
    EXPECT_EQ(view.shownEntries[0].timing, running);
    EXPECT_EQ(view.shownEntries[1].timing, later);
    EXPECT_EQ(view.shownEntries[2].timing, ended);
    EXPECT_EQ(view.shownEntries[3].timing, nullptr);
    EXPECT_EQ(view.shownEntries[3].suffix, "--");
    EXPECT_EQ(view.shownEntries[0].suffix, " | 09:59 - now");
    EXPECT_EQ(view.shownEntries[2].suffix, " | 09:10 - 09:30");
    EXPECT_EQ(view.shownEntries[0].nameComponents, (std::vector<std::string>{"Client", "Design"}));
    EXPECT_EQ(view.shownSelection, 2u);
    EXPECT_EQ(panel.timing(), ended);

    panel.updatePopUpButtonWithPreferredTiming(old);
    EXPECT_EQ(view.shownSelection, 3u);
    EXPECT_EQ(panel.timing(), nullptr);
}

TEST_F(AddNotePanelTest, CommittingANoteIsOneUndoStepAndBlankTextRemovesIt) {
    const Instant now = clock.now();
    ZRCDTiming* ended = timing("Admin", now - 3000, now - 1800, "call");
    settle();
    panel.setTiming(ended);
    const int saves = delegate->saves;
    ASSERT_TRUE(panel.commitNote("  call with Ada "));
    EXPECT_EQ(ended->note(), "  call with Ada ");
    EXPECT_EQ(undoName(), "Edit Timing Notes");
    EXPECT_EQ(delegate->saves, saves + 1);
    EXPECT_FALSE(panel.commitNote("  call with Ada "));  // unchanged: no step, no save
    EXPECT_EQ(delegate->saves, saves + 1);
    ASSERT_TRUE(panel.commitNote(" \t\n"));
    EXPECT_EQ(ended->note(), std::nullopt);
    context->undoManager()->undo();
    EXPECT_EQ(ended->note(), "  call with Ada ");

    context->deleteObject(ended);
    EXPECT_FALSE(panel.commitNote("gone"));
}

}  // namespace
}  // namespace ravelong

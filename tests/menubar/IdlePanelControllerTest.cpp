#include <optional>
#include <vector>

#include "app/PreferenceKeys.h"
#include "core/calendar/DayNumbers.h"
#include "core/model/ZRCDOrigin.h"
#include "menubar/IdlePanelController.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using stats_testing::dayNumber;

// An idle panel view that records what it was asked to draw.
class RecordingIdleView final : public IdlePanelView {
public:
    bool isPanelVisible() const override { return visible; }
    void openPanel() override {
        visible = true;
        ++openings;
    }
    void closePanel() override {
        visible = false;
        ++closings;
    }
    void showTexts(const IdlePanelTexts& shown) override { texts = shown; }
    void showOption(IdleResolution shown, bool enabled) override {
        option = shown;
        resolveEnabled = enabled;
    }
    void showPutAwayMenu(const std::vector<PutAwayItem>& shown,
                         std::optional<std::size_t> selection) override {
        items = shown;
        selected = selection;
    }

    bool visible = false;
    int openings = 0;
    int closings = 0;
    IdlePanelTexts texts;
    IdleResolution option = IdleResolution::keep;
    bool resolveEnabled = false;
    std::vector<PutAwayItem> items;
    std::optional<std::size_t> selected;
};

class IdlePanelTest : public stats_testing::StatsWorld {
protected:
    IdlePanelTest() {
        // Deep1 has one archived and one live child; Gone's only child is archived.
        tree(
            "Client Design<Client Old<Client Admin Gone Gone1<Gone Deep Deep1<Deep Deep1a<Deep1 "
            "Deep1b<Deep1");
        tasks.at("Old")->setIsArchived(true);
        tasks.at("Gone1")->setIsArchived(true);
        tasks.at("Deep1b")->setIsArchived(true);
        settle();
    }
    ZRCDTiming* start(const std::string& task, Instant at) {
        clock.set(at);
        ZRCDTiming* timing =
            ZRCDTiming::createRunningTimingNowForTask_andOrigin(tasks.at(task), 0, *context);
        return timing;
    }
    // The panel open for an idle stretch since `since`, at `now`, its menu filled.
    void openIdle(Instant since, Instant now) {
        clock.set(now);
        panel.showIdleTimePanel(since);
        loop.advance(0.5);  // the menu fills 0.3 s after opening
        clock.set(now);
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> result;
        for (const PutAwayItem& item : view.items)
            result.push_back(item.kind == PutAwayItem::Kind::separator
                                 ? "---"
                                 : std::string(item.indentation * 2, ' ') + item.title +
                                       (item.enabled ? "" : " (off)"));
        return result;
    }
    std::size_t itemTitled(const std::string& title) const {
        for (std::size_t i = 0; i < view.items.size(); ++i)
            if (view.items[i].title == title && view.items[i].enabled)
                return i;
        ADD_FAILURE() << "no item " << title;
        return 0;
    }
    std::map<ZRDate, double> aggregates(const std::string& task) {
        std::map<ZRDate, double> result;
        for (const ZRCDTimingSet* set : tasks.at(task)->timingSets())
            result[set->absDay()] += set->durationExcludingRunningTimings();
        return result;
    }

    RecordingIdleView view;
    IdlePanelController panel{*delegate, defaults, loop, clock, view};
};

TEST_F(IdlePanelTest, KeepsTheFirstIdleStartAndNeverCountsMinutesBackwards) {
    const Instant since = berlinTime(2024, 3, 13, 9, 30);
    openIdle(since, berlinTime(2024, 3, 13, 10));
    EXPECT_EQ(view.openings, 1);
    EXPECT_EQ(view.texts.idleSince, "Your computer has been idle since 09:30 (30m).");
    EXPECT_EQ(view.texts.stopOption, "   Stop the timer at 09:30");
    EXPECT_EQ(view.texts.stopStartOption, "   Stop the timer at 09:30 and start a new timer now");
    // A later tick reports a later start: the open panel keeps 09:30 and counts on.
    clock.set(berlinTime(2024, 3, 13, 10, 20));
    panel.showIdleTimePanel(berlinTime(2024, 3, 13, 10, 15));
    EXPECT_EQ(view.openings, 1);
    EXPECT_EQ(panel.dateWhenComputerWentIdle(), since);
    EXPECT_EQ(panel.previousIdleTime(), 50);
    EXPECT_EQ(view.texts.idleSince, "Your computer has been idle since 09:30 (50m).");
    // The clock stepped back (a time adjustment): the text stays at 50 minutes.
    clock.set(berlinTime(2024, 3, 13, 10, 5));
    panel.showIdleTimePanel(since);
    EXPECT_EQ(view.texts.idleSince, "Your computer has been idle since 09:30 (50m).");
    // Closing forgets the stretch; the next one starts afresh.
    panel.closeIdleTimePanel();
    EXPECT_EQ(panel.previousIdleTime(), 0);
    EXPECT_FALSE(view.visible);
    openIdle(berlinTime(2024, 3, 13, 10), berlinTime(2024, 3, 13, 10, 10));
    EXPECT_EQ(view.openings, 2);
    EXPECT_EQ(view.texts.idleSince, "Your computer has been idle since 10:00 (10m).");
}

// Recent tasks first, then the tree: a parent is a disabled heading followed by its unarchived
// children; archived tasks and a parent whose children are all archived are left out.
TEST_F(IdlePanelTest, PutAwayMenuListsRecentTasksThenTheLiveTree) {
    timing("Admin", clock.now() - 4000, clock.now() - 3600);
    settle();
    defaults.setInteger(kZRIdleTimeResolve, 3);
    clock.set(berlinTime(2024, 3, 13, 10, 30));
    panel.showIdleTimePanel(berlinTime(2024, 3, 13, 10));
    EXPECT_EQ(titles(), (std::vector<std::string>{"Select task... (off)"}));
    EXPECT_EQ(view.option, IdleResolution::putAway);
    EXPECT_FALSE(view.resolveEnabled);  // a task must be chosen first
    loop.advance(0.5);
    // Admin is a top-level task; Deep1a sits two levels down under two headings.
    const std::vector<std::string> tree{"---",        "Client (off)",  "  Design",  "Admin",
                                        "Deep (off)", "  Deep1 (off)", "    Deep1a"};
    const auto shown = titles();
    ASSERT_EQ(shown.size(), 6 + tree.size()) << ::testing::PrintToString(shown);
    EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + 3),
              (std::vector<std::string>{"Select task... (off)", "---", "Recent tasks: (off)"}));
    // The three live leaves are the recent tasks (their order is the recent-task query's).
    std::vector<std::string> recent(shown.begin() + 3, shown.begin() + 6);
    std::sort(recent.begin(), recent.end());
    EXPECT_EQ(recent, (std::vector<std::string>{"Admin", "Client \u276F Design",
                                                "Deep \u276F Deep1 \u276F Deep1a"}));
    EXPECT_EQ(std::vector<std::string>(shown.begin() + 6, shown.end()), tree);
    EXPECT_FALSE(view.resolveEnabled);
}

TEST_F(IdlePanelTest, RemembersTheChosenOptionAndTaskForTheNextTime) {
    start("Design", berlinTime(2024, 3, 13, 8));
    settle();
    openIdle(berlinTime(2024, 3, 13, 9), berlinTime(2024, 3, 13, 9, 30));
    panel.optionSelected(IdleResolution::stop);
    EXPECT_EQ(defaults.integerForKey(kZRIdleTimeResolve), 2);
    EXPECT_TRUE(view.resolveEnabled);
    panel.popupButtonSelected(itemTitled("Admin"));
    EXPECT_EQ(defaults.integerForKey(kZRIdleTimeResolve), 3);
    EXPECT_EQ(view.option, IdleResolution::putAway);
    EXPECT_TRUE(view.resolveEnabled);
    panel.resolveButtonClicked();
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(defaults.stringForKey(kZRIdleTimeAssignTask), tasks.at("Admin")->uuid());

    // The next panel preselects put-away with Admin and may resolve at once.
    openIdle(berlinTime(2024, 3, 13, 10), berlinTime(2024, 3, 13, 10, 30));
    ASSERT_TRUE(view.selected.has_value());
    EXPECT_EQ(view.items[*view.selected].uuid, tasks.at("Admin")->uuid());
    EXPECT_TRUE(view.resolveEnabled);

    // A remembered task that was archived meanwhile is not offered; a non-text value is ignored.
    panel.closeIdleTimePanel();
    tasks.at("Admin")->setIsArchived(true);
    settle();
    openIdle(berlinTime(2024, 3, 13, 10), berlinTime(2024, 3, 13, 10, 40));
    EXPECT_FALSE(view.selected.has_value());
    EXPECT_FALSE(view.resolveEnabled);
    panel.closeIdleTimePanel();
    defaults.setInteger(kZRIdleTimeAssignTask, 5);
    openIdle(berlinTime(2024, 3, 13, 10), berlinTime(2024, 3, 13, 10, 45));
    EXPECT_FALSE(view.selected.has_value());
}

// Two timers idle since 09:00, resolved at 09:40 (cases with the stretch and the outcome):
//   stop:        A 08:00-09:00, B 08:30-09:00                            "Add Timings"
//   stop+start:  as stop, plus A and B running from 09:40 (same origins)  "Stop and Restart ..."
//   put away:    as stop+start, plus Admin 09:00-09:40                    "Stop Timings, ..."
//   keep:        nothing changes
TEST_F(IdlePanelTest, EachResolutionEndsTheTimersWhereTheIdleStretchBegan) {
    struct Case {
        IdleResolution option;
        std::string undo;
        std::size_t runningAfter;
        bool idleTimingMade;
        int noteType;
    };
    const Case cases[] = {
        {IdleResolution::stop, "Add Timings", 0, false, 3},
        {IdleResolution::stopAndStart, "Stop and Restart Timings", 2, false, 4},
        {IdleResolution::putAway, "Stop Timings, Assign Idle Time to Task, and Restart Timings", 2,
         true, 3},
        {IdleResolution::keep, "", 2, false, 0},
    };
    defaults.setBool(kZRShowTimeInStatusIcon, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.option));
        for (ZRCDTiming* running : ZRCDTiming::getRunningTimings_inContext(*context))
            context->deleteObject(running);
        ZRCDTiming* a = start("Design", berlinTime(2024, 3, 13, 8));
        ZRCDTiming* b = start("Deep1a", berlinTime(2024, 3, 13, 8, 30));
        ZRCDOrigin* originA = a->origin();
        settle();
        delegate->notePanel.clear();
        const int updates = delegate->statusItem.updates();
        const std::size_t timingsBefore = ZRCDTiming::numberOfTimings_inContext(*context);
        openIdle(berlinTime(2024, 3, 13, 9), berlinTime(2024, 3, 13, 9, 40));
        panel.optionSelected(c.option);
        if (c.option == IdleResolution::putAway)
            panel.popupButtonSelected(itemTitled("Admin"));
        panel.resolveButtonClicked();
        EXPECT_FALSE(context->hasChanges());
        const auto running = ZRCDTiming::getRunningTimings_inContext(*context);
        EXPECT_EQ(running.size(), c.runningAfter);
        if (c.option == IdleResolution::keep) {
            EXPECT_TRUE(a->running());
            EXPECT_TRUE(delegate->notePanel.openings().empty());
            continue;
        }
        EXPECT_EQ(undoName(), c.undo);
        EXPECT_EQ(a->endDate(), berlinTime(2024, 3, 13, 9));
        EXPECT_EQ(b->endDate(), berlinTime(2024, 3, 13, 9));
        for (ZRCDTiming* restarted : running) {
            EXPECT_NEAR(*restarted->startDate(), berlinTime(2024, 3, 13, 9, 40), 1.0);
            if (restarted->task() == tasks.at("Design")) {
                EXPECT_EQ(restarted->origin(), originA);
            }
        }
        EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(*context),
                  timingsBefore + c.runningAfter + (c.idleTimingMade ? 1 : 0));
        const auto admin = aggregates("Admin");
        EXPECT_EQ(admin.count(dayNumber(2024, 3, 13)) ? admin.at(dayNumber(2024, 3, 13)) : 0.0,
                  c.idleTimingMade ? 2400.0 : 0.0);
        ASSERT_EQ(delegate->notePanel.openings().size(), 1u);
        EXPECT_EQ(delegate->notePanel.openings()[0].type, c.noteType);
        EXPECT_TRUE(delegate->notePanel.openings()[0].considerModifierKeys);
        EXPECT_EQ(delegate->statusItem.updates(), updates + 1);
        // One undo puts the running timers back as they were.
        context->undoManager()->undo();
        EXPECT_TRUE(a->running());
        EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(*context), timingsBefore);
        ASSERT_TRUE(context->save());
        for (ZRCDTiming* timing : ZRCDTiming::getAllTimings_inContext(*context))
            if (timing->task() == tasks.at("Admin"))
                context->deleteObject(timing);
        settle();
    }
}

TEST_F(IdlePanelTest, AStaleTaskStillStopsAndRestartsButMakesNoIdleTiming) {
    ZRCDTiming* a = start("Design", berlinTime(2024, 3, 13, 8));
    settle();
    openIdle(berlinTime(2024, 3, 13, 9), berlinTime(2024, 3, 13, 9, 40));
    panel.popupButtonSelected(itemTitled("Admin"));
    context->deleteObject(tasks.at("Admin"));
    settle();
    const std::size_t before = ZRCDTiming::numberOfTimings_inContext(*context);
    panel.resolveButtonClicked();
    EXPECT_EQ(undoName(), "Stop Timing, Assign Idle Time to Task, and Restart Timing");
    EXPECT_EQ(a->endDate(), berlinTime(2024, 3, 13, 9));
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(*context), before + 1);  // the restart only
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(*context), 1u);
}

// A put-away stretch over midnight and the 4 o'clock cut-off, on the days it touches:
//
//   12 March                 |13 March (day starts 04:00)
//   22:00 ---- 23:30 ..idle..|.. 00:00 ..idle.. 04:00 ..idle.. 04:30
//   Design     ^ idle from                                     ^ resolved
//   Design: 22:00-23:30 on the 12th; Admin: 23:30-04:00 on the 12th, 04:00-04:30 on the 13th
TEST_F(IdlePanelTest, IdleTimePutAwayAcrossMidnightAndTheCutOffIsCountedOnBothDays) {
    setCutoff(4);
    settle();
    ZRCDTiming* design = start("Design", berlinTime(2024, 3, 12, 22));
    settle();
    openIdle(berlinTime(2024, 3, 12, 23, 30), berlinTime(2024, 3, 13, 4, 30));
    EXPECT_EQ(view.texts.idleSince, "Your computer has been idle since 23:30 (5h 0m).");
    panel.popupButtonSelected(itemTitled("Admin"));
    panel.resolveButtonClicked();
    EXPECT_EQ(design->endDate(), berlinTime(2024, 3, 12, 23, 30));
    EXPECT_EQ(aggregates("Admin"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 12), 4.5 * 3600.0},
                                                             {dayNumber(2024, 3, 13), 1800.0}}));
    EXPECT_NEAR(aggregates("Design")[dayNumber(2024, 3, 12)], 1.5 * 3600.0, 0.5);
}

TEST_F(IdlePanelTest, ResolvingWithoutRunningTimersChangesNothing) {
    openIdle(berlinTime(2024, 3, 13, 9), berlinTime(2024, 3, 13, 9, 40));
    panel.optionSelected(IdleResolution::stopAndStart);
    panel.resolveButtonClicked();
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(*context), 0u);
    EXPECT_TRUE(delegate->notePanel.openings().empty());
}

}  // namespace
}  // namespace ravelong

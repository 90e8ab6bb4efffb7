#include <future>
#include <map>
#include <thread>

#include "app/SavePathTexts.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "stats/ZRDatePickerManager.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using stats_testing::dayNumber;
using stats_testing::StatsWorld;

class DatePickerManagerTest : public StatsWorld {
protected:
    DatePickerManagerTest() {
        tree("A A1<A A2<A B C");
        ZRUserDefaults2::setShowTasks(3);
    }
    std::unique_ptr<ZRDatePickerManager> makeManager() {
        auto manager = std::make_unique<ZRDatePickerManager>(*context, defaults, center, loop,
                                                             [this] { return connection(); });
        manager->setVisibleDays(dayNumber(2023, 12, 1), dayNumber(2024, 3, 31));
        manager->setRedrawHandler([this] { ++redraws; });
        return manager;
    }
    // Lets the pending refresh start, compute and be delivered.
    void refresh(ZRDatePickerManager& manager) {
        loop.advance(ZRDatePickerManager::kRefreshDelay);
        manager.waitForBackgroundWork();
        loop.runPending();
    }
    // The day aggregates of the tasks, by calendar day.
    std::map<ZRYearMonthDay, double> aggregates(const std::vector<std::string>& names) {
        std::map<ZRYearMonthDay, double> days;
        for (const std::string& name : names)
            for (const ZRCDTimingSet* set : tasks.at(name)->timingSets())
                days[date_additions::zrYearMonthDayFromZRDate(set->absDay())] +=
                    set->durationExcludingRunningTimings();
        return days;
    }
    static std::map<ZRYearMonthDay, double> totals(const CalendarDayData& data) {
        std::map<ZRYearMonthDay, double> days;
        for (const auto& [day, marks] : data.days)
            days[day] = marks.seconds;
        return days;
    }
    void check(const std::vector<std::string>& names) {
        tasks.clear();
        for (ZRCDTask* task : context->fetchAll<ZRCDTask>())
            tasks[*task->taskName()] = task;
        for (auto& [name, task] : tasks)
            task->setTaskIsSelected(std::find(names.begin(), names.end(), name) != names.end());
        settle();
    }

    int redraws = 0;
};

// Timings around the year end and across midnight; the cut-off (4 h) moves the early hours to
// the day before:
//   A1  2023-12-31 22:00 .. 2024-01-01 02:00   (one day under the cut-off: 31 Dec)
//   A2  2024-01-01 03:00 .. 05:00              (1 h on 31 Dec, 1 h on 1 Jan)
//   B   2024-01-02 10:00 .. 12:00
//   C   2023-11-30 10:00 .. 11:00              (before the visible months)
TEST_F(DatePickerManagerTest, PerDayTotalsEqualTheDayAggregatesOfTheCheckedTasks) {
    setCutoff(4);
    timing("A1", berlinTime(2023, 12, 31, 22), berlinTime(2024, 1, 1, 2));
    timing("A2", berlinTime(2024, 1, 1, 3), berlinTime(2024, 1, 1, 5));
    timing("B", berlinTime(2024, 1, 2, 10), berlinTime(2024, 1, 2, 12));
    timing("C", berlinTime(2023, 11, 30, 10), berlinTime(2023, 11, 30, 11));
    struct Case {
        std::vector<std::string> checked;
        std::vector<std::string> counted;  // the checked tasks with their descendants
        ZRYearMonthDay earliest, latest;
    };
    const std::vector<Case> cases = {
        {{"A"}, {"A", "A1", "A2"}, 20231231, 20240101},
        {{"A2", "B"}, {"A2", "B"}, 20231231, 20240102},
        {{"A", "B", "C"}, {"A1", "A2", "B", "C"}, 20231130, 20240102},
        {{"C"}, {"C"}, 20231130, 20231130},
        {{}, {}, 0, 0},
    };
    auto manager = makeManager();
    for (const Case& c : cases) {
        check(c.checked);
        manager->scheduleRefresh();
        refresh(*manager);
        const CalendarDayData& data = manager->calendarData();
        auto expected = aggregates(c.counted);
        std::erase_if(expected, [](const auto& day) { return day.first < 20231201; });
        EXPECT_EQ(totals(data), expected) << c.checked.size();
        EXPECT_EQ(manager->earliestAndLatestZRYearMonthDayOfSelectedTasks(),
                  std::make_pair(c.earliest, c.latest));
        EXPECT_EQ(manager->absoluteNumberOfEarliestMonth(),
                  c.earliest ? (c.earliest / 10000) * 12 + (c.earliest % 10000) / 100 : 0);
    }
    check({"A", "B"});
    manager->scheduleRefresh();
    refresh(*manager);
    // 31 Dec: A1's 4 h and A2's hour before the cut-off, both marked for A.
    const CalendarDay& newYearsEve = manager->calendarData().days.at(20231231);
    EXPECT_DOUBLE_EQ(newYearsEve.seconds, 5 * 3600.0);
    ASSERT_EQ(newYearsEve.tasks.size(), 1u);
    EXPECT_EQ(newYearsEve.tasks[0].taskID, *tasks["A"]->uuid());
    EXPECT_EQ(newYearsEve.tasks[0].color, tasks["A"]->getTaskColor());
    EXPECT_EQ(manager->calendarData().days.at(20240102).tasks[0].taskID, *tasks["B"]->uuid());
}

TEST_F(DatePickerManagerTest, ArchiveFilterDecidesWhichCheckedTasksCount) {
    timing("A1", berlinTime(2024, 3, 1, 9), berlinTime(2024, 3, 1, 10));
    timing("B", berlinTime(2024, 3, 2, 9), berlinTime(2024, 3, 2, 11));
    tasks["A1"]->setIsArchived(true);
    check({"A", "B"});
    auto manager = makeManager();
    const std::vector<std::pair<std::int64_t, std::map<ZRYearMonthDay, double>>> cases = {
        {3, {{20240301, 3600.0}, {20240302, 7200.0}}},
        {2, {{20240301, 3600.0}, {20240302, 7200.0}}},  // A counts with its archived child
        {1, {{20240301, 3600.0}}},                      // only A has an archived descendant
        {0, {}},
    };
    for (const auto& [show, expected] : cases) {
        ZRUserDefaults2::setShowTasks(show);  // asks for the refresh itself
        refresh(*manager);
        EXPECT_EQ(totals(manager->calendarData()), expected) << "show " << show;
    }
}

TEST_F(DatePickerManagerTest, RefreshWaitsAQuarterSecondAndANewerOneSupersedesTheOlder) {
    check({"B"});
    auto manager = makeManager();
    refresh(*manager);
    const std::uint64_t first = manager->redrawTrigger();
    EXPECT_EQ(redraws, 1);
    EXPECT_TRUE(manager->calendarData().days.empty());

    timing("B", berlinTime(2024, 3, 4, 9), berlinTime(2024, 3, 4, 10));
    settle();
    center.post(std::string(kZRRedrawDatePicker));
    loop.advance(0.2);
    center.post(std::string(kZRRedrawDatePicker));  // starts the wait again
    loop.advance(0.2);
    manager->waitForBackgroundWork();
    loop.runPending();
    EXPECT_EQ(manager->redrawTrigger(), first);  // nothing computed yet
    // The connection is busy elsewhere, so the computation that starts now has to wait.
    std::promise<void> release;
    std::promise<void> holding;
    std::thread other([&] {
        (void)connection()->read([&](BackgroundReader&) {
            holding.set_value();
            release.get_future().wait();
            return Status::success();
        });
    });
    holding.get_future().wait();
    loop.advance(0.05);
    // A change while that computation waits: its result is dropped.
    timing("B", berlinTime(2024, 3, 5, 9), berlinTime(2024, 3, 5, 11));
    settle();
    manager->scheduleRefresh();
    release.set_value();
    other.join();
    manager->waitForBackgroundWork();
    loop.runPending();
    EXPECT_EQ(manager->redrawTrigger(), first);
    refresh(*manager);
    EXPECT_EQ(manager->redrawTrigger(), first + 1);
    EXPECT_EQ(totals(manager->calendarData()),
              (std::map<ZRYearMonthDay, double>{{20240304, 3600.0}, {20240305, 7200.0}}));
}

TEST_F(DatePickerManagerTest, ConsideredTasksChangedFromTheSavePathRefetchesAndRefreshes) {
    ZRUserDefaults2::setSelectionState(2);
    check({"B"});
    auto manager = makeManager();
    refresh(*manager);
    check({"C"});
    EXPECT_EQ(names(manager->consideredTasks().array()), std::vector<std::string>{"B"});
    center.post(std::string(kConsideredTasksChanged));
    EXPECT_EQ(names(manager->consideredTasks().array()), std::vector<std::string>{"C"});
    const std::uint64_t before = manager->redrawTrigger();
    refresh(*manager);
    EXPECT_EQ(manager->redrawTrigger(), before + 1);
}

TEST_F(DatePickerManagerTest, WithoutAConnectionTheDataStayAsTheyWere) {
    timing("B", berlinTime(2024, 3, 4, 9), berlinTime(2024, 3, 4, 10));
    check({"B"});
    bool available = true;
    ZRDatePickerManager manager(*context, defaults, center, loop,
                                [&] { return available ? connection() : nullptr; });
    refresh(manager);
    const CalendarDayData before = manager.calendarData();
    EXPECT_EQ(before.days.size(), 1u);
    available = false;
    check({});
    manager.scheduleRefresh();
    refresh(manager);
    EXPECT_EQ(manager.calendarData(), before);
}

TEST_F(DatePickerManagerTest, AllIntervalIsRememberedWhenTheManagerIsMade) {
    ZRUserDefaults2::setTimeIntervalDuration(2);
    EXPECT_TRUE(makeManager()->allSelectedInDatePicker());
    ZRUserDefaults2::setTimeIntervalDuration(1);
    EXPECT_FALSE(makeManager()->allSelectedInDatePicker());
}

}  // namespace
}  // namespace ravelong

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "core/totals/TaskRounding.h"
#include "core/totals/TaskTotals.h"
#include "core/totals/TimingSetDayIndex.h"
#include "core/totals/TimingTotals.h"
#include "store/ZRUndoManager.h"
#include "tests/core/totals/TotalsTestSupport.h"

namespace ravelong {
namespace {

class TimingSetDayIndexTest : public totals_testing::TotalsTest {
protected:
    std::vector<ZRDate> daysBetween(const ZRCDTask* task, ZRDate first, ZRDate last) {
        std::vector<ZRDate> days;
        for (const auto& daySet : index.setsBetween(*task, first, last)) {
            EXPECT_EQ(daySet.set->absDay(), daySet.day);
            EXPECT_EQ(daySet.set->task(), task);
            days.push_back(daySet.day);
        }
        return days;
    }
    ZRDate day(int d) const { return dayNumber(2024, 3, d); }

    TimingSetDayIndex index{context};
};

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(TimingSetDayIndexTest, FindsATasksSetsByDayAndFollowsEveryChangeOfThem) {
    ZRCDTask* task = newTask("Indexed");
    ZRCDTask* other = newTask("Other");
    for (int d : {8, 1, 5, 3})
        stoppedTiming(task, berlin(2024, 3, d, 9), berlin(2024, 3, d, 10));
    stoppedTiming(other, berlin(2024, 3, 4, 9), berlin(2024, 3, 4, 10));
    EXPECT_EQ(TimingSetDayIndex::forContext(&context), &index);

    EXPECT_THAT(daysBetween(task, day(2), day(6)), ElementsAre(day(3), day(5)));
    EXPECT_THAT(daysBetween(task, day(1), day(31)), ElementsAre(day(1), day(3), day(5), day(8)));
    EXPECT_THAT(daysBetween(task, day(9), day(31)), IsEmpty());
    EXPECT_THAT(daysBetween(task, day(6), day(2)), IsEmpty());
    const std::size_t builds = index.numberOfBuilds();
    daysBetween(task, day(1), day(31));
    EXPECT_EQ(index.numberOfBuilds(), builds);  // unchanged: not rebuilt

    // A new day, a deleted timing (its set goes), a timing moved to another task.
    ZRCDTiming* added = stoppedTiming(task, berlin(2024, 3, 4, 9), berlin(2024, 3, 4, 10));
    EXPECT_THAT(daysBetween(task, day(2), day(6)), ElementsAre(day(3), day(4), day(5)));
    ZRCDTiming::deleteTimingAndUpdateTimingSets(added, context);
    EXPECT_THAT(daysBetween(task, day(2), day(6)), ElementsAre(day(3), day(5)));
    ZRCDTiming* moved = setOn(task, day(5))->timings().toVector().front();
    context.processPendingChanges();  // the move is an undo step of its own
    moved->setTask(other);
    EXPECT_THAT(daysBetween(task, day(2), day(6)), ElementsAre(day(3)));
    EXPECT_THAT(daysBetween(other, day(2), day(6)), ElementsAre(day(4), day(5)));

    // Undo brings the state of before the last step back, and the index follows.
    context.processPendingChanges();
    context.undoManager()->undo();
    EXPECT_THAT(daysBetween(task, day(2), day(6)), ElementsAre(day(3), day(5)));
    EXPECT_THAT(daysBetween(other, day(2), day(6)), ElementsAre(day(4)));

    // Day numbers of sets do not change after the assignment made them; should one change all
    // the same, a look-up that meets the set notices and rebuilds the entry.
    const std::size_t before = index.numberOfBuilds();
    setOn(task, day(3))->setAbsDay(day(4));
    EXPECT_THAT(daysBetween(task, day(2), day(6)), ElementsAre(day(4), day(5)));
    EXPECT_EQ(index.numberOfBuilds(), before + 1);
    index.clear();
    EXPECT_EQ(index.numberOfIndexedTasks(), 0u);
}

TEST_F(TimingSetDayIndexTest, IsFoundOnlyForItsContextAndWhileItLives) {
    ManagedObjectContext other(ravelongModel());
    EXPECT_EQ(TimingSetDayIndex::forContext(&other), nullptr);
    EXPECT_EQ(TimingSetDayIndex::forContext(nullptr), nullptr);
    {
        TimingSetDayIndex second(other);
        EXPECT_EQ(TimingSetDayIndex::forContext(&other), &second);
        EXPECT_EQ(TimingSetDayIndex::forContext(&context), &index);
    }
    EXPECT_EQ(TimingSetDayIndex::forContext(&other), nullptr);
}

// Totals over a year of random timings of a few tasks (one rounding), read three ways: through
// the index, without it (short ranges then look days up in the context, long ones read the task's
// sets), and from the timings' own parts of each day. All must agree.
class TotalsReadingPaths : public totals_testing::TotalsTest {};

TEST_F(TotalsReadingPaths, AgreeWithEachOtherAndWithTheTimings) {
    std::vector<ZRCDTask*> tasks = {newTask("A"), newTask("B"), newTask("C")};
    std::uint64_t state = 7;
    const auto next = [&state](std::uint64_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33) % bound;
    };
    const Instant first = berlin(2023, 3, 1, 0);
    for (int i = 0; i < 600; ++i) {
        const Instant start = first + static_cast<double>(next(365 * 86400));
        const Instant end = start + static_cast<double>(next(6 * 3600));
        if (i == 300)
            setNewDay(4);  // later timings count their days from 04:00
        stoppedTiming(tasks[next(3)], start, end);
    }
    task_totals::setRounding(*tasks[1], 115);
    ASSERT_TRUE(flag.roundingEnabled());

    // Each task's (rounded) part of each day, from the timings alone.
    std::map<std::pair<const ZRCDTask*, ZRDate>, double> reference;
    for (ZRCDTask* task : tasks) {
        for (ZRCDTiming* timing : task->timings()) {
            for (ZRDate d = dayNumber(2023, 2, 27); d <= dayNumber(2024, 3, 5); ++d) {
                if (timing->getDurationWithinZRDate(d) > (task == tasks[1] ? 5.0 : 0.0))
                    reference[{task, d}] +=
                        timing_totals::getPerTaskRoundedDurationWithinZRDate(*timing, d);
            }
        }
    }
    const auto expected = [&](const ZRCDTask* task, ZRDate from, ZRDate to) {
        double total = 0.0;
        for (ZRDate d = from; d <= to; ++d)
            total += reference[{task, d}];
        return total;
    };
    const std::pair<ZRDate, ZRDate> ranges[] = {
        {dayNumber(2023, 6, 1), dayNumber(2023, 6, 1)},
        {dayNumber(2023, 6, 5), dayNumber(2023, 6, 11)},
        {dayNumber(2023, 7, 1), dayNumber(2023, 7, 31)},
        {dayNumber(2023, 1, 1), dayNumber(2023, 12, 31)},
        {dayNumber(2023, 2, 27), dayNumber(2024, 3, 5)},
    };
    for (ZRCDTask* task : tasks) {
        for (const auto& [from, to] : ranges) {
            const double want = expected(task, from, to);
            const double direct =
                task_totals::getTimeBetweenStartZRDate(*task, from, to, false, true);
            EXPECT_NEAR(direct, want, 1e-6) << task->taskName().value_or("") << " " << from;
            TimingSetDayIndex index(context);
            EXPECT_NEAR(task_totals::getTimeBetweenStartZRDate(*task, from, to, false, true), want,
                        1e-6);
        }
    }
}

}  // namespace
}  // namespace ravelong

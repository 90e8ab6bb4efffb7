#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <tuple>

#include "core/model/TaskTotalsTable.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/TaskRounding.h"
#include "scripting/StoreReader.h"
#include "scripting/TimeReport.h"
#include "store/SqliteDatabase.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using stats_testing::dayNumber;

// The report read straight from the store file must match the one the object graph gives,
// row for row: the same tasks in the same order, the same seconds.
class StoreReaderTest : public stats_testing::StatsWorld {
protected:
    StoreReader reader() {
        auto opened = StoreReader::open(directory / "store.sqlite");
        if (!opened)
            throw std::runtime_error("the store file could not be opened for reading");
        return std::move(*opened);
    }

    ZRCDTiming* runningFrom(const std::string& task, Instant start) {
        const Instant now = clock.now();
        clock.set(start);
        ZRCDTiming* timing =
            ZRCDTiming::createRunningTimingNowForTask_andOrigin(tasks.at(task), 0, *context);
        clock.set(now);
        return timing;
    }

    using Sums = std::map<std::int64_t, std::tuple<double, double, std::optional<std::int16_t>>>;

    // The sums the reader gives for `days`, and those of SQLite's own GROUP BY over the rows.
    std::pair<Sums, Sums> readAndGrouped(StoreReader& direct, ZRDateRange days) {
        auto db = SqliteDatabase::open(directory / "store.sqlite", SqliteDatabase::Mode::ReadOnly);
        auto groupBy = db.value()->prepare(
            "SELECT task, total(duration), total(roundedDuration), "
            "min(cachedRounding) = max(cachedRounding) AND min(roundedDuration) >= 0, "
            "min(cachedRounding) FROM ZRCDTimingSet WHERE absDay BETWEEN ?1 AND ?2 AND task IS "
            "NOT NULL GROUP BY task");
        groupBy.value().bindInt(1, days.first);
        groupBy.value().bindInt(2, days.last);
        Sums grouped, read;
        while (groupBy.value().step()) {
            std::optional<std::int16_t> code;
            if (groupBy.value().columnInt(3) != 0)
                code = static_cast<std::int16_t>(groupBy.value().columnInt(4));
            grouped[groupBy.value().columnInt(0)] = {std::get<double>(groupBy.value().column(1)),
                                                     std::get<double>(groupBy.value().column(2)),
                                                     code};
        }
        auto sums = direct.aggregateSums(days.first, days.last);
        EXPECT_TRUE(sums.ok());
        for (const StoreReader::AggregateSums& sum : sums.value())
            read[sum.task] = {sum.duration, sum.roundedDuration, sum.cachedRounding};
        return {read, grouped};
    }

    void expectSameReports(const std::vector<ZRDateRange>& ranges) {
        StoreReader direct = reader();
        for (const ZRDateRange& days : ranges) {
            for (const bool archived : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "days " << days.first << "..." << days.last
                                                  << (archived ? " with archived" : ""));
                const auto expected = time_report::build(*context, days, archived);
                auto read = time_report::buildFromStore(direct, days, archived);
                ASSERT_TRUE(read.ok()) << read.error().description;
                ASSERT_TRUE(read.value().has_value());
                const auto& rows = *read.value();
                ASSERT_EQ(rows.size(), expected.size());
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    EXPECT_EQ(rows[i].uuid, expected[i].uuid);
                    EXPECT_EQ(rows[i].path, expected[i].path);
                    EXPECT_EQ(rows[i].archived, expected[i].archived);
                    EXPECT_NEAR(rows[i].seconds, expected[i].seconds, 1e-6) << rows[i].uuid;
                }
            }
        }
    }
};

TEST_F(StoreReaderTest, ReadsTheTreeInChainOrderWithPathsAndTheRunningTimers) {
    tree("A A1<A A1a<A1 B Old");
    tasks["Old"]->setIsArchived(true);
    timing("A1a", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 10), "first\tline");
    ZRCDTiming* older = runningFrom("B", berlinTime(2024, 3, 13, 8));
    clock.advance(60);
    ZRCDTiming* newer = runningFrom("Old", berlinTime(2024, 3, 13, 9));
    settle();

    StoreReader direct = reader();
    auto read = direct.tasksInTreeOrder();
    ASSERT_TRUE(read.ok());
    std::vector<std::string> listed;
    for (const StoreReader::Task& task : read.value()) {
        std::string path;
        for (const std::string& name : task.path)
            path += "/" + name;
        listed.push_back(path + (task.archived ? " (archived)" : ""));
    }
    EXPECT_THAT(listed,
                ::testing::ElementsAre("/A", "/A/A1", "/A/A1/A1a", "/B", "/Old (archived)"));

    auto running = direct.runningTimings();
    ASSERT_TRUE(running.ok());
    ASSERT_EQ(running.value().size(), 2u);
    // The last changed first, as the program lists them.
    EXPECT_EQ(running.value()[0].uuid, newer->uuid().value_or(""));
    EXPECT_EQ(running.value()[1].uuid, older->uuid().value_or(""));
    EXPECT_TRUE(running.value()[0].running());

    auto one = direct.task(read.value()[2].pk);
    ASSERT_TRUE(one.ok());
    ASSERT_TRUE(one.value().has_value());
    EXPECT_THAT(one.value()->path, ::testing::ElementsAre("A", "A1", "A1a"));
    auto none = direct.task(999999);
    ASSERT_TRUE(none.ok());
    EXPECT_FALSE(none.value().has_value());

    // The day's timings: the stopped one of the 12th does not touch the 13th.
    auto day = direct.timingsBetween(berlinTime(2024, 3, 13), berlinTime(2024, 3, 14));
    ASSERT_TRUE(day.ok());
    EXPECT_EQ(day.value().size(), 2u);
    auto before = direct.timingsBetween(berlinTime(2024, 3, 12), berlinTime(2024, 3, 13));
    ASSERT_TRUE(before.ok());
    ASSERT_EQ(before.value().size(), 1u);
    EXPECT_EQ(before.value()[0].note, "first\tline");
    EXPECT_EQ(before.value()[0].timeZone, "Europe/Berlin");
}

TEST_F(StoreReaderTest, LeavesStoresOfAnotherVersionAndMissingFilesToTheThoroughWay) {
    EXPECT_FALSE(StoreReader::open(directory / "missing.sqlite").has_value());
    settle();
    {
        auto db = SqliteDatabase::open(directory / "store.sqlite", SqliteDatabase::Mode::ReadWrite);
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.value()->execute("PRAGMA user_version = 14"));
    }
    EXPECT_FALSE(StoreReader::open(directory / "store.sqlite").has_value());
    testing::writeFile(directory / "garbage.sqlite", "this is not a database");
    EXPECT_FALSE(StoreReader::open(directory / "garbage.sqlite").has_value());
}

TEST_F(StoreReaderTest, ReportsMatchTheObjectGraphThroughSubtasksArchiveCutoffAndRunningTimers) {
    tree("A A1<A A1a<A1 A1b<A1 A2<A B Old Old1<Old");
    timing("A1a", berlinTime(2024, 3, 1, 9), berlinTime(2024, 3, 1, 11));
    timing("A1b", berlinTime(2024, 3, 12, 22), berlinTime(2024, 3, 13, 1));  // over midnight
    setCutoff(4);
    timing("A2", berlinTime(2024, 3, 13, 2), berlinTime(2024, 3, 13, 2, 20));
    setCutoff(0);
    timing("B", berlinTime(2023, 12, 31, 9), berlinTime(2023, 12, 31, 10));
    timing("Old1", berlinTime(2024, 3, 11, 9), berlinTime(2024, 3, 11, 10));
    tasks["Old"]->setIsArchived(true);
    tasks["A1b"]->setIsArchived(true);
    // A timer started yesterday evening still runs: it has no aggregate for today yet.
    runningFrom("B", berlinTime(2024, 3, 12, 20));
    // One started a moment ago counts only beyond its first seconds.
    runningFrom("A2", clock.now() - 3);
    settle();

    expectSameReports({{dayNumber(2024, 3, 13), dayNumber(2024, 3, 13)},
                       {dayNumber(2024, 3, 12), dayNumber(2024, 3, 12)},
                       {dayNumber(2024, 3, 11), dayNumber(2024, 3, 17)},
                       {dayNumber(2024, 1, 1), dayNumber(2024, 12, 31)},
                       time_report::kAllDays});
}

TEST_F(StoreReaderTest, ReportsMatchTheObjectGraphOnAGeneratedHistory) {
    std::mt19937 random(20240313);
    std::string layout;
    std::vector<std::string> leaves;
    for (int top = 0; top < 6; ++top) {
        const std::string parent = "T" + std::to_string(top);
        layout += parent + " ";
        const int children = static_cast<int>(random() % 4);
        if (children == 0)
            leaves.push_back(parent);
        for (int c = 0; c < children; ++c) {
            const std::string child = parent + "c" + std::to_string(c);
            layout += child + "<" + parent + " ";
            const int grandchildren = static_cast<int>(random() % 3);
            if (grandchildren == 0)
                leaves.push_back(child);
            for (int g = 0; g < grandchildren; ++g) {
                const std::string grandchild = child + "g" + std::to_string(g);
                layout += grandchild + "<" + child + " ";
                leaves.push_back(grandchild);
            }
        }
    }
    tree(layout);
    // 400 timings over the two years before now, some over midnight, under changing cut-offs.
    const Instant now = clock.now();
    for (int i = 0; i < 400; ++i) {
        if (i % 100 == 0)
            setCutoff(static_cast<int>(random() % 6));
        const Instant start = now - 2 * 365 * 86400.0 + (random() % (2 * 365 * 86400));
        const double length = 60.0 * (1 + random() % 600);
        timing(leaves[random() % leaves.size()], start, std::min(start + length, now - 3600));
    }
    setCutoff(0);
    for (const auto& [name, task] : tasks) {
        if (random() % 5 == 0)
            task->setIsArchived(true);
    }
    // Some tasks round, by their own rule or their parent's.
    const std::int16_t rules[] = {115, 210, 330, 105, -1};
    for (const auto& [name, task] : tasks) {
        if (random() % 4 == 0)
            task_totals::setRounding(*task, rules[random() % 5]);
    }
    runningFrom(leaves.front(), now - 30 * 3600.0);
    settle();

    const ZRDate today = dayNumber(2024, 3, 13);
    expectSameReports({{today, today},
                       {today - 2, today + 4},
                       {today - 400, today - 300},
                       {today - 800, today},
                       time_report::kAllDays});
}

// The sums are checked against SQLite's own GROUP BY over the same rows, also for rows the
// program would not write: sets without a task, days stored as a fraction or a text, a task
// number far beyond the others, sets of one task with different caches.
TEST_F(StoreReaderTest, SumsTheDayAggregatesOfARangeAsAGroupByWould) {
    tree("A B");
    timing("A", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 10));
    timing("B", berlinTime(2024, 3, 13, 9), berlinTime(2024, 3, 13, 9, 30));
    timing("B", berlinTime(2023, 1, 2, 9), berlinTime(2023, 1, 2, 9, 45));
    settle();
    const ZRDate day = dayNumber(2024, 3, 12);
    {
        auto db = SqliteDatabase::open(directory / "store.sqlite", SqliteDatabase::Mode::ReadWrite);
        ASSERT_TRUE(db.ok());
        const std::string insert =
            "INSERT INTO ZRCDTimingSet (absDay, duration, roundedDuration, cachedRounding, task) "
            "VALUES ";
        const std::string d = std::to_string(day);
        ASSERT_TRUE(db.value()->execute(
            insert + "(" + d + ", 999, -1, -1, NULL), ('" + d + "', 777, -1, -1, 1), (" + d +
            ".5, 5, -1, -1, (SELECT pk FROM ZRCDTask WHERE taskName = 'A')), (" + d +
            ", 11, 900, 115, 5000000), (" + d + " + 1, 13, 900, 115, 5000000), (" + d +
            " - 1, 17, 1800, 210, 5000000), (" + d + " + 1, 19, 300, 115, 2)"));
    }
    StoreReader direct = reader();
    const ZRDateRange ranges[] = {
        {day, day},         {day - 1, day},         {day + 1, day + 1},
        {day - 1, day + 1}, {day - 500, day + 500}, time_report::kAllDays};
    for (const ZRDateRange& days : ranges) {
        SCOPED_TRACE(::testing::Message() << days.first - day << "..." << days.last - day);
        const auto [read, grouped] = readAndGrouped(direct, days);
        EXPECT_FALSE(grouped.empty());
        EXPECT_EQ(read, grouped);
    }
}

// The store's task totals follow every insert, change and delete of the day aggregates, odd
// values included, and answer only for a range that holds every day while all their triggers
// are in place; anything else reads the aggregates themselves.
TEST_F(StoreReaderTest, TaskTotalsFollowEveryChangeAndAnswerOnlyWhenTheyHoldTheRange) {
    tree("A B C");
    timing("A", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 10));
    timing("B", berlinTime(2024, 3, 13, 9), berlinTime(2024, 3, 13, 9, 30));
    settle();
    const ZRDate day = dayNumber(2024, 3, 12);
    auto db = SqliteDatabase::open(directory / "store.sqlite", SqliteDatabase::Mode::ReadWrite);
    ASSERT_TRUE(db.ok());
    StoreReader direct = reader();
    std::mt19937 random(7);
    const auto pick = [&](std::vector<std::string> choices) {
        return choices[random() % choices.size()];
    };
    const auto anyValue = [&](const std::string& column) -> std::string {
        if (column == "task")
            return pick({"1", "2", "3", "NULL", "5000000"});
        if (column == "absDay")
            return std::to_string(day + static_cast<int>(random() % 40) - 20) +
                   pick({"", "", ".5", " * NULL"});
        if (column == "duration")
            return pick({std::to_string(random() % 40000 / 4.0), "NULL"});
        if (column == "roundedDuration")
            return pick({"-1", std::to_string(random() % 50 * 900)});
        return pick({"-1", "115", "210"});
    };
    const std::vector<std::string> columns = {"task", "absDay", "duration", "roundedDuration",
                                              "cachedRounding"};
    for (int round = 0; round < 6; ++round) {
        for (int change = 0; change < 40; ++change) {
            const std::string row = "(SELECT pk FROM ZRCDTimingSet ORDER BY pk LIMIT 1 OFFSET " +
                                    std::to_string(random() % 1000) +
                                    " % (SELECT count(*) FROM ZRCDTimingSet))";
            std::string sql;
            switch (random() % 4) {
                case 0:
                    sql = "DELETE FROM ZRCDTimingSet WHERE pk = " + row;
                    break;
                case 1: {
                    const std::string column = pick(columns);
                    sql = "UPDATE ZRCDTimingSet SET " + column + " = " + anyValue(column) +
                          " WHERE pk = " + row;
                    break;
                }
                default: {
                    std::string values;
                    for (const std::string& column : columns)
                        values += (values.empty() ? "" : ", ") + anyValue(column);
                    sql =
                        "INSERT INTO ZRCDTimingSet (task, absDay, duration, roundedDuration, "
                        "cachedRounding) VALUES (" +
                        values + ")";
                }
            }
            ASSERT_TRUE(db.value()->execute(sql)) << sql;
        }
        SCOPED_TRACE(round);
        const auto [read, grouped] = readAndGrouped(direct, time_report::kAllDays);
        EXPECT_FALSE(grouped.empty());
        EXPECT_EQ(read, grouped);
    }

    // Which way a range was read shows once the totals are off by a minute per row.
    ASSERT_TRUE(db.value()->execute(std::string("UPDATE ") + task_totals_table::kName +
                                    " SET duration = duration + 60000000"));
    const auto minutesOff = [&](ZRDateRange days) {
        const auto [read, grouped] = readAndGrouped(direct, days);
        double off = 0.0;
        for (const auto& [task, sums] : read)
            off += std::get<0>(sums) - std::get<0>(grouped.at(task));
        return off / 60.0;
    };
    auto rows = db.value()->queryInt(std::string("SELECT count(*) FROM ") +
                                     task_totals_table::kName + " WHERE sets > 0");
    const auto bound = [&](const char* sql) {
        auto statement = db.value()->prepare(sql);
        EXPECT_TRUE(statement.ok() && statement->step());
        const Value value = statement->column(0);
        return std::holds_alternative<double>(value) ? std::get<double>(value)
                                                     : std::get<std::int64_t>(value);
    };
    const auto first =
        static_cast<ZRDate>(std::floor(bound("SELECT min(absDay) FROM ZRCDTimingSet")));
    const auto last =
        static_cast<ZRDate>(std::ceil(bound("SELECT max(absDay) FROM ZRCDTimingSet")));
    EXPECT_DOUBLE_EQ(minutesOff(time_report::kAllDays), static_cast<double>(rows.value()));
    EXPECT_DOUBLE_EQ(minutesOff({first - 400, last}), static_cast<double>(rows.value()));
    EXPECT_DOUBLE_EQ(minutesOff({first + 1, last + 500}), 0.0);  // not the first day
    EXPECT_DOUBLE_EQ(minutesOff({first - 500, last - 1}), 0.0);  // not the last
    ASSERT_TRUE(db.value()->execute(
        "INSERT INTO ZRCDTimingSet (task, absDay, duration) VALUES (1, 'a text', 1)"));
    EXPECT_DOUBLE_EQ(minutesOff(time_report::kAllDays), 0.0);
    ASSERT_TRUE(db.value()->execute("DELETE FROM ZRCDTimingSet WHERE absDay = 'a text'"));
    EXPECT_DOUBLE_EQ(minutesOff(time_report::kAllDays), static_cast<double>(rows.value()));
    ASSERT_TRUE(
        db.value()->execute(std::string("DROP TRIGGER ") + task_totals_table::kName + "_delete"));
    EXPECT_DOUBLE_EQ(minutesOff(time_report::kAllDays), 0.0);
}

TEST_F(StoreReaderTest, RoundsByEachTasksRuleFromTheCacheAndLeavesStaleCachesToTheObjectGraph) {
    tree("A A1<A A2<A B C");
    timing("A1", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 9, 7));
    timing("A2", berlinTime(2024, 3, 12, 10), berlinTime(2024, 3, 12, 10, 31));
    timing("B", berlinTime(2024, 3, 12, 23, 30), berlinTime(2024, 3, 13, 0, 40));
    timing("C", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 9, 50));
    task_totals::setRounding(*tasks["A"], 115);   // up to 15 minutes, inherited by A1 and A2
    task_totals::setRounding(*tasks["A2"], 330);  // A2: down to 30 minutes of its own
    task_totals::setRounding(*tasks["B"], 210);   // to the nearest 10 minutes
    settle();
    const ZRDateRange days{dayNumber(2024, 3, 12), dayNumber(2024, 3, 13)};
    expectSameReports({days, {days.first, days.first}, time_report::kAllDays});
    // The rounded figures, not the plain ones: A1 7 -> 15, A2 31 -> 30, C as it is.
    const auto rows = time_report::build(*context, days, false);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_DOUBLE_EQ(rows[1].seconds, 15 * 60.0);
    EXPECT_DOUBLE_EQ(rows[2].seconds, 30 * 60.0);
    EXPECT_DOUBLE_EQ(rows[4].seconds, 50 * 60.0);

    // A set whose cache another rule filled cannot be read without the timings.
    {
        auto db = SqliteDatabase::open(directory / "store.sqlite", SqliteDatabase::Mode::ReadWrite);
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.value()->execute(
            "UPDATE ZRCDTimingSet SET cachedRounding = 120 WHERE task = (SELECT pk FROM "
            "ZRCDTask WHERE taskName = 'A1')"));
    }
    StoreReader direct = reader();
    auto read = time_report::buildFromStore(direct, days, false);
    ASSERT_TRUE(read.ok());
    EXPECT_FALSE(read.value().has_value());
    // Other days are still read directly.
    auto other =
        time_report::buildFromStore(direct, {dayNumber(2024, 3, 1), dayNumber(2024, 3, 2)}, false);
    ASSERT_TRUE(other.ok());
    EXPECT_TRUE(other.value().has_value());
}

}  // namespace
}  // namespace ravelong

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "scripting/TimeReport.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using stats_testing::dayNumber;

// Now is Wednesday 2024-03-13 10:00 in Berlin (weeks start on Monday there).
//
//            2023-12-31  2024-01-05  2024-03-01  2024-03-11 (Mon)  2024-03-13 (today)
//   A1<A                             2 h                           1 h, and 02:00-02:20
//                                                                  recorded with the day
//                                                                  starting at 04:00, so it
//                                                                  counts on the 12th
//   B        1 h         1 h                     30 min
//   Old      (archived)                                            1 h
class TimeReportTest : public stats_testing::StatsWorld {
protected:
    TimeReportTest() {
        tree("A A1<A B Old");
        timing("A1", berlinTime(2024, 3, 1, 9), berlinTime(2024, 3, 1, 11));
        timing("A1", berlinTime(2024, 3, 13, 8), berlinTime(2024, 3, 13, 9));
        setCutoff(4);
        timing("A1", berlinTime(2024, 3, 13, 2), berlinTime(2024, 3, 13, 2, 20));
        setCutoff(0);
        timing("B", berlinTime(2023, 12, 31, 9), berlinTime(2023, 12, 31, 10));
        timing("B", berlinTime(2024, 1, 5, 9), berlinTime(2024, 1, 5, 10));
        timing("B", berlinTime(2024, 3, 11, 9), berlinTime(2024, 3, 11, 9, 30));
        timing("Old", berlinTime(2024, 3, 13, 7), berlinTime(2024, 3, 13, 8));
        tasks["Old"]->setIsArchived(true);
        settle();
    }
    // "name=minutes" for each row.
    std::vector<std::string> summary(ZRDateRange days, bool archived = false) {
        std::vector<std::string> result;
        for (const auto& row : time_report::build(*context, days, archived))
            result.push_back(row.path.back() + "=" + std::to_string(std::lround(row.seconds / 60)));
        return result;
    }
};

TEST_F(TimeReportTest, CountsEachPeriodThroughSubtasksUnderTheCutoff) {
    struct Case {
        const char* period;
        int cutoff;
        Instant now;
        std::vector<std::string> expected;
    };
    const Instant morning = berlinTime(2024, 3, 13, 10);
    const Instant night = berlinTime(2024, 3, 13, 2, 30);
    const std::vector<Case> cases{
        {"day", 0, morning, {"A=60", "A1=60"}},
        // At 02:30 with the day starting at 04:00, today is still the 12th.
        {"day", 4, night, {"A=20", "A1=20"}},
        {"day", 0, night, {"A=60", "A1=60"}},
        {"week", 0, morning, {"A=80", "A1=80", "B=30"}},
        {"month", 0, morning, {"A=200", "A1=200", "B=30"}},
        {"year", 0, morning, {"A=200", "A1=200", "B=90"}},
        {"all", 0, morning, {"A=200", "A1=200", "B=150"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.period) + " cut-off " + std::to_string(c.cutoff));
        clock.set(c.now);
        setCutoff(c.cutoff);
        const auto days = time_report::namedPeriod(c.period, c.cutoff);
        ASSERT_TRUE(days.has_value());
        EXPECT_EQ(summary(*days), c.expected);
    }
    clock.set(morning);
    setCutoff(0);
    EXPECT_EQ(summary({dayNumber(2024, 3, 13), dayNumber(2024, 3, 13)}, true),
              (std::vector<std::string>{"A=60", "A1=60", "Old=60"}));
    EXPECT_FALSE(time_report::namedPeriod("fortnight", 0).has_value());
}

TEST_F(TimeReportTest, ReadsDaysOnlyAsRealCalendarDates) {
    EXPECT_EQ(time_report::dayFromText("2024-02-29"), dayNumber(2024, 2, 29));
    for (const char* bad : {"2023-02-29", "2024-13-01", "2024-3-1", "2024-03-01x", "", "today"})
        EXPECT_FALSE(time_report::dayFromText(bad).has_value()) << bad;
}

TEST_F(TimeReportTest, WritesTextCsvAndJsonWithTheSameFigures) {
    tasks["B"]->setTaskName("Mail, \"urgent\"");
    settle();
    const ZRDateRange week = *time_report::namedPeriod("week", 0);
    const auto rows = time_report::build(*context, week, false);

    std::ostringstream text;
    time_report::write(text, rows, week, time_report::Format::text);
    EXPECT_EQ(text.str(),
              "2024-03-11 – 2024-03-17\n"
              "A               1:20\n"
              "  A1            1:20\n"
              "Mail, \"urgent\"  0:30\n"
              "Total           1:50\n");

    std::ostringstream csv;
    time_report::write(csv, rows, week, time_report::Format::csv);
    EXPECT_THAT(csv.str(), ::testing::StartsWith("uuid,task,tier,seconds,hours\r\n"));
    EXPECT_THAT(csv.str(), ::testing::HasSubstr(",A / A1,2,4800,1.33\r\n"));
    EXPECT_THAT(csv.str(), ::testing::HasSubstr(",\"Mail, \"\"urgent\"\"\",1,1800,0.50\r\n"));

    std::ostringstream json;
    time_report::write(json, rows, week, time_report::Format::json);
    const auto document = nlohmann::json::parse(json.str());
    EXPECT_EQ(document["first"], "2024-03-11");
    EXPECT_EQ(document["total_seconds"], 6600.0);
    EXPECT_EQ(document["tasks"].size(), 3u);
    EXPECT_EQ(document["tasks"][1]["path"], (nlohmann::json{"A", "A1"}));
}

}  // namespace
}  // namespace ravelong

#include <gtest/gtest.h>

#include "core/calendar/TimeZones.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/TaskRounding.h"
#include "exchange/csv/CsvExport.h"
#include "exchange/csv/CsvExportFileName.h"
#include "tests/exchange/CsvStoreEnvironment.h"

namespace ravelong::csv {
namespace {

using csv_testing::CsvStoreEnvironment;

Instant unix(double seconds) {
    return seconds - kSecondsFromUnixEpochToReferenceDate;
}

// Two timings:
//
//   Client > Site   Berlin     2024-05-01 23:30 ---- midnight ---- 2024-05-02 00:40   (1:10)
//   Solo            New York   2024-05-03 09:00 -- 09:07:31                           (7:31,
//                                                  the task rounds up to 15 minutes)
struct ExportFixture {
    CsvStoreEnvironment env;
    ZRCDTask* client = nullptr;
    ZRCDTask* solo = nullptr;
    std::vector<CsvExportEntry> entries;  // newest first, as the list shows them

    ExportFixture() {
        ManagedObjectContext& context = env.context();
        client = ZRCDTask::createCoreDataTaskWithName("Client", false, context);
        ZRCDTask* site =
            ZRCDTask::createCoreDataTaskImportWithName("Site", std::nullopt, client, 0, context);
        solo = ZRCDTask::createCoreDataTaskWithName("Solo", false, context);
        task_totals::setRounding(*solo, 115);
        const ZRCDTiming* late = ZRCDTiming::createCoreDataTimingWithStartDate(
            unix(1714599000), unix(1714603200), site, std::string("late, \"quoted\""), 0,
            std::nullopt, context);
        const ZRCDTiming* morning = ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
            unix(1714741200), unix(1714741651), 0, std::string("America/New_York"), solo,
            std::nullopt, std::string("B0"), std::int16_t{0}, 0, context);
        entries = {morning, late};
    }
};

std::string exportText(ExportFixture& f, CsvExportSettings settings, bool rounded) {
    CsvExport exporter(settings, rounded, false, ZRCalendar::zrCalendar());
    auto bytes = exporter.fileBytes(f.entries);
    EXPECT_TRUE(bytes.ok());
    return bytes.ok() ? bytes.value() : std::string();
}

TEST(CsvExport, WritesEachTimingInItsOwnZoneWithTotalsOfWhatTheRowsShow) {
    ExportFixture f;
    ASSERT_TRUE(entriesHaveRounding(f.entries));
    CsvExportSettings s;
    const std::string header =
        "Task Name,Timing Start Date,Timing Start Time,Timing End Date,Timing End Time,";
    struct Case {
        const char* name;
        std::int16_t durationFormat;
        bool rounded;
        std::string expected;
    };
    const Case cases[] = {
        {"minutes", 1, false,
         header + "Timing Duration,Timing Notes\n\n"
                  "Client > Site,5/1/24,23:30,5/2/24,00:40,1:10,\"late, \"\"quoted\"\"\"\n"
                  "Solo,5/3/24,09:00,5/3/24,09:07,0:08,\n\n,,,,Total Time:,1:18\n"},
        {"rounded durations and end times", 1, true,
         header + "Timing Duration,Timing Notes\n\n"
                  "Client > Site,5/1/24,23:30,5/2/24,00:40,1:10,\"late, \"\"quoted\"\"\"\n"
                  "Solo,5/3/24,09:00,5/3/24,09:15,0:15,\n\n,,,,Total Time:,1:25\n"},
        // 1.17 + 0.13 = 1.30, where the raw 4651 seconds would give 1.29.
        {"decimal hours", 0, false,
         header + "Timing Duration in Hours,Timing Notes\n\n"
                  "Client > Site,5/1/24,23:30,5/2/24,00:40,1.17,\"late, \"\"quoted\"\"\"\n"
                  "Solo,5/3/24,09:00,5/3/24,09:07,0.13,\n\n,,,,Total Time in Hours:,1.30\n"},
    };
    for (const Case& c : cases) {
        s.csvDurationFormat = c.durationFormat;
        s.csvRoundedDurations = s.csvRoundedEndTimes = c.rounded;
        EXPECT_EQ(exportText(f, s, c.rounded), c.expected) << c.name;
    }
}

TEST(CsvExport, SplitsTaskNamesAndPutsTheTotalUnderTheDurationColumn) {
    ExportFixture f;
    CsvExportSettings s;
    s.csvSplitTask = true;
    s.csvStartDates = s.csvStartTimes = s.csvEndDates = s.csvEndTimes = s.csvNotes = false;
    s.csvShowSeconds = true;
    s.csvDelimiter = 1;
    EXPECT_EQ(exportText(f, s, false),
              "Task Name;;;Timing Duration\n\nClient;Site;;1:10:00\nSolo;;;0:07:31\n\n"
              ";;Total Time:;1:17:31\n");
    s.csvDurations = false;
    s.csvColumnTitles = false;
    EXPECT_EQ(exportText(f, s, false), "\nClient;Site;\nSolo;;\n\nTotal Time:;1:17:31\n");
}

TEST(CsvExport, PreviewShowsTwoRowsWithPlaceholders) {
    ExportFixture f;
    CsvExportSettings s;
    s.csvTaskDescInNotes = true;
    CsvExport exporter(s, false, false, ZRCalendar::zrCalendar());
    auto rows = exporter.previewRows(f.entries);
    ASSERT_TRUE(rows.ok());
    ASSERT_EQ(rows->size(), 5u);
    EXPECT_EQ((*rows)[1][6], "[note | task description]");
    EXPECT_EQ((*rows)[2][0], "Solo");
    EXPECT_EQ((*rows)[3], std::vector<std::string>{"..."});
    EXPECT_EQ((*rows)[4].back(), "1:18");
}

TEST(CsvExport, AFailedExportLeavesThePreviousFile) {
    ExportFixture f;
    const auto path = f.env.folder() / "out.csv";
    testing::writeFile(path, "previous");
    CsvExportSettings s;
    s.csvEncoding = 98;  // ASCII cannot carry the note's text below
    f.solo->setTaskName(std::string("Café"));
    CsvExport exporter(s, false, false, ZRCalendar::zrCalendar());
    EXPECT_FALSE(exporter.writeFile(path, f.entries).ok());
    EXPECT_EQ(testing::readFile(path), "previous");
    s.csvEncoding = 1;  // UTF-16 with a mark
    CsvExport utf16(s, false, false, ZRCalendar::zrCalendar());
    ASSERT_TRUE(utf16.writeFile(path, f.entries).ok());
    EXPECT_EQ(testing::readFile(path).substr(0, 4), std::string("\xFF\xFET\0", 4));
}

TEST(CsvExport, SelectsTimingsByTheirDaysAndTasks) {
    ExportFixture f;
    ManagedObjectContext& context = f.env.context();
    struct Case {
        ZRYearMonthDay first, last;
        std::vector<ZRCDTask*> tasks;
        std::size_t count;
    };
    const Case cases[] = {{20240501, 20240503, {}, 2},      {20240501, 20240502, {}, 1},
                          {20240502, 20240502, {}, 0},  // a timing counts on its first day
                          {20240503, 20240503, {}, 1},      {20240501, 20240503, {f.client}, 1},
                          {20240501, 20240503, {f.solo}, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(timingsForSelection(c.first, c.last, c.tasks, context).size(), c.count)
            << c.first << "-" << c.last;
}

TEST(CsvExport, ProposesAFileNameForTheRangeInTheUsersLocale) {
    struct Case {
        const char* locale;
        ZRYearMonthDay start, end;
        const char* name;
    };
    const Case cases[] = {
        {"en_US", 0, 99999999, "Ravelong Export (all time)"},
        {"en_US", 20231230, 20240102, "Ravelong Export (Dec 30, 2023 - Jan 2, 2024)"},
        {"en_US", 20240501, 20240603, "Ravelong Export (May 1 - Jun 3, 2024)"},
        {"en_US", 20240501, 20240531, "Ravelong Export (May 1-31, 2024)"},
        {"en_US", 20240501, 20240501, "Ravelong Export (May 1, 2024)"},
        {"de_DE", 20240501, 20240531, "Ravelong Export (1.-31. Mai 2024)"},
    };
    for (const Case& c : cases) {
        const ZRCalendar calendar = ZRCalendar::forLocale(zones::named("Europe/Berlin"), c.locale);
        EXPECT_EQ(getFileNameString(c.start, c.end, calendar), c.name) << c.locale << c.start;
    }
}

}  // namespace
}  // namespace ravelong::csv

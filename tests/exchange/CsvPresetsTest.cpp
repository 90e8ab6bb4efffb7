#include <gtest/gtest.h>

#include "exchange/csv/CsvPresets.h"
#include "exchange/csv/ZRGenericCSVValidatorDelegate.h"
#include "tests/exchange/CsvStoreEnvironment.h"

namespace ravelong::csv {
namespace {

using csv_testing::CsvStoreEnvironment;

struct PresetCase {
    const char* preset;
    std::string file;
    std::vector<std::string> tokens;
    std::vector<std::string> unmapped;
    std::uint64_t goodRows;
};

// Small files in the layout each tracker exports.
std::vector<PresetCase> presetCases() {
    return {
        {"toggl",
         "User,Email,Client,Project,Task,Description,Billable,Start date,Start time,End date,"
         "End time,Duration,Tags,Amount (USD)\n"
         "Ada,ada@example.org,ACME,Website,Design,\"Header, footer\",Yes,2024-05-01,09:00:00,"
         "2024-05-01,10:30:00,01:30:00,,\n"
         "Ada,ada@example.org,ACME,Website,,Call,No,2024-05-01,23:30:00,2024-05-02,00:15:00,"
         "00:45:00,,\n",
         {"Ignore", "Ignore", "Ignore", "Task (top level)", "Subtask (level 1)", "Notes", "Ignore",
          "Date", "Start Time", "Ignore", "Ignore", "Duration", "Ignore", "Ignore"},
         {"User", "Email", "Client", "Billable", "End date", "End time", "Tags", "Amount (USD)"},
         2},
        {"clockify",
         "Project,Client,Description,Task,User,Email,Tags,Billable,Start Date,Start Time,"
         "End Date,End Time,Duration (h),Duration (decimal)\n"
         "Website,ACME,Header,Design,Ada,ada@example.org,,Yes,05/01/2024,09:00:00 AM,"
         "05/01/2024,10:30:00 AM,01:30:00,1.50\n"
         "Website,ACME,Call,,Ada,ada@example.org,,No,05/13/2024,11:30:00 PM,05/14/2024,"
         "12:15:00 AM,00:45:00,0.75\n",
         {"Task (top level)", "Ignore", "Notes", "Subtask (level 1)", "Ignore", "Ignore", "Ignore",
          "Ignore", "Date", "Start Time", "Ignore", "Ignore", "Duration", "Ignore"},
         {"Client", "User", "Email", "Tags", "Billable", "End Date", "End Time",
          "Duration (decimal)"},
         2},
        {"watson",
         "id,start,stop,project,tags\n"
         "a1,2024-05-01 09:00:00,2024-05-01 10:30:00,website,\"design, web\"\n"
         "a2,2024-05-01 23:30:00,2024-05-02 00:15:00,website,\n",
         {"Ignore", "Start Date + Time", "End Date + Time", "Task (top level)", "Ignore"},
         {"id", "tags"},
         2},
        {"hamster",
         "activity\tstart time\tend time\tduration minutes\tcategory\tdescription\ttags\n"
         "Design\t2024-05-01 09:00\t2024-05-01 10:30\t90\tWebsite\tHeader\t\n"
         "Call\t2024-05-01 23:30\t2024-05-02 00:15\t45\tWebsite\t\tphone\n",
         {"Subtask (level 1)", "Start Date + Time", "End Date + Time", "Ignore", "Task (top level)",
          "Notes", "Ignore"},
         {"duration minutes", "tags"},
         2},
        {"kimai",
         "Date,From,To,Duration,Rate,User,Customer,Project,Activity,Description,Exported,Tags\n"
         "2024-05-01,09:00,10:30,1:30,0,ada,ACME,Website,Design,Header,no,\n"
         "2024-05-01,23:30,00:15,0:45,0,ada,ACME,Website,Call,,no,\n",
         {"Date", "Start Time", "Ignore", "Duration", "Ignore", "Ignore", "Ignore",
          "Task (top level)", "Subtask (level 1)", "Notes", "Ignore", "Ignore"},
         {"To", "Rate", "User", "Customer", "Exported", "Tags"},
         2},
    };
}

TEST(CsvPresets, AreOfferedForTheirOwnFilesAndMapThemCompletely) {
    CsvStoreEnvironment env;
    for (const PresetCase& c : presetCases()) {
        const auto path = env.writeFile(std::string(c.preset) + ".csv", c.file);
        auto sample = sampleFile(path);
        ASSERT_TRUE(sample.ok()) << c.preset;
        const auto offered = detectPresets(sample->header);
        ASSERT_EQ(offered.size(), 1u) << c.preset;
        EXPECT_EQ(offered.front().name, c.preset);

        auto preset = mappingFor(c.preset, sample.value(), ZRCalendar::zrCalendar());
        ASSERT_TRUE(preset.ok()) << c.preset;
        EXPECT_EQ(preset->mapping.tokens, c.tokens) << c.preset;
        EXPECT_EQ(preset->unmappedColumns, c.unmapped) << c.preset;
        EXPECT_TRUE(preset->notes.empty()) << c.preset << ": " << preset->notes.front();
        EXPECT_EQ(checkSelectedTokens(preset->mapping), "") << c.preset;

        ZRGenericCSVValidatorDelegate validator(preset->mapping, ZRCalendar::zrCalendar(),
                                                env.kNow);
        const CsvValidation v = validator.validateFile(path);
        EXPECT_TRUE(v.validates) << c.preset;
        EXPECT_EQ(v.numberOfGoodRows, c.goodRows) << c.preset;
        EXPECT_EQ(v.numberOfSkippedRows, 0u) << c.preset;
    }
}

TEST(CsvPresets, RefuseFilesWithoutTheirColumns) {
    CsvStoreEnvironment env;
    const auto path = env.writeFile("other.csv", "Name,When\nWriting,2024-05-01\n");
    auto sample = sampleFile(path);
    ASSERT_TRUE(sample.ok());
    EXPECT_TRUE(detectPresets(sample->header).empty());
    auto toggl = mappingFor("toggl", sample.value(), ZRCalendar::zrCalendar());
    ASSERT_FALSE(toggl.ok());
    EXPECT_NE(toggl.error().description.find("\"project\""), std::string::npos);
    EXPECT_FALSE(mappingFor("nonesuch", sample.value(), ZRCalendar::zrCalendar()).ok());
}

}  // namespace
}  // namespace ravelong::csv

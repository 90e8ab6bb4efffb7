#include <gtest/gtest.h>

#include "exchange/csv/CsvTexts.h"
#include "exchange/csv/ZRGenericCSVImportController.h"
#include "tests/exchange/CsvStoreEnvironment.h"

namespace ravelong::csv {
namespace {

using csv_testing::CsvStoreEnvironment;

TEST(CsvImportController, KeepsItsChoicesAndForgetsImpossibleOnes) {
    CsvStoreEnvironment env;
    UserDefaults defaults(env.folder() / "pane.json");
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
    {
        ZRGenericCSVImportController pane(defaults, importer, ZRCalendar::zrCalendar());
        EXPECT_EQ(pane.selectedTokens(), std::vector<std::string>{"Task (top level)"});
        EXPECT_EQ(pane.statusText(), kTokensNotSufficient);
        pane.setSelectedTokens({"Task (top level)", "Start Date + Time", "Duration"});
        EXPECT_EQ(pane.statusText(), kSelectTimeFormat);
        pane.timeFormatSelected("HH:mm");
        pane.dateFormatSelected("y-M-d");
        EXPECT_EQ(pane.statusText(), kSelectDurationFormat);
        pane.durationFormatSelected(11);
        pane.delimiterSelected(2);
        EXPECT_TRUE(pane.fileButtonEnabled());
        const auto offered = pane.offeredTokens();
        EXPECT_EQ(std::count(offered.begin(), offered.end(), "Duration"), 0);
        EXPECT_EQ(std::count(offered.begin(), offered.end(), "Ignore"), 1);
    }
    ZRGenericCSVImportController again(defaults, importer, ZRCalendar::zrCalendar());
    EXPECT_EQ(again.mapping().durationCode, 11);
    EXPECT_EQ(again.mapping().delimiter, 2);
    EXPECT_TRUE(again.fileButtonEnabled());

    defaults.setString(kZRGenericCSVTokens, "Task (top level),Project");
    defaults.setDictionary(kZRGenericCSVTokenFormats, {{"Delimiter", 7}});
    ZRGenericCSVImportController damaged(defaults, importer, ZRCalendar::zrCalendar());
    EXPECT_TRUE(damaged.selectedTokens().empty());
    EXPECT_EQ(damaged.mapping().delimiter, 0);
    EXPECT_FALSE(defaults.dictionaryForKey(kZRGenericCSVTokenFormats).contains("Delimiter") &&
                 defaults.dictionaryForKey(kZRGenericCSVTokenFormats)["Delimiter"] == 7);
}

TEST(CsvImportController, OffersPresetsAndImportsOnlyWhatWasAskedFor) {
    CsvStoreEnvironment env;
    UserDefaults defaults(env.folder() / "pane.json");
    CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
    ZRGenericCSVImportController pane(defaults, importer, ZRCalendar::zrCalendar());
    const auto file = env.writeFile("watson.csv",
                                    "id,start,stop,project,tags\n"
                                    "a1,2024-05-01 09:00:00,2024-05-01 10:30:00,website,\n");
    pane.selectCSV(file);
    ASSERT_EQ(pane.offeredPresets().size(), 1u);
    EXPECT_EQ(pane.offeredPresets().front().name, "watson");
    EXPECT_FALSE(pane.importEnabled());  // nothing is applied unasked
    EXPECT_FALSE(pane.importCSV().ok());

    ASSERT_TRUE(pane.applyPreset("watson").ok());
    EXPECT_EQ(pane.unmappedColumns(), (std::vector<std::string>{"id", "tags"}));
    ASSERT_TRUE(pane.importEnabled()) << pane.fileLabel();
    EXPECT_EQ(pane.fileLabel(), "watson.csv selected");
    auto outcome = pane.importCSV();
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome->counts.numberOfTimingsImported, 1u);
    EXPECT_FALSE(pane.importEnabled());
    EXPECT_EQ(pane.fileLabel(), kNoFileSelected);
}

}  // namespace
}  // namespace ravelong::csv

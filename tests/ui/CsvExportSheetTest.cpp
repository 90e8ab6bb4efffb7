#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "core/model/ZRCDExportPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/CsvStoreEnvironment.h"
#include "ui/CsvExportSheet.h"

namespace ravelong {
namespace {

using csv_testing::CsvStoreEnvironment;

TEST(CsvExportSheet, PreviewsStoresEveryChoiceAndExports) {
    CsvStoreEnvironment env;
    ManagedObjectContext& context = env.context();
    ZRCDTask* task = ZRCDTask::createCoreDataTaskWithName("Writing", false, context);
    const Instant start = 736000000.0;  // 2024-04-29 12:26:40 UTC
    const ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate(
        start, start + 5400, task, std::string("draft"), 0, std::nullopt, context);
    ASSERT_TRUE(context.save().ok());

    CsvExportSheet sheet(context, {timing}, false);
    EXPECT_EQ(sheet.titleLine()->text().toStdString(), "Exporting 1 Timing");
    const QStringList lines = sheet.preview()->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 4);  // titles, the row, "...", the total
    EXPECT_TRUE(lines[1].startsWith("Writing,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",1:30,[note]")) << lines[1].toStdString();
    EXPECT_EQ(lines[2], "...");

    sheet.checkBox("csvNotes")->setChecked(false);
    sheet.durationFormatMenu()->setCurrentIndex(0);
    emit sheet.durationFormatMenu()->activated(0);
    EXPECT_TRUE(sheet.preview()->toPlainText().split('\n')[1].endsWith(",1.50"))
        << sheet.preview()->toPlainText().toStdString();
    const ZRCDExportPreferences* preferences =
        ZRCDExportPreferences::getPreferences_inContext(context);
    EXPECT_FALSE(preferences->csvNotes());
    EXPECT_EQ(preferences->csvDurationFormat(), 0);
    EXPECT_FALSE(context.hasChanges());  // stored at once

    ASSERT_TRUE(sheet.exportTo(env.folder() / "out.csv"));
    const std::string written = testing::readFile(env.folder() / "out.csv");
    EXPECT_NE(written.find("\n\nWriting,"), std::string::npos) << written;
    EXPECT_NE(written.find(",Total Time in Hours:,1.50\n"), std::string::npos) << written;
    // A folder cannot be replaced by the file: the reason is shown, the folder stays.
    EXPECT_FALSE(sheet.exportTo(env.folder()));
    EXPECT_FALSE(sheet.statusLine()->text().isEmpty());
    EXPECT_TRUE(std::filesystem::is_directory(env.folder()));
}

}  // namespace
}  // namespace ravelong

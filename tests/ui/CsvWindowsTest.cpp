#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "core/model/ZRCDExportPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/CsvStoreEnvironment.h"
#include "exchange/csv/CsvImportRunner.h"
#include "exchange/csv/CsvTexts.h"
#include "exchange/csv/ZRGenericCSVImportController.h"
#include "ui/CsvExportSheet.h"
#include "ui/CsvImportWindow.h"
#include "ui/QtMainLoop.h"
#include "ui/QtText.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using csv_testing::CsvStoreEnvironment;

TEST(CsvImportWindow, GuidesTheUserFromTokensToAnImport) {
    CsvStoreEnvironment env;
    UserDefaults defaults(env.folder() / "pane.json");
    csv::CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
    csv::ZRGenericCSVImportController controller(defaults, importer, ZRCalendar::zrCalendar());
    CsvImportWindow window(controller);

    EXPECT_EQ(window.statusLine()->text().toStdString(), csv::kTokensNotSufficient);
    EXPECT_FALSE(window.fileButton()->isEnabled());
    window.tokensField()->setText("Task (top level), Notes, Date, Start Time, End Time");
    emit window.tokensField()->editingFinished();
    EXPECT_EQ(window.statusLine()->text().toStdString(), csv::kSelectTimeFormat);
    window.timeMenu()->setCurrentIndex(window.timeMenu()->findData("HH:mm"));
    emit window.timeMenu()->activated(window.timeMenu()->currentIndex());
    window.dateMenu()->setCurrentIndex(window.dateMenu()->findData("y-M-d"));
    emit window.dateMenu()->activated(window.dateMenu()->currentIndex());
    EXPECT_TRUE(window.statusLine()->text().isEmpty());
    ASSERT_TRUE(window.fileButton()->isEnabled());

    window.chooseFile(env.writeFile("in.csv",
                                    "Writing,first,2024-05-01,09:00,10:00\n"
                                    "Writing,,2024-05-02,09:00,10:30\n"
                                    "Writing,,2024-05-03,09:00,10:30\n"
                                    "Writing,,2024-05-04,09:00,10:30\n"
                                    "Writing,,2024-05-32,09:00,10:30\n"));
    EXPECT_TRUE(window.presetMenu()->isHidden());
    EXPECT_EQ(window.fileLabel()->text().toStdString(), "in.csv selected");
    EXPECT_EQ(window.skippedRows()->toPlainText().toStdString(),
              "Line 5: Writing      2024-05-32   09:00   10:30   ");
    // Closed and opened again, the window has forgotten the file.
    window.reject();
    EXPECT_EQ(window.fileLabel()->text().toStdString(), csv::kNoFileSelected);
    EXPECT_FALSE(window.importButton()->isEnabled());
    EXPECT_TRUE(window.skippedRows()->toPlainText().isEmpty());
    window.chooseFile(env.folder() / "in.csv");
    EXPECT_EQ(window.fileLabel()->text().toStdString(), "in.csv selected");
    ASSERT_TRUE(window.importButton()->isEnabled());
    window.importButton()->click();
    EXPECT_TRUE(window.resultLabel()->text().startsWith(qt(csv::kCSVDataImported)))
        << window.resultLabel()->text().toStdString();
    EXPECT_TRUE(window.resultLabel()->text().contains("4 timings imported"));
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(env.context()), 4u);
    EXPECT_FALSE(window.importButton()->isEnabled());
}

TEST(CsvImportWindow, ImportsInTheBackgroundWithProgressAndStaysResponsive) {
    CsvStoreEnvironment env;
    QtMainLoop loop;
    ScopedMainLoop scopedLoop(loop);
    UserDefaults defaults(env.folder() / "pane.json");
    csv::CsvImporter importer(env.stack(), env.clock(), ZRCalendar::zrCalendar());
    csv::ZRGenericCSVImportController controller(defaults, importer, ZRCalendar::zrCalendar());
    csv::CsvImportRunner runner(importer, loop);
    controller.setSelectedTokens({"Task (top level)", "Date", "Start Time", "End Time"});
    controller.dateFormatSelected("y-M-d");
    controller.timeFormatSelected("HH:mm");
    CsvImportWindow window(controller, &runner);
    int imported = 0;
    QObject::connect(&window, &CsvImportWindow::imported, [&] { ++imported; });

    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "Task " + std::to_string(i % 40) + ",2024-0" + std::to_string(1 + i % 9) + "-" +
                std::to_string(10 + i % 19) + ",09:00,10:00\n";
    window.chooseFile(env.writeFile("many.csv", text));
    ASSERT_TRUE(window.importButton()->isEnabled()) << window.fileLabel()->text().toStdString();
    window.importButton()->click();
    if (window.importing()) {  // a fast machine may have finished before the click returned
        EXPECT_TRUE(window.progressBar()->isVisibleTo(&window));
        EXPECT_EQ(window.progressBar()->maximum(), 3000);
        EXPECT_FALSE(window.importButton()->isEnabled());
        EXPECT_FALSE(window.fileButton()->isEnabled());
        EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(env.context()), 0u);
    }
    ASSERT_TRUE(ui_testing::runUntil([&] { return !window.importing(); }, 60000));
    EXPECT_EQ(imported, 1);
    EXPECT_FALSE(window.progressBar()->isVisibleTo(&window));
    EXPECT_TRUE(window.resultLabel()->text().startsWith(qt(csv::kCSVDataImported)))
        << window.resultLabel()->text().toStdString();
    const std::size_t timings = ZRCDTiming::numberOfTimings_inContext(env.context());
    EXPECT_GT(timings, 0u);
    EXPECT_TRUE(window.resultLabel()->text().contains(QString("%1 timings imported").arg(timings)))
        << window.resultLabel()->text().toStdString();
    EXPECT_FALSE(window.importButton()->isEnabled()) << "the file was forgotten";
}

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

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/model/ZRCDTiming.h"
#include "exchange/CsvStoreEnvironment.h"
#include "exchange/csv/CsvTexts.h"
#include "exchange/csv/ZRGenericCSVImportController.h"
#include "ui/CsvImportWindow.h"
#include "ui/QtText.h"

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
    ASSERT_TRUE(window.importButton()->isEnabled());
    window.importButton()->click();
    EXPECT_TRUE(window.resultLabel()->text().startsWith(qt(csv::kCSVDataImported)))
        << window.resultLabel()->text().toStdString();
    EXPECT_TRUE(window.resultLabel()->text().contains("4 timings imported"));
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(env.context()), 4u);
    EXPECT_FALSE(window.importButton()->isEnabled());
}

}  // namespace
}  // namespace ravelong

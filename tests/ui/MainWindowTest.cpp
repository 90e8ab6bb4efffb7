#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QLineSeries>
#include <QListView>
#include <QPieSeries>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>

#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/tree/TaskTreeEditor.h"
#include "foundation/Instant.h"
#include "menubar/StatisticsTaskList.h"
#include "menubar/TimedEntriesList.h"
#include "menubar/TimedEntryEditor.h"
#include "stats/ZRDatePickerManager.h"
#include "store/ZRUndoManager.h"
#include "ui/AddTimingDialog.h"
#include "ui/BarChartView.h"
#include "ui/CalendarGrid.h"
#include "ui/ChartExportSheet.h"
#include "ui/ChartsArea.h"
#include "ui/LineChartView.h"
#include "ui/MainWindow.h"
#include "ui/PieChartView.h"
#include "ui/QtApplicationShell.h"
#include "ui/ShellWorld.h"
#include "ui/StatisticsTaskListModel.h"
#include "ui/TimedEntriesTableModel.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::runFor;
using ui_testing::runUntil;

constexpr int kAllPreset = 11;
// Background reads share two cores with the rest of the machine: give them time.
constexpr int kDeliveryMs = 15000;

// The main window of the real shell and application delegate on a store in a temporary folder,
// with two checked tasks and their timings yesterday.
class MainWindowTest : public ::testing::Test, protected ui_testing::ShellWorld {
protected:
    MainWindowTest() {
        launch();
        write = ZRCDTask::createCoreDataTaskWithName("Write report", false, context());
        read = ZRCDTask::createCoreDataTaskWithName("Read mail", false, context());
        write->setTaskIsSelected(true);
        read->setTaskIsSelected(true);
        ZRUserDefaults2::setSelectionState(2);
        ZRUserDefaults2::setShowTasks(2);
        const QDateTime nine(yesterday, QTime(9, 0));
        first = timing(write, nine, 90 * 60);
        second = timing(read, nine.addSecs(3 * 3600), 30 * 60);
        EXPECT_TRUE(context().save());
        context().undoManager()->removeAllActions();
        delegate.openMainWindow();
        window = shell.mainWindow();
    }
    ~MainWindowTest() override { delete window; }

    ZRCDTiming* timing(ZRCDTask* task, const QDateTime& start, int seconds) {
        const Instant begin = instantFromUnixTime(static_cast<double>(start.toSecsSinceEpoch()));
        return ZRCDTiming::createCoreDataTimingWithStartDate(
            begin, begin + seconds, task, std::nullopt, 0, std::nullopt, context());
    }
    int rowOf(ZRCDTiming* wanted) {
        const auto& rows = window->timedEntries().timings();
        const auto found = std::find(rows.begin(), rows.end(), wanted);
        return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
    }

    const QDate yesterday = QDate::currentDate().addDays(-1);
    ZRCDTask* write = nullptr;
    ZRCDTask* read = nullptr;
    ZRCDTiming* first = nullptr;
    ZRCDTiming* second = nullptr;
    MainWindow* window = nullptr;
};

TEST_F(MainWindowTest, ShowsTheTasksTimingsCalendarTotalsAndSummary) {
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    window->choosePreset(kAllPreset);
    QAbstractItemModel* tasks = window->taskView()->model();
    ASSERT_EQ(tasks->rowCount(), 2);
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(tasks->index(row, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);

    QAbstractItemModel* timings = window->timingsView()->model();
    ASSERT_EQ(timings->rowCount(), 2);
    // Newest start first.
    // The task's path, without the full name's leading mark.
    EXPECT_EQ(timings->index(0, TimedEntriesTableModel::kTask).data().toString(), "Read mail");
    EXPECT_EQ(timings->index(1, TimedEntriesTableModel::kDuration).data().toString(), "1:30:00");
    EXPECT_TRUE(window->summaryText().startsWith("2 timings"))
        << window->summaryText().toStdString();
    window->timingsView()->selectAll();
    EXPECT_TRUE(window->summaryText().startsWith("2 of 2 timings"))
        << window->summaryText().toStdString();

    // The calendar draws yesterday's total once the background read delivered it.
    ZRDatePickerManager& picker = *shell.ensureDatePickerManager();
    const ZRYearMonthDay day = yearMonthDayOf(yesterday);
    ASSERT_TRUE(runUntil([&] {
        picker.waitForBackgroundWork();
        return window->calendar()->totalText(day) == "2:00";
    })) << picker.calendarData().days.size()
        << " " << picker.firstVisibleDay() << " "
        << window->calendar()->totalText(day).toStdString();
    EXPECT_EQ(window->calendar()->totalText(yearMonthDayOf(yesterday.addDays(-1))), "");

    // Unchecking a task (a click on its mark) leaves only the other's timing.
    ASSERT_TRUE(tasks->setData(tasks->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(timings->rowCount(), 1);
}

TEST_F(MainWindowTest, EditsInTheTableAreOneUndoStepEachAndRefusalsChangeNothing) {
    window->choosePreset(kAllPreset);
    QAbstractItemModel* timings = window->timingsView()->model();
    ZRUndoManager& undo = *context().undoManager();
    const Instant end = *first->endDate();

    struct Case {
        int column;
        QString text;
        bool accepted;
    };
    const Case cases[] = {
        {TimedEntriesTableModel::kDuration, "2:00", true},
        {TimedEntriesTableModel::kDuration, "soon", false},
        {TimedEntriesTableModel::kDuration, "-1:00", false},
        {TimedEntriesTableModel::kEnd, "8:00", false},  // before the start at 9:00
        {TimedEntriesTableModel::kEnd, "not a time", false},
        {TimedEntriesTableModel::kNote, "Chapter two", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const int row = rowOf(first);
        ASSERT_GE(row, 0);
        const std::size_t steps = undo.undoCount();
        const Instant endBefore = *first->endDate();
        EXPECT_EQ(timings->setData(timings->index(row, c.column), c.text), c.accepted);
        EXPECT_EQ(undo.undoCount(), steps + (c.accepted ? 1 : 0));
        EXPECT_FALSE(context().hasChanges());  // saved, or nothing changed
        if (!c.accepted) {
            EXPECT_EQ(*first->endDate(), endBefore);
            EXPECT_FALSE(window->lastMessage().isEmpty());
        }
    }
    EXPECT_EQ(*first->endDate(), *first->startDate() + 7200);
    EXPECT_EQ(first->note(), "Chapter two");

    ASSERT_TRUE(window->undo());
    ASSERT_TRUE(window->undo());
    EXPECT_EQ(*first->endDate(), end);
    EXPECT_EQ(first->note(), std::nullopt);
    EXPECT_FALSE(context().hasChanges());
    ASSERT_TRUE(window->redo());
    EXPECT_EQ(*first->endDate(), *first->startDate() + 7200);
}

TEST_F(MainWindowTest, DeletesTheSelectedTimingsAndAddsOneByHand) {
    window->choosePreset(kAllPreset);
    window->timingsView()->selectRow(rowOf(second));
    ASSERT_TRUE(window->deleteSelectedTimings());
    EXPECT_EQ(window->timingsView()->model()->rowCount(), 1);
    EXPECT_EQ(rowOf(first), 0);
    EXPECT_FALSE(context().hasChanges());

    TimedEntryEditor editor(delegate, Clock::current());
    AddTimingDialog dialog(context(), editor, Clock::current(), write);
    EXPECT_EQ(dialog.taskBox()->currentText(), "Write report");
    dialog.dayEdit()->setDate(yesterday);
    dialog.startEdit()->setTime(QTime(14, 0));
    dialog.durationEdit()->setText("half an hour");
    EXPECT_FALSE(dialog.draft().canAdd());
    EXPECT_FALSE(dialog.message().isEmpty());
    dialog.durationEdit()->setText("0:45");
    EXPECT_TRUE(dialog.draft().canAdd())
        << dialog.message().toStdString() << " " << dialog.draft().duration() << " "
        << dialog.draft().dateIsValid();
    ASSERT_TRUE(dialog.add());
    window->reload();
    ASSERT_EQ(window->timingsView()->model()->rowCount(), 2);
    EXPECT_EQ(window->timingsView()
                  ->model()
                  ->index(0, TimedEntriesTableModel::kDuration)
                  .data()
                  .toString(),
              "0:45:00");
}

TEST_F(MainWindowTest, UndoStepsOfTheWindowsEditsCarryTheirNames) {
    window->choosePreset(kAllPreset);
    ZRUndoManager& undo = *context().undoManager();
    QAbstractItemModel* timings = window->timingsView()->model();
    const QDateTime ten(yesterday, QTime(7, 0));

    struct Step {
        const char* name;
        std::function<bool()> action;
    };
    const Step steps[] = {
        {"Add Timing", [&] { return window->addTimingByHand("Write report", ten, "0:30"); }},
        {"Modify Timing",
         [&] {
             return timings->setData(
                 timings->index(rowOf(first), TimedEntriesTableModel::kDuration), "1:45");
         }},
        {"Delete Timing", [&] { return window->deleteTimingAtRow(rowOf(second)); }},
        {"Delete Timings",
         [&] {
             window->timingsView()->selectAll();
             return window->deleteSelectedTimings();
         }},
        {"Add Task", [&] { return window->taskList().addTask() != nullptr; }},
        {"Add Subtask", [&] { return window->taskList().addSubtaskToRow(0) != nullptr; }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const std::size_t before = undo.undoCount();
        ASSERT_TRUE(step.action());
        EXPECT_EQ(undo.undoCount(), before + 1);
        EXPECT_EQ(undo.undoActionName(), step.name);
        EXPECT_FALSE(context().hasChanges());
    }
    EXPECT_EQ(timings->rowCount(), 0);
    // The deletions are undone whole: both rows come back at once.
    ASSERT_TRUE(window->undo());  // Add Subtask
    ASSERT_TRUE(window->undo());  // Add Task
    ASSERT_TRUE(window->undo());  // Delete Timings
    EXPECT_EQ(timings->rowCount(), 2);
}

TEST_F(MainWindowTest, CtrlFGoesToTheTaskSearchWhichFiltersTheList) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    window->timingsView()->setFocus();
    QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(window->taskSearchField()->hasFocus());

    QListView* view = window->taskView();
    const auto shownNames = [&] {
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            if (!view->isRowHidden(row))
                names << view->model()->index(row, 0).data().toString();
        return names;
    };
    QTest::keyClicks(window->taskSearchField(), "MAIL");
    EXPECT_EQ(shownNames(), QStringList{"Read mail"});
    window->taskSearchField()->clear();
    EXPECT_EQ(shownNames().size(), 2);
    // Adding a task clears the search, so the new row is in sight.
    QTest::keyClicks(window->taskSearchField(), "report");
    EXPECT_EQ(shownNames(), QStringList{"Write report"});
    ASSERT_NE(window->addTask(), nullptr);
    EXPECT_TRUE(window->taskSearchField()->text().isEmpty());
    EXPECT_EQ(shownNames().size(), 3);
}

TEST_F(MainWindowTest, TheShownChartFollowsTheRangeAndHiddenChartsComputeNothing) {
    ChartsArea* charts = window->chartsArea();
    ASSERT_NE(charts, nullptr);
    window->choosePreset(kAllPreset);
    ChartDataSource& pie = charts->source(ChartKind::pie);
    ChartDataSource& bar = charts->source(ChartKind::bar);
    ChartDataSource& line = charts->source(ChartKind::line);
    const auto delivered = [&](ChartDataSource& source, std::uint64_t after) {
        return runUntil(
            [&] {
                charts->waitForBackgroundWork();
                return source.redrawTrigger() > after;
            },
            kDeliveryMs);
    };

    // The timings tab is in front: no chart computes.
    runFor(100);
    EXPECT_EQ(pie.redrawTrigger() + bar.redrawTrigger() + line.redrawTrigger(), 0u);

    // All time: the bar chart spans the data, one day.
    ASSERT_TRUE(window->showChart(ChartKind::bar));
    ASSERT_TRUE(delivered(bar, 0));
    EXPECT_EQ(charts->barView().data().columns(), 1);
    EXPECT_DOUBLE_EQ(charts->barView().data().total, 2 * 3600.0);
    EXPECT_EQ(pie.redrawTrigger(), 0u);
    EXPECT_TRUE(pie.stale());

    // A new range reaches the chart shown.
    std::uint64_t seen = bar.redrawTrigger();
    ASSERT_TRUE(window->choosePresetNamed("Last 7 Days"));
    ASSERT_TRUE(delivered(bar, seen));
    EXPECT_EQ(charts->barView().data().columns(), 7);
    EXPECT_EQ(charts->barView().series()->barSets().size(), 2);
    const QString output = QStringLiteral(RAVELONG_UI_TEST_OUTPUT);
    QDir().mkpath(output);
    runFor(50);  // the axes are laid out on the next passes of the loop
    EXPECT_TRUE(window->grab().save(output + "/main-window-bar.png"));

    // The other charts catch up when shown.
    ASSERT_TRUE(window->showChart(ChartKind::pie));
    ASSERT_TRUE(delivered(pie, 0));
    ASSERT_EQ(charts->pieView().series()->count(), 2);
    EXPECT_EQ(charts->pieView().data().slices[0].shortName, "Write report");
    EXPECT_DOUBLE_EQ(charts->pieView().data().total, 2 * 3600.0);
    runFor(50);  // the axes are laid out on the next passes of the loop
    EXPECT_TRUE(window->grab().save(output + "/main-window-pie.png"));
    ASSERT_TRUE(window->showChart(ChartKind::line));
    ASSERT_TRUE(delivered(line, 0));
    EXPECT_EQ(charts->lineView().dailySeries()->count(), 7);
    EXPECT_DOUBLE_EQ(charts->lineView().data().total, 2 * 3600.0);
    runFor(50);  // the axes are laid out on the next passes of the loop
    EXPECT_TRUE(window->grab().save(output + "/main-window-line.png"));

    // Unchecking a task recomputes the chart shown without it.
    seen = line.redrawTrigger();
    QAbstractItemModel* tasks = window->taskView()->model();
    const auto& rows = window->taskList().tasks();
    const int readRow = static_cast<int>(std::find(rows.begin(), rows.end(), read) - rows.begin());
    ASSERT_TRUE(tasks->setData(tasks->index(readRow, 0), Qt::Unchecked, Qt::CheckStateRole));
    ASSERT_TRUE(delivered(line, seen));
    EXPECT_DOUBLE_EQ(charts->lineView().data().total, 1.5 * 3600.0);

    // The export sheet works on the chart shown.
    ChartExportSheet* sheet = charts->exportChart();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->proposedFileName().startsWith("Ravelong Line Chart ("))
        << sheet->proposedFileName().toStdString();
    sheet->close();

    // Closed, the window's charts compute nothing.
    window->close();
    seen = line.redrawTrigger();
    window->choosePreset(kAllPreset);
    runFor(100);
    charts->waitForBackgroundWork();
    QCoreApplication::processEvents();
    EXPECT_EQ(line.redrawTrigger(), seen);
    EXPECT_TRUE(line.stale());
}

TEST_F(MainWindowTest, TheCalendarOpensOnThisMonthAndGreysTheDaysItDoesNotOffer) {
    ZRDatePickerManager& picker = *shell.ensureDatePickerManager();
    const QDate today = CalendarGrid::today();
    const QDate offered(today.year(), today.month(), 5);
    const QDate notOffered(today.year(), today.month(), 20);
    ASSERT_TRUE(picker.rangeChooser().setOfferedDays(20010101, yearMonthDayOf(offered.addDays(5))));
    ZRUserDefaults2::setGeneralStartAndEndDate(20010101, 20010102);  // nothing shaded in sight
    CalendarGrid* calendar = window->calendar();
    // Opened on this month.
    ASSERT_TRUE(runUntil([&] {
        return calendar->visibleRegion().contains(calendar->dayRect(today).center());
    })) << calendar->visibleRegion().boundingRect().top()
        << " " << calendar->dayRect(today).top();
    EXPECT_TRUE(calendar->dayIsOffered(offered));
    EXPECT_FALSE(calendar->dayIsOffered(notOffered));
    const QImage image = calendar->grab().toImage();
    // The darkest pixel of the day's number: text, or greyed text.
    const auto darkest = [&](QDate day) {
        const QRect rect = calendar->dayRect(day);
        int value = 255;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                value = std::min(value, qGray(image.pixel(x, y)));
        return value;
    };
    ASSERT_FALSE(calendar->dayRect(offered).isEmpty());
    EXPECT_LT(darkest(offered) + 40, darkest(notOffered));
    // A click on a day not offered chooses nothing.
    QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->dayRect(notOffered).center());
    EXPECT_EQ(ZRUserDefaults2::generalStartDate(), 20010101);
}

TEST_F(MainWindowTest, DroppingATaskWithAModifierMergesOnlyAfterTheQuestion) {
    auto* tasks = qobject_cast<StatisticsTaskListModel*>(window->taskView()->model());
    ASSERT_NE(tasks, nullptr);
    const auto rowOfTask = [&](ZRCDTask* task) {
        const auto& rows = window->taskList().tasks();
        return static_cast<int>(std::find(rows.begin(), rows.end(), task) - rows.begin());
    };
    const std::size_t before = ZRCDTask::getAllTasks_inContext(context()).size();
    alerts.queueButton(1);  // Cancel
    EXPECT_FALSE(tasks->dropRowOnRow(rowOfTask(read), rowOfTask(write), TaskTreeEditor::kShiftKey));
    EXPECT_EQ(ZRCDTask::getAllTasks_inContext(context()).size(), before);
    ASSERT_EQ(alerts.shownAlerts().size(), 1u);
    EXPECT_NE(alerts.shownAlerts().back().messageText.find("Read mail"), std::string::npos);

    alerts.queueButton(0);  // Merge
    EXPECT_TRUE(tasks->dropRowOnRow(rowOfTask(read), rowOfTask(write), TaskTreeEditor::kShiftKey));
    EXPECT_EQ(ZRCDTask::getAllTasks_inContext(context()).size(), before - 1);
    EXPECT_EQ(second->task(), write);  // the merged task's time went with it
    EXPECT_EQ(alerts.shownAlerts().size(), 2u);
}

TEST_F(MainWindowTest, FrameAndSplittersAreRestoredAndBadValuesIgnored) {
    window->setGeometry(40, 50, 900, 700);
    window->findChild<QSplitter*>("mainWindowSplitter")->setSizes({200, 700});
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(delegate.mainWindowIsOpen());
    const QList<int> sides = window->findChild<QSplitter*>("mainWindowSplitter")->sizes();
    delete window;
    window = nullptr;

    delegate.openMainWindow();
    window = shell.mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->geometry().size(), QSize(900, 700));
    EXPECT_EQ(window->findChild<QSplitter*>("mainWindowSplitter")->sizes(), sides);
    delete window;
    window = nullptr;

    for (const char* bad : {"garbage", "1 2 -3 4", "1 2 3"}) {
        SCOPED_TRACE(bad);
        settings.setString(kNSWindowFrameMainWindow, bad);
        delegate.openMainWindow();
        window = shell.mainWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->geometry().size(), QSize(960, 640));
        delete window;
        window = nullptr;
    }
}

}  // namespace
}  // namespace ravelong

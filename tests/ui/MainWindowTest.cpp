#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QLineEdit>
#include <QListView>
#include <QSplitter>
#include <QTableView>
#include <QTimeEdit>

#include "app/AppDelegate.h"
#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/DeviceIdentity.h"
#include "core/tree/TaskTreeEditor.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Instant.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "foundation/Version.h"
#include "menubar/StatisticsTaskList.h"
#include "menubar/TimedEntriesList.h"
#include "menubar/TimedEntryEditor.h"
#include "stats/ZRDatePickerManager.h"
#include "store/ZRUndoManager.h"
#include "support/FixedDeviceIdentity.h"
#include "support/TestSupport.h"
#include "ui/AddTimingDialog.h"
#include "ui/CalendarGrid.h"
#include "ui/MainWindow.h"
#include "ui/QtApplicationShell.h"
#include "ui/QtMainLoop.h"
#include "ui/StatisticsTaskListModel.h"
#include "ui/TimedEntriesTableModel.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::runUntil;

constexpr int kAllPreset = 11;

// The main window of the real shell and application delegate on a store in a temporary folder,
// with two checked tasks and their timings yesterday.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        NotificationCenter::setDefaultCenter(&center);
        shell.setDelegate(&delegate);
        shell.installTray();
        EXPECT_TRUE(delegate.applicationDidFinishLaunching());
        shell.launchFinished();
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
    ~MainWindowTest() override {
        delete window;
        NotificationCenter::setDefaultCenter(nullptr);
    }

    ManagedObjectContext& context() { return delegate.managedObjectContext(); }
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

    testing::TemporaryDirectory folder;
    UserDefaults settings{folder.path() / "settings.json"};
    ScopedUserDefaults scopedSettings{UserDefaults::Suite::standard, settings};
    UserDefaults groupSettings{folder.path() / "group-settings.json"};
    ScopedUserDefaults scopedGroupSettings{UserDefaults::Suite::group, groupSettings};
    ScriptedAlertPresenter alerts;
    ScopedAlertPresenter scopedAlerts{alerts};
    FixedDeviceIdentity identity{{"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Engine"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    NotificationCenter center;
    QtMainLoop loop;
    ScopedMainLoop scopedLoop{loop};
    LogCapture log;
    QtApplicationShell shell;
    AppDelegate delegate{
        shell, {DataLocations::inDataFolder(folder.path() / "data"), kRavelongBuildNumber}};
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
    EXPECT_TRUE(
        timings->index(0, TimedEntriesTableModel::kTask).data().toString().endsWith("Read mail"));
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

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <set>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/Clock.h"
#include "menubar/MenuBarTaskList.h"
#include "menubar/StackMenuEntry.h"
#include "menubar/ZRStatusItemView.h"
#include "ui/AddTimingDialog.h"
#include "ui/CsvExportSheet.h"
#include "ui/CsvImportWindow.h"
#include "ui/CsvWindows.h"
#include "ui/MainWindow.h"
#include "ui/PreferencesWindow.h"
#include "ui/QtApplicationShell.h"
#include "ui/ShellWorld.h"
#include "ui/SyncIndicator.h"
#include "ui/TaskListItemModel.h"
#include "ui/TaskPanel.h"
#include "ui/TaskRowDelegate.h"
#include "ui/TimersRunningWindow.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::runUntil;

// The shell with the real application delegate on a store in a temporary folder. The offscreen
// platform has no tray, so the panel is the program's window.
class QtApplicationShellTest : public ::testing::Test, protected ui_testing::ShellWorld {
protected:
    QtApplicationShellTest() {
        QObject::connect(&shell, &QtApplicationShell::quitting, [this] { ++quits; });
    }

    ZRCDTask* addTask(const std::string& name) {
        ZRCDTask* task = ZRCDTask::createCoreDataTaskWithName(name, true, context());
        shell.refreshTaskLists();
        return task;
    }

    std::vector<std::string> runningTaskNames() {
        std::vector<std::string> names;
        for (ZRCDTiming* timing : ZRCDTiming::getRunningTimings_inContext(context()))
            names.push_back(timing->task() ? timing->task()->taskName().value_or("") : "");
        return names;
    }

    int quits = 0;
};

TEST_F(QtApplicationShellTest, WithoutATrayThePanelIsAWindowOpenFromTheStart) {
    launch();
    ASSERT_NE(shell.panel(), nullptr);
    EXPECT_FALSE(shell.hasTrayIcon());
    EXPECT_EQ(shell.panel()->kind(), TaskPanel::Kind::window);
    EXPECT_TRUE(shell.panel()->isVisible());
    EXPECT_EQ(shell.statusItemTime(), nullptr);
    // The user is told once, and it is remembered.
    EXPECT_TRUE(settings.boolForKey("ZRNoTrayNoticeShown"));
}

TEST_F(QtApplicationShellTest, APanelRowClickStartsAndStopsTheTasksTimer) {
    launch();
    addTask("Write report");
    addTask("Read mail");
    ASSERT_EQ(shell.panel()->rows().size(), 2u);
    // A new task goes to the top of the list.
    EXPECT_EQ(shell.panel()->rows()[0].name, "Read mail");
    EXPECT_EQ(shell.panel()->rows()[1].name, "Write report");

    ASSERT_TRUE(shell.clickTaskNamed("Write report"));
    EXPECT_EQ(runningTaskNames(), std::vector<std::string>{"Write report"});
    EXPECT_TRUE(shell.panel()->rows()[1].running);
    EXPECT_FALSE(shell.panel()->rows()[0].running);

    ASSERT_TRUE(shell.clickTaskNamed("Write report"));
    EXPECT_TRUE(runningTaskNames().empty());
    EXPECT_FALSE(shell.panel()->rows()[1].running);

    EXPECT_FALSE(shell.clickTaskNamed("No such task"));
}

// A start or stop from outside the panel (a script, a hot key) redraws the rows concerned of an
// open panel instead of listing every task again; a closed panel lists anew when it opens.
TEST_F(QtApplicationShellTest, AStartOrStopRedrawsItsRowsAndAClosedPanelListsAnewWhenShown) {
    launch();
    ZRCDTask* report = addTask("Write report");
    ZRCDTask* project = addTask("Project");
    ZRCDTask* draft =
        ZRCDTask::createCoreDataTaskImportWithName("Draft", std::nullopt, project, 0, context());
    ASSERT_NE(draft, nullptr);
    ASSERT_TRUE(delegate.saveContext(context()));
    shell.refreshTaskLists();
    TaskPanel* panel = shell.panel();
    ASSERT_TRUE(panel->isVisible());
    const int reportRow = panel->rowNamed(QStringLiteral("Write report"));
    const int projectRow = panel->rowNamed(QStringLiteral("Project"));
    const int draftRow = panel->rowNamed(QStringLiteral("Draft"));
    ASSERT_GE(reportRow, 0);
    ASSERT_GE(projectRow, 0);
    ASSERT_GE(draftRow, 0);

    int resets = 0;
    std::set<int> redrawn;
    QObject::connect(panel->model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(panel->model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         for (int row = from.row(); row <= to.row(); ++row)
                             redrawn.insert(row);
                     });
    const auto running = [&](int row) {
        return panel->rows()[static_cast<std::size_t>(row)].running;
    };

    // The subtask and its parent show the run; the other task is left alone.
    ASSERT_TRUE(delegate.timerController()->toggleTask(draft, true));
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(redrawn, (std::set<int>{projectRow, draftRow}));
    EXPECT_TRUE(running(draftRow));
    EXPECT_TRUE(running(projectRow));
    EXPECT_FALSE(running(reportRow));

    // Closed, the panel is not listed again on a start or a stop...
    panel->hide();
    redrawn.clear();
    ASSERT_TRUE(delegate.timerController()->toggleTask(draft, true));
    ASSERT_TRUE(delegate.timerController()->toggleTask(report, true));
    EXPECT_EQ(resets, 0);
    EXPECT_TRUE(redrawn.empty());
    EXPECT_EQ(runningTaskNames(), std::vector<std::string>{"Write report"});

    // ...but when it opens, with the timers as they are now.
    delegate.togglePanel();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(resets, 1);
    EXPECT_TRUE(running(panel->rowNamed(QStringLiteral("Write report"))));
    EXPECT_FALSE(running(panel->rowNamed(QStringLiteral("Draft"))));
    EXPECT_FALSE(running(panel->rowNamed(QStringLiteral("Project"))));
}

TEST_F(QtApplicationShellTest, AClickOnARowWhoseTaskIsGoneChangesNothing) {
    launch();
    ZRCDTask* task = addTask("Write report");
    const QString uuid = QString::fromStdString(task->uuid().value_or(""));
    context().deleteObject(task);
    ASSERT_TRUE(delegate.saveContext(context()));
    shell.taskClicked(uuid);
    EXPECT_TRUE(runningTaskNames().empty());
}

TEST_F(QtApplicationShellTest, TheAlternateOfARecentTaskRevealsItAndAddsATimingByHand) {
    launch();
    ZRCDTask* report = addTask("Write report");
    addTask("Read mail");
    StackMenuEntry entry;
    entry.kind = StackMenuEntry::Kind::recentTask;
    entry.uuid = report->uuid().value_or("");

    // Chosen without Control: the task's timer starts, no dialog.
    shell.stackMenuEntryChosen(entry, false);
    EXPECT_EQ(runningTaskNames(), std::vector<std::string>{"Write report"});
    EXPECT_EQ(shell.addTimingDialog(), nullptr);
    ASSERT_TRUE(shell.clickTaskNamed("Write report"));  // stopped again
    const std::size_t timingsBefore = report->timings().size();

    // With a search that hides the task, the alternate clears it, selects the row and opens
    // the dialog for the task.
    shell.panel()->searchField()->setText(QStringLiteral("mail"));
    emit shell.panel()->searchField()->textEdited(QStringLiteral("mail"));  // as typing does
    ASSERT_TRUE(runUntil([&] { return shell.taskList()->searchTerm() == "mail"; }));
    shell.stackMenuEntryChosen(entry, true);
    ASSERT_TRUE(runUntil([&] { return shell.addTimingDialog() != nullptr; }));
    AddTimingDialog* dialog = shell.addTimingDialog();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->taskBox()->currentText().endsWith(QStringLiteral("Write report")))
        << dialog->taskBox()->currentText().toStdString();
    EXPECT_TRUE(shell.panel()->searchField()->text().isEmpty());
    const int row = shell.panel()->rowNamed(QStringLiteral("Write report"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(shell.taskList()->selectedRows(), std::vector<int>{row});

    // Adding closes the dialog and the store holds the timing on that task.
    dialog->durationEdit()->setText(QStringLiteral("0:45"));
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(runUntil([&] { return shell.addTimingDialog() == nullptr; }));
    ASSERT_EQ(report->timings().size(), timingsBefore + 1);
    bool found = false;
    for (ZRCDTiming* timing : report->timings())
        if (timing->duration() == 45 * 60.0)
            found = true;
    EXPECT_TRUE(found) << "no 45 minute timing on the task";

    // A task that went away before its entry was chosen opens nothing.
    ZRCDTask* mail = addTask("Old notes");
    StackMenuEntry gone = entry;
    gone.uuid = mail->uuid().value_or("");
    context().deleteObject(mail);
    ASSERT_TRUE(delegate.saveContext(context()));
    shell.stackMenuEntryChosen(gone, true);
    ui_testing::runFor(300);
    EXPECT_EQ(shell.addTimingDialog(), nullptr);
}

// The action titled `title` in one of the window's menus, or nullptr.
QAction* menuAction(QMainWindow& window, const QString& title) {
    for (QAction* top : window.menuBar()->actions())
        if (QMenu* menu = top->menu())
            for (QAction* action : menu->actions())
                if (action->text() == title)
                    return action;
    return nullptr;
}

TEST_F(QtApplicationShellTest, TheMainWindowsFileMenuOpensTheCsvWindows) {
    launch();
    ZRCDTask* task = addTask("Write report");
    const Instant now = Clock::current().now();
    ASSERT_NE(ZRCDTiming::createCoreDataTimingWithStartDate(
                  now - 3600, now - 1800, task, std::nullopt, 0, std::nullopt, context()),
              nullptr);
    ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context());
    ASSERT_TRUE(delegate.saveContext(context()));
    shell.showMainWindow();
    MainWindow* window = shell.mainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(shell.csvWindows(), nullptr);

    QAction* import = menuAction(*window, QStringLiteral("Import CSV…"));
    ASSERT_NE(import, nullptr);
    import->trigger();
    ASSERT_NE(shell.csvWindows()->importWindow(), nullptr);
    EXPECT_TRUE(shell.csvWindows()->importWindow()->isVisible());
    import->trigger();  // the same window again
    EXPECT_EQ(shell.csvWindows()->importWindow()->findChildren<QProgressBar*>().size(), 1);

    QAction* exportTimings = menuAction(*window, QStringLiteral("Export Timings…"));
    ASSERT_NE(exportTimings, nullptr);
    exportTimings->trigger();
    CsvExportSheet* sheet = shell.csvWindows()->exportSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    // The list's entries without the running timing.
    EXPECT_EQ(CsvWindows::exportEntries(window->timedEntries()).size(), 1u);
    EXPECT_TRUE(sheet->preview()->toPlainText().contains(QStringLiteral("Write report")))
        << sheet->preview()->toPlainText().toStdString();
}

TEST_F(QtApplicationShellTest, TrayItemSettingsChangedInThePreferencesReachTheItem) {
    launch();
    addTask("Write report");
    ASSERT_TRUE(shell.clickTaskNamed("Write report"));
    shell.showPreferencesWindow();
    PreferencesWindow* window = shell.preferencesWindow();
    ASSERT_NE(window, nullptr);
    ZRStatusItemView* item = shell.statusItemView();
    ASSERT_NE(item, nullptr);
    auto choose = [&](const char* name, int index) {
        auto* box = window->findChild<QComboBox*>(QString::fromLatin1(name));
        ASSERT_NE(box, nullptr) << name;
        box->setCurrentIndex(index);
        emit box->activated(index);
    };
    auto label = [&] { return item->display().labelText(); };

    choose("ZRStatusIconDuration", 0);  // nothing
    EXPECT_TRUE(item->display().timeText.empty()) << label();
    choose("ZRStatusIconDuration", 2);  // the task today
    EXPECT_FALSE(item->display().timeText.empty());
    EXPECT_NE(label().find(item->display().timeText), std::string::npos) << label();

    choose("ZRStatusIconShowSecondsDuration", 0);  // never
    EXPECT_TRUE(item->display().secondsText.empty());
    choose("ZRStatusIconShowSecondsDuration", 1);  // for a minute: the timer has just started
    EXPECT_FALSE(item->display().secondsText.empty()) << label();

    auto* name = window->findChild<QCheckBox*>(QStringLiteral("ZRShowTaskNameInStatusIcon"));
    ASSERT_NE(name, nullptr);
    name->setChecked(true);
    EXPECT_NE(label().find("Write report"), std::string::npos) << label();
    name->setChecked(false);
    EXPECT_EQ(label().find("Write report"), std::string::npos) << label();
    EXPECT_EQ(item->display().currentTaskName, "Write report") << "the tool tip still names it";
}

TEST_F(QtApplicationShellTest, QuittingWithATimerRunningAsksAndKeepingItQuits) {
    launch();
    addTask("Write report");
    ASSERT_TRUE(shell.clickTaskNamed("Write report"));

    delegate.quitApplication();
    ASSERT_TRUE(runUntil(
        [&] { return shell.timersRunningWindow() && shell.timersRunningWindow()->isVisible(); }));
    EXPECT_EQ(quits, 0) << "the quit waits for the answer";

    QPushButton* keep = nullptr;
    for (QPushButton* button : shell.timersRunningWindow()->findChildren<QPushButton*>()) {
        if (button->text() == "Keep Running")
            keep = button;
    }
    ASSERT_NE(keep, nullptr);
    keep->click();
    ASSERT_TRUE(runUntil([&] { return quits == 1; }));
    EXPECT_FALSE(shell.timersRunningWindow()->isVisible());
    EXPECT_EQ(runningTaskNames(), std::vector<std::string>{"Write report"});
    EXPECT_TRUE(settings.boolForKey("ZRDidQuit"));

    // Further requests after the decision do nothing.
    shell.requestQuit();
    runUntil([] { return false; }, 50);
    EXPECT_EQ(quits, 1);
}

TEST_F(QtApplicationShellTest, TheSyncIndicatorFollowsTheDelegateInThePanelAndTheMainWindow) {
    launch();
    ASSERT_TRUE(shell.panel()->isVisible());
    delegate.setSyncStateTo(1, false);
    EXPECT_EQ(delegate.syncIndicatorState(), 1);
    EXPECT_TRUE(shell.panel()->syncIndicator()->isSpinning());
    // A window opened later shows the state it missed, at once.
    shell.showMainWindow();
    ASSERT_NE(shell.mainWindow(), nullptr);
    EXPECT_TRUE(shell.mainWindow()->syncIndicator()->isSpinning());
    delegate.setSyncStateTo(0, false);
    EXPECT_FALSE(shell.panel()->syncIndicator()->isVisible());
    EXPECT_FALSE(shell.mainWindow()->syncIndicator()->isVisible());
}

TEST_F(QtApplicationShellTest, AQuitGoesOnOnlyOnceTheSyncWaitLetsIt) {
    launch();
    std::function<void()> rest;
    shell.setQuitWait([&](std::function<void()> goOn) { rest = std::move(goOn); });
    delegate.quitApplication();
    ASSERT_TRUE(runUntil([&] { return static_cast<bool>(rest); }));
    runUntil([] { return false; }, 50);
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(settings.boolForKey("ZRDidQuit"));
    rest();
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(settings.boolForKey("ZRDidQuit"));
}

// The panel of the shell, launched: it is a window, open from the start.
class TaskPanelTest : public ::testing::Test, protected ui_testing::ShellWorld {
protected:
    TaskPanelTest() { launch(); }

    TaskPanel& panel() { return *shell.panel(); }
    MenuBarTaskList& list() { return *shell.taskList(); }

    void addTasks(std::initializer_list<const char*> names) {
        for (const char* name : names)
            ZRCDTask::createCoreDataTaskWithName(name, true, context());
        shell.refreshTaskLists();
    }
    QStringList shownNames() {
        QStringList names;
        TaskListItemModel* model = panel().model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row).data().toString();
        return names;
    }
    void press(QObject* target, int key, const QString& text = {},
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &event);
    }
    int selectedRow() { return panel().view()->currentIndex().row(); }
    std::size_t runningCount() { return ZRCDTiming::getRunningTimings_inContext(context()).size(); }
};

TEST_F(TaskPanelTest, ShowsTheRowsOfTheListWithTheirTotals) {
    ASSERT_NE(shell.taskList(), nullptr);
    addTasks({"Write report", "Read mail"});
    EXPECT_EQ(shownNames(), (QStringList{"Read mail", "Write report"}));
    TaskListItemModel* model = panel().model();
    for (int row = 0; row < 2; ++row) {
        const MenuBarTaskRow& listed = list().rows()[static_cast<std::size_t>(row)];
        const QModelIndex index = model->index(row);
        EXPECT_EQ(index.data(TaskListItemModel::UuidRole).toString().toStdString(), listed.uuid);
        EXPECT_EQ(index.data(TaskListItemModel::PeriodTotalRole).toString(), "0h 0m");
        EXPECT_EQ(index.data(TaskListItemModel::RunningRole).toBool(), false);
    }
    ASSERT_TRUE(panel().activateRowNamed("Write report"));
    EXPECT_TRUE(panel().model()->index(1).data(TaskListItemModel::RunningRole).toBool());
    EXPECT_EQ(runningCount(), 1u);
}

TEST_F(TaskPanelTest, ArrowsSelectReturnTogglesTypingSearchesAndEscapeCloses) {
    addTasks({"Write report", "Read mail", "Call Bob"});
    ASSERT_TRUE(panel().isVisible());
    QLineEdit* search = panel().searchField();
    press(search, Qt::Key_Down);
    EXPECT_EQ(selectedRow(), 0);
    press(panel().view(), Qt::Key_Down);
    EXPECT_EQ(selectedRow(), 1);
    press(panel().view(), Qt::Key_Return);
    EXPECT_EQ(runningCount(), 1u);
    EXPECT_EQ(ZRCDTiming::getRunningTimings_inContext(context()).front()->task()->taskName(),
              "Read mail");
    press(panel().view(), Qt::Key_Return);
    EXPECT_EQ(runningCount(), 0u);

    // Two rows selected: the toggle key is refused.
    panel().view()->selectAll();
    press(panel().view(), Qt::Key_Return);
    EXPECT_EQ(runningCount(), 0u);

    press(panel().view(), Qt::Key_W, "w");
    EXPECT_EQ(search->text(), "w");
    ASSERT_TRUE(runUntil([&] { return shownNames() == QStringList{"Write report"}; }));

    press(search, Qt::Key_Escape);
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(TaskPanelTest, AddRenameInPlaceAndUndo) {
    addTasks({"Read mail"});
    ASSERT_TRUE(panel().addTask());
    EXPECT_TRUE(panel().isEditing());
    ASSERT_TRUE(panel().commitNameEditor("Write report"));
    EXPECT_EQ(shownNames(), (QStringList{"Write report", "Read mail"}));

    ASSERT_TRUE(panel().addSubtask(0));
    ASSERT_TRUE(panel().commitNameEditor("Draft"));
    EXPECT_EQ(shownNames(), (QStringList{"Write report", "Draft", "Read mail"}));
    EXPECT_EQ(panel().model()->index(1).data(TaskListItemModel::TierRole).toInt(), 1);

    ASSERT_TRUE(panel().startRenaming(1));
    ASSERT_TRUE(panel().commitNameEditor("Outline"));
    EXPECT_EQ(shownNames(), (QStringList{"Write report", "Outline", "Read mail"}));

    ASSERT_TRUE(panel().undo());
    EXPECT_EQ(shownNames(), (QStringList{"Write report", "Draft", "Read mail"}));
    ASSERT_TRUE(panel().redo());
    EXPECT_EQ(shownNames(), (QStringList{"Write report", "Outline", "Read mail"}));
}

TEST_F(TaskPanelTest, ClicksOnTheTimerControlAndTheTotalsOfARow) {
    addTasks({"Write report", "Read mail"});
    panel().view()->resize(400, 300);
    QApplication::processEvents();
    auto clickAt = [&](int row, auto area) {
        const QRect rect = panel().view()->visualRect(panel().model()->index(row));
        const QPoint at = area(TaskRowDelegate::areas(rect, 0)).center();
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at),
                            panel().view()->viewport()->mapToGlobal(QPointF(at)), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(panel().view()->viewport(), &release);
    };
    using Areas = TaskRowDelegate::Areas;
    clickAt(1, [](const Areas& a) { return a.timer; });
    EXPECT_EQ(runningCount(), 1u);
    for (int expected : {1, 2, 3, 0}) {
        clickAt(0, [](const Areas& a) { return a.periodTotal; });
        EXPECT_EQ(settings.integerForKey("ZRMenuBarCustomDuration"), expected);
    }
    clickAt(1, [](const Areas& a) { return a.timer; });
    EXPECT_EQ(runningCount(), 0u);
}

TEST_F(TaskPanelTest, DragsBetweenRowsAndOntoRowsReachTheEditor) {
    addTasks({"C", "B", "A"});
    TaskListItemModel* model = panel().model();
    std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(2)}));
    ASSERT_NE(dragged, nullptr);
    EXPECT_FALSE(model->canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model->index(2)));
    EXPECT_TRUE(model->canDropMimeData(dragged.get(), Qt::MoveAction, 0, 0, QModelIndex()));
    // The view must not remove the row itself: the list rearranges.
    EXPECT_FALSE(model->dropMimeData(dragged.get(), Qt::MoveAction, 0, 0, QModelIndex()));
    ASSERT_TRUE(runUntil([&] { return shownNames() == QStringList{"C", "A", "B"}; }));

    dragged.reset(model->mimeData({model->index(2)}));
    EXPECT_TRUE(model->canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model->index(0)));
    model->dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model->index(0));
    ASSERT_TRUE(runUntil([&] { return shownNames() == QStringList{"C", "B", "A"}; }));
    EXPECT_EQ(model->index(1).data(TaskListItemModel::TierRole).toInt(), 1);
}

TEST_F(TaskPanelTest, TheContextMenuOffersTheEditingActions) {
    addTasks({"Read mail"});
    std::unique_ptr<QMenu> menu = panel().contextMenuForRow(0);
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            texts << action->text() + (action->isEnabled() ? "" : " (off)");
    EXPECT_EQ(texts,
              (QStringList{"Add Subtask", "Rename", "Edit...", "Archive", "Archive Subtasks (off)",
                           "Unarchive Subtasks (off)", "Delete", "Delete Keeping Subtasks (off)"}));
    EXPECT_EQ(panel().contextMenuForRow(5), nullptr);
    // Archive through the menu: the row leaves the list.
    menu->actions()[4]->trigger();
    EXPECT_TRUE(shownNames().isEmpty());
}

}  // namespace
}  // namespace ravelong

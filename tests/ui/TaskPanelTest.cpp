#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include "app/AppDelegate.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "foundation/Version.h"
#include "menubar/MenuBarTaskList.h"
#include "support/FixedDeviceIdentity.h"
#include "support/TestSupport.h"
#include "ui/QtApplicationShell.h"
#include "ui/QtMainLoop.h"
#include "ui/TaskListItemModel.h"
#include "ui/TaskPanel.h"
#include "ui/TaskRowDelegate.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::runUntil;

// The panel of the real shell and application delegate on a store in a temporary folder. The
// offscreen platform has no tray, so the panel is a window, open from the start.
class TaskPanelTest : public ::testing::Test {
protected:
    TaskPanelTest() {
        NotificationCenter::setDefaultCenter(&center);
        shell.setDelegate(&delegate);
        shell.installTray();
        EXPECT_TRUE(delegate.applicationDidFinishLaunching());
        shell.launchFinished();
    }
    ~TaskPanelTest() override { NotificationCenter::setDefaultCenter(nullptr); }

    ManagedObjectContext& context() { return delegate.managedObjectContext(); }
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

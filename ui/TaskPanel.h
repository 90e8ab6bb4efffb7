#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "menubar/MenuBarTaskRow.h"
#include "ui/TaskPanelRows.h"

class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;

namespace ravelong {

class SyncIndicator;

class MenuBarTaskEditor;
class MenuBarTaskList;
class TaskListItemModel;
class TaskRowDelegate;
class ZRCDTask;

// The task list that drops down from the tray item: a search field, the rows of a
// MenuBarTaskList (name, colour, period total, total ever, timer control, disclosure arrows) and
// an add-task control at the bottom. A click on a row's timer control starts or stops its timer,
// on its arrow folds or unfolds its subtasks, on its totals (or the heading above them) steps the
// period; a double click on the name renames the task in place. Keys: arrows move, Return
// toggles the selected task's timer, typing goes to the search field, Escape closes, Ctrl+Z and
// Ctrl+Shift+Z undo and redo. The context menu holds the editing actions; rows are dragged
// between rows (rearrange) or onto rows (make a subtask; with one modifier key: merge).
//
// As a popup it closes when the user clicks elsewhere; on a desktop without a tray it is an
// ordinary window instead. Until setTaskList the panel is empty. Main thread only.
class TaskPanel final : public QWidget {
    Q_OBJECT

public:
    enum class Kind { popup, window };

    explicit TaskPanel(Kind kind, QWidget* parent = nullptr);
    ~TaskPanel() override;

    Kind kind() const { return kind_; }
    // The list and editor to show and drive; both must outlive the panel (or a later call).
    void setTaskList(MenuBarTaskList* list, MenuBarTaskEditor* editor);
    const std::vector<MenuBarTaskRow>& rows() const;

    // The text the main window's simple list shows for a row.
    static QString rowText(const TaskPanelRow& row);

    // Shows the popup just below (or above, near the bottom of the screen) `anchor`, within the
    // screen; an empty anchor places it at the mouse pointer.
    void showAt(const QRect& anchor);

    // What a click on the timer control of the row with that task name does; false when no row
    // has that name.
    bool activateRowNamed(const QString& name);
    // The row of the first task with that name, or -1.
    int rowNamed(const QString& name) const;

    // The actions the controls reach. Each returns whether it did something.
    bool addTask();               // then the new row's name is edited
    bool addSubtask(int row);     // then the new row's name is edited
    bool editTask(int row);       // the edit sheet
    bool startRenaming(int row);  // the name editor on the row, as a double click opens it
    bool undo();
    bool redo();
    // Types `name` into the open name editor and commits it, as Return would; false without one.
    bool commitNameEditor(const QString& name);

    // Whether a name is being edited in place.
    bool isEditing() const { return editing_; }
    QListView* view() const { return view_; }
    QLineEdit* searchField() const { return search_; }
    QPushButton* addButton() const { return add_; }
    SyncIndicator* syncIndicator() const { return syncIndicator_; }
    TaskListItemModel* model() const { return model_.get(); }
    // The context menu of a row (built afresh), for tests and the right click.
    std::unique_ptr<QMenu> contextMenuForRow(int row);

signals:
    void shown();
    // A tray menu entry asked to show a task while the panel is closed.
    void openRequested();
    // The tray menu's alternate entry for a recent task revealed its row: a timing is to be
    // added to it by hand.
    void addTimingRequested(ravelong::ZRCDTask* task);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(QKeyEvent* event, bool fromSearchField);
    bool handleRowClick(const QPoint& position);
    void selectRow(int row);
    int currentRow() const;
    void syncSelection();
    void updateHeading();
    void saveAfterUndo();

    Kind kind_;
    MenuBarTaskList* list_ = nullptr;
    MenuBarTaskEditor* editor_ = nullptr;
    std::unique_ptr<TaskListItemModel> model_;
    TaskRowDelegate* delegate_;
    QLineEdit* search_;
    QLabel* periodHeading_;
    QLabel* totalHeading_;
    QListView* view_;
    QPushButton* add_;
    SyncIndicator* syncIndicator_ = nullptr;
    bool editing_ = false;
};

}  // namespace ravelong

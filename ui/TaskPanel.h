#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "ui/TaskPanelRows.h"

class QListWidget;
class QListWidgetItem;

namespace ravelong {

// The task list that drops down from the tray item: one row per task, indented by tier, the
// running ones marked "▶" and bold. A click on a task without subtasks emits taskClicked with
// its uuid; headings do nothing. As a popup it closes when the user clicks elsewhere; on a
// desktop without a tray it is an ordinary window instead. Main thread only.
class TaskPanel final : public QWidget {
    Q_OBJECT

public:
    enum class Kind { popup, window };

    explicit TaskPanel(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    void setRows(std::vector<TaskPanelRow> rows);
    const std::vector<TaskPanelRow>& rows() const { return rows_; }
    // The text a row shows.
    static QString rowText(const TaskPanelRow& row);

    // Shows the popup just below (or above, near the bottom of the screen) `anchor`, within the
    // screen; an empty anchor places it at the mouse pointer.
    void showAt(const QRect& anchor);

    // What a click on the row does (the same slot); false when no row has that task name.
    bool activateRowNamed(const QString& name);

signals:
    void taskClicked(const QString& uuid);
    void shown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rowActivated(int row);

    Kind kind_;
    QListWidget* list_;
    std::vector<TaskPanelRow> rows_;
};

}  // namespace ravelong

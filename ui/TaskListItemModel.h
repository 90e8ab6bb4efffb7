#pragma once

#include <QAbstractListModel>

namespace ravelong {

class MenuBarTaskEditor;
class MenuBarTaskList;

// The Qt face of a MenuBarTaskList: one item per row. Display and edit role: the task name
// (editing renames the task). The other roles carry the rest of a row for the delegate. Rows can
// be dragged (their row number travels as kRowMimeType) and dropped between rows or onto rows;
// the drop goes to the editor, with the keyboard modifiers held at that moment. The list and the
// editor must outlive the model, which becomes the list's listener. Main thread only.
class TaskListItemModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        UuidRole = Qt::UserRole + 1,
        DescriptionRole,
        ColorRole,  // QColor
        TierRole,
        DisclosureRole,  // int of MenuBarTaskRow::Disclosure
        LeafRole,
        RunningRole,
        PeriodTotalRole,  // text
        TotalEverRole,    // text
    };
    static constexpr const char* kRowMimeType = "application/x-ravelong-task-row";

    TaskListItemModel(MenuBarTaskList& list, MenuBarTaskEditor& editor, QObject* parent = nullptr);

    MenuBarTaskList& list() const { return list_; }

    // While a name is edited a reset would close the editor: resets wait until hold is released
    // (rows changed meanwhile are still shown; the row count stays as it was).
    void setHoldResets(bool hold);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // The editor's modifier keys for Qt's modifiers.
    static unsigned modifierKeys(Qt::KeyboardModifiers modifiers);

signals:
    // The list asked to show a row (a tray menu entry): the panel opens and selects it.
    void rowRevealed(int row);

private:
    void reset();

    MenuBarTaskList& list_;
    MenuBarTaskEditor& editor_;
    int shownRows_ = 0;
    bool holdResets_ = false;
    bool resetPending_ = false;
};

}  // namespace ravelong

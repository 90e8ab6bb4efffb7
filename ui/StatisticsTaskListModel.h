#pragma once

#include <QAbstractListModel>

namespace ravelong {

class StatisticsTaskList;

// The statistics task list as rows with three-state check marks. Checking a row is a click on
// its mark, with the keyboard modifiers held at that moment.
class StatisticsTaskListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit StatisticsTaskListModel(StatisticsTaskList& list, QObject* parent = nullptr);

    // Call after the list changed its rows.
    void listChanged();
    StatisticsTaskList& list() const { return list_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Dragging a row: onto another row it becomes its child, or with exactly one modifier key
    // held is merged into it (after a question); between rows it moves there.
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    // The drop of row `dragged` onto row `target` with the modifier keys, as a drop does it.
    bool dropRowOnRow(int dragged, int target, unsigned modifierKeys);

private:
    StatisticsTaskList& list_;
};

// The modifier bits the task lists and the range chooser take, from Qt's.
unsigned modifierKeysOf(Qt::KeyboardModifiers modifiers);

}  // namespace ravelong

#pragma once

#include <QAbstractTableModel>

namespace ravelong {

class TimedEntriesList;
class TimedEntryEditor;

// The timed entries list as a table: date, start, end, duration, task and note. Cells are asked
// of the list row by row when the view draws them, so a list of many thousand rows fills at
// once. Start, end, duration and note of a plain (not compact) row can be edited in place; each
// edit goes through the editor as one undo step, and a refused edit changes nothing and emits
// editRefused with the editor's description.
class TimedEntriesTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { kDate, kStart, kEnd, kDuration, kTask, kNote, kColumnCount };

    TimedEntriesTableModel(TimedEntriesList& list, TimedEntryEditor& editor,
                           QObject* parent = nullptr);

    // Call after the list changed its rows.
    void listChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void editRefused(const QString& message);

private:
    TimedEntriesList& list_;
    TimedEntryEditor& editor_;
};

}  // namespace ravelong

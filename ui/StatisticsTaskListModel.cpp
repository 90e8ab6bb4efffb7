#include "ui/StatisticsTaskListModel.h"

#include <QFont>
#include <QGuiApplication>

#include "core/model/ZRCDTask.h"
#include "core/tree/TaskTreeEditor.h"
#include "menubar/StatisticsTaskList.h"
#include "ui/QtText.h"

namespace ravelong {

unsigned modifierKeysOf(Qt::KeyboardModifiers modifiers) {
    unsigned keys = 0;
    if (modifiers & Qt::ShiftModifier)
        keys |= TaskTreeEditor::kShiftKey;
    if (modifiers & Qt::ControlModifier)
        keys |= TaskTreeEditor::kControlKey;
    if (modifiers & Qt::AltModifier)
        keys |= TaskTreeEditor::kOptionKey;
    if (modifiers & Qt::MetaModifier)
        keys |= TaskTreeEditor::kCommandKey;
    return keys;
}

StatisticsTaskListModel::StatisticsTaskListModel(StatisticsTaskList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list) {}

void StatisticsTaskListModel::listChanged() {
    beginResetModel();
    endResetModel();
}

int StatisticsTaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.rowCount());
}

QVariant StatisticsTaskListModel::data(const QModelIndex& index, int role) const {
    const auto row = static_cast<std::size_t>(index.row());
    const ZRCDTask* task = index.isValid() ? list_.taskAtRow(row) : nullptr;
    if (!task)
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return qt(task->taskName().value_or(std::string()));
        case Qt::ToolTipRole:
            return qt(task->getFullTaskName());
        case Qt::CheckStateRole:
            switch (list_.markOfRow(row)) {
                case StatisticsTaskList::Mark::checked:
                    return Qt::Checked;
                case StatisticsTaskList::Mark::partlyChecked:
                    return Qt::PartiallyChecked;
                default:
                    return Qt::Unchecked;
            }
        case Qt::FontRole:
            if (list_.rowIsHighlighted(row)) {
                QFont font;
                font.setBold(true);
                return font;
            }
            return {};
        default:
            return {};
    }
}

Qt::ItemFlags StatisticsTaskListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractListModel::flags(index);
    if (index.isValid())
        result |= Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    return result;
}

bool StatisticsTaskListModel::setData(const QModelIndex& index, const QVariant&, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole)
        return false;
    // The list decides the new marks (a click may check a whole range); the view only reports it.
    list_.toggleSelectionOfTaskAtRowIndex(static_cast<std::size_t>(index.row()),
                                          modifierKeysOf(QGuiApplication::keyboardModifiers()));
    emit dataChanged(this->index(0), this->index(rowCount() - 1));
    return true;
}

}  // namespace ravelong

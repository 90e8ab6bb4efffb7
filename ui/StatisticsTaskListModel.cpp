#include "ui/StatisticsTaskListModel.h"

#include <QFont>
#include <QGuiApplication>
#include <QMimeData>

#include "app/AppStrings.h"
#include "core/model/ZRCDTask.h"
#include "core/tree/TaskTreeEditor.h"
#include "foundation/AlertPresenter.h"
#include "menubar/StatisticsTaskList.h"
#include "menubar/TaskListTexts.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {
const QString kRowMimeType = QStringLiteral("application/x-ravelong-statistics-row");
}  // namespace

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

QStringList StatisticsTaskListModel::mimeTypes() const {
    return {kRowMimeType};
}

QMimeData* StatisticsTaskListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.size() != 1 || !indexes.front().isValid())
        return nullptr;
    auto* data = new QMimeData;
    data->setData(kRowMimeType, QByteArray::number(indexes.front().row()));
    return data;
}

bool StatisticsTaskListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                           int, const QModelIndex& parent) {
    if (!data || action != Qt::MoveAction || !data->hasFormat(kRowMimeType))
        return false;
    bool ok = false;
    const int dragged = data->data(kRowMimeType).toInt(&ok);
    if (!ok || dragged < 0 || dragged >= rowCount())
        return false;
    if (parent.isValid())
        return dropRowOnRow(dragged, parent.row(),
                            modifierKeysOf(QGuiApplication::keyboardModifiers()));
    const int before = row < 0 ? rowCount() : row;
    // The list moves the task itself; Qt must not remove the dragged row afterwards.
    list_.dropRowBetweenRows(static_cast<std::size_t>(dragged), before);
    return false;
}

bool StatisticsTaskListModel::dropRowOnRow(int dragged, int target, unsigned modifierKeys) {
    ZRCDTask* draggedTask = list_.taskAtRow(static_cast<std::size_t>(dragged));
    ZRCDTask* targetTask = list_.taskAtRow(static_cast<std::size_t>(target));
    if (!draggedTask || !targetTask || dragged == target)
        return false;
    const unsigned keys = modifierKeys & (TaskTreeEditor::kShiftKey | TaskTreeEditor::kControlKey |
                                          TaskTreeEditor::kOptionKey | TaskTreeEditor::kCommandKey);
    if (keys != 0 && (keys & (keys - 1)) == 0) {
        // A merge deletes the dragged task: ask first, a stray modifier key is easy to hold.
        Alert alert;
        alert.messageText = formatText(kMergeTasksQuestion, {draggedTask->taskName().value_or(""),
                                                             targetTask->taskName().value_or("")});
        alert.informativeText = std::string(kMergeTasksInformative);
        alert.buttons = {std::string(kMergeButton), std::string(kMergeCancelButton)};
        if (AlertPresenter::current().runModal(alert).buttonIndex != 0)
            return false;
    }
    return list_.dropRowOnRow(static_cast<std::size_t>(dragged), static_cast<std::size_t>(target),
                              modifierKeys) != TaskTreeEditor::DropResult::refused;
}

}  // namespace ravelong

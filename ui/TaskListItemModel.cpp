#include "ui/TaskListItemModel.h"

#include <QColor>
#include <QGuiApplication>
#include <QMimeData>

#include "core/tree/TaskTreeEditor.h"
#include "menubar/MenuBarTaskEditor.h"
#include "menubar/MenuBarTaskList.h"

namespace ravelong {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

// The row a drag carries, or -1.
int draggedRow(const QMimeData* data) {
    if (!data || !data->hasFormat(TaskListItemModel::kRowMimeType))
        return -1;
    bool ok = false;
    const int row = data->data(TaskListItemModel::kRowMimeType).toInt(&ok);
    return ok ? row : -1;
}

}  // namespace

TaskListItemModel::TaskListItemModel(MenuBarTaskList& list, MenuBarTaskEditor& editor,
                                     QObject* parent)
    : QAbstractListModel(parent), list_(list), editor_(editor) {
    MenuBarTaskList::Listener listener;
    listener.listReloaded = [this] { reset(); };
    listener.rowsChanged = [this](const std::vector<int>& rows) {
        for (int row : rows)
            if (row < shownRows_)
                emit dataChanged(index(row), index(row));
    };
    listener.rowRevealed = [this](int row) { emit rowRevealed(row); };
    list_.setListener(std::move(listener));
    shownRows_ = list_.rowCount();
}

void TaskListItemModel::reset() {
    if (holdResets_) {
        resetPending_ = true;
        return;
    }
    beginResetModel();
    shownRows_ = list_.rowCount();
    resetPending_ = false;
    endResetModel();
}

void TaskListItemModel::setHoldResets(bool hold) {
    holdResets_ = hold;
    if (!hold && resetPending_)
        reset();
}

int TaskListItemModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

QVariant TaskListItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.rowCount())
        return {};
    const MenuBarTaskRow& row = list_.rows()[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return text(row.name);
        case Qt::ToolTipRole:
            return row.description.empty() ? QVariant() : QVariant(text(row.description));
        case UuidRole:
            return text(row.uuid);
        case DescriptionRole:
            return text(row.description);
        case ColorRole:
            return QColor::fromRgbF(static_cast<float>(row.color.red),
                                    static_cast<float>(row.color.green),
                                    static_cast<float>(row.color.blue));
        case TierRole:
            return row.tier;
        case DisclosureRole:
            return static_cast<int>(row.disclosure);
        case LeafRole:
            return row.leaf;
        case RunningRole:
            return row.running;
        case PeriodTotalRole:
            return text(row.periodTotalText);
        case TotalEverRole:
            return text(row.totalEverText);
        default:
            return {};
    }
}

bool TaskListItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid())
        return false;
    return editor_.renameRow(index.row(), value.toString().toStdString());
}

Qt::ItemFlags TaskListItemModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled;
}

Qt::DropActions TaskListItemModel::supportedDropActions() const {
    return Qt::MoveAction;
}

Qt::DropActions TaskListItemModel::supportedDragActions() const {
    return Qt::MoveAction;
}

QStringList TaskListItemModel::mimeTypes() const {
    return {QString::fromLatin1(kRowMimeType)};
}

QMimeData* TaskListItemModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.size() != 1)
        return nullptr;  // one task is dragged at a time
    auto* data = new QMimeData;
    data->setData(kRowMimeType, QByteArray::number(indexes.front().row()));
    return data;
}

unsigned TaskListItemModel::modifierKeys(Qt::KeyboardModifiers modifiers) {
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

bool TaskListItemModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                        const QModelIndex& parent) const {
    const int dragged = draggedRow(data);
    if (dragged < 0)
        return false;
    if (parent.isValid())
        return editor_.dropActionOnRow(dragged, parent.row(),
                                       modifierKeys(QGuiApplication::keyboardModifiers())) !=
               MenuBarTaskEditor::DropAction::refused;
    return row >= -1 && row <= list_.rowCount();
}

bool TaskListItemModel::dropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                     const QModelIndex& parent) {
    const int dragged = draggedRow(data);
    if (dragged < 0)
        return false;
    // The work happens after the drag has ended: the editor may ask a question, and the list it
    // reloads must not change under the view's drag.
    const unsigned keys = modifierKeys(QGuiApplication::keyboardModifiers());
    const int target = parent.isValid() ? parent.row() : -1;
    const int before = row < 0 ? list_.rowCount() : row;
    QMetaObject::invokeMethod(
        this,
        [this, dragged, target, before, keys] {
            if (target >= 0)
                editor_.dropRowOnRow(dragged, target, keys);
            else
                editor_.dropRowBetweenRows(dragged, before);
        },
        Qt::QueuedConnection);
    // Not a move the view should carry out: the list rearranges itself.
    return false;
}

}  // namespace ravelong

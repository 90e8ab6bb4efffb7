#include "ui/TaskPanel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/PreferenceKeys.h"
#include "core/chain/TaskTree.h"
#include "core/model/ZRCDTask.h"
#include "core/services/ApplicationDelegate.h"
#include "foundation/UserDefaults.h"
#include "menubar/MenuBarTaskEditor.h"
#include "menubar/MenuBarTaskList.h"
#include "store/ZRUndoManager.h"
#include "ui/QtText.h"
#include "ui/SyncIndicator.h"
#include "ui/TaskEditDialog.h"
#include "ui/TaskListItemModel.h"
#include "ui/TaskRowDelegate.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

constexpr int kIndentPerTier = 3;  // blanks, in the main window's simple list
constexpr int kPanelWidth = 400;
constexpr int kPanelHeight = 440;
constexpr int kTotalColumn = 64;

const std::vector<MenuBarTaskRow>& noRows() {
    static const std::vector<MenuBarTaskRow> empty;
    return empty;
}

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

}  // namespace

TaskPanel::TaskPanel(Kind kind, QWidget* parent)
    : QWidget(parent, kind == Kind::popup ? Qt::Popup : Qt::Window),
      kind_(kind),
      delegate_(new TaskRowDelegate(this)),
      search_(new QLineEdit(this)),
      periodHeading_(new QLabel(this)),
      totalHeading_(new QLabel(text(ui_texts::kTotalEverHeading), this)),
      view_(new QListView(this)),
      add_(new QPushButton(QStringLiteral("+ ") + text(ui_texts::kAddTask), this)) {
    setObjectName(QStringLiteral("taskPanel"));
    setWindowTitle(qt(ui_texts::kApplicationName));
    search_->setObjectName(QStringLiteral("taskSearch"));
    search_->setPlaceholderText(text(ui_texts::kSearchPlaceholder));
    search_->setClearButtonEnabled(true);
    view_->setObjectName(QStringLiteral("taskList"));
    view_->setItemDelegate(delegate_);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    view_->setDragDropMode(QAbstractItemView::DragDrop);
    view_->setDefaultDropAction(Qt::MoveAction);
    view_->setDropIndicatorShown(true);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    add_->setObjectName(QStringLiteral("addTaskButton"));
    add_->setFlat(true);

    auto* heading = new QHBoxLayout;
    heading->setContentsMargins(0, 0, 0, 0);
    heading->addStretch(1);
    for (QLabel* label : {periodHeading_, totalHeading_}) {
        label->setFixedWidth(kTotalColumn);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setEnabled(false);
        heading->addWidget(label);
    }
    heading->addSpacing(32);
    periodHeading_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(search_);
    layout->addLayout(heading);
    layout->addWidget(view_, 1);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(0, 0, 0, 0);
    footer->addWidget(add_, 0, Qt::AlignLeft);
    footer->addStretch(1);
    syncIndicator_ = new SyncIndicator(this);
    footer->addWidget(syncIndicator_);
    footer->addSpacing(4);
    layout->addLayout(footer);

    search_->installEventFilter(this);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    connect(search_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        if (list_)
            list_->setSearchTerm(typed.toStdString());
    });
    // The clear button and programmatic clears.
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& now) {
        if (list_ && now.isEmpty() && list_->searchActive())
            list_->clearSearchTerm();
    });
    connect(add_, &QPushButton::clicked, this, [this] { addTask(); });
    connect(view_, &QListView::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = view_->indexAt(at);
        if (!index.isValid())
            return;
        if (std::unique_ptr<QMenu> menu = contextMenuForRow(index.row()))
            menu->exec(view_->viewport()->mapToGlobal(at));
    });
    auto* undoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    undoKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(undoKey, &QShortcut::activated, this, [this] { undo(); });
    auto* redoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
    redoKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(redoKey, &QShortcut::activated, this, [this] { redo(); });
    connect(delegate_, &TaskRowDelegate::editingStarted, this, [this] {
        editing_ = true;
        if (model_)
            model_->setHoldResets(true);
    });
    connect(delegate_, &QAbstractItemDelegate::closeEditor, this, [this] {
        editing_ = false;
        if (model_)
            model_->setHoldResets(false);
    });

    resize(kPanelWidth, kPanelHeight);
}

TaskPanel::~TaskPanel() {
    // The view must not reach the model while both go.
    view_->setModel(nullptr);
}

void TaskPanel::setTaskList(MenuBarTaskList* list, MenuBarTaskEditor* editor) {
    view_->setModel(nullptr);
    model_.reset();
    list_ = list;
    editor_ = editor;
    if (!list_ || !editor_)
        return;
    model_ = std::make_unique<TaskListItemModel>(*list_, *editor_);
    view_->setModel(model_.get());
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TaskPanel::syncSelection);
    connect(model_.get(), &QAbstractItemModel::modelReset, this, [this] {
        // The list keeps the selection across a reload; the view shows it again.
        const std::vector<int> rows = list_->selectedRows();
        QItemSelection selection;
        for (int row : rows)
            selection.select(model_->index(row), model_->index(row));
        view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        if (!rows.empty())
            view_->selectionModel()->setCurrentIndex(model_->index(rows.front()),
                                                     QItemSelectionModel::NoUpdate);
        updateHeading();
    });
    connect(model_.get(), &QAbstractItemModel::dataChanged, this, [this] { updateHeading(); });
    connect(model_.get(), &TaskListItemModel::rowRevealed, this, [this](int row) {
        if (!isVisible())
            emit openRequested();
        search_->clear();
        selectRow(row);
        if (ZRCDTask* task = list_ ? list_->taskAtRow(row) : nullptr)
            emit addTimingRequested(task);
    });
    delegate_->setShowDescriptions(
        UserDefaults::standard().boolForKey(kZRShowTaskDescriptionUnderTaskName));
    list_->setPanelWidth(width());
    search_->setText(QString::fromStdString(list_->searchTerm()));
    updateHeading();
}

const std::vector<MenuBarTaskRow>& TaskPanel::rows() const {
    return list_ ? list_->rows() : noRows();
}

QString TaskPanel::rowText(const TaskPanelRow& row) {
    QString result(row.tier * kIndentPerTier, QLatin1Char(' '));
    result += row.running ? QStringLiteral("▶ ") : QStringLiteral("   ");
    result += QString::fromStdString(row.name);
    return result;
}

void TaskPanel::updateHeading() {
    if (list_)
        periodHeading_->setText(text(menu_bar_period::label(list_->period())));
    delegate_->setShowDescriptions(
        UserDefaults::standard().boolForKey(kZRShowTaskDescriptionUnderTaskName));
}

int TaskPanel::rowNamed(const QString& name) const {
    const std::string wanted = name.toStdString();
    const std::vector<MenuBarTaskRow>& all = rows();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].name == wanted)
            return static_cast<int>(i);
    return -1;
}

bool TaskPanel::activateRowNamed(const QString& name) {
    const int row = rowNamed(name);
    if (row < 0 || !list_)
        return false;
    list_->toggleTimerOfRow(row);
    return true;
}

int TaskPanel::currentRow() const {
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TaskPanel::selectRow(int row) {
    if (!model_ || row < 0 || row >= model_->rowCount())
        return;
    const QModelIndex index = model_->index(row);
    view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view_->scrollTo(index);
}

void TaskPanel::syncSelection() {
    if (!list_ || !view_->selectionModel())
        return;
    std::vector<int> rows;
    for (const QModelIndex& index : view_->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    list_->setSelectedRows(std::move(rows));
}

// --- Actions ---

bool TaskPanel::addTask() {
    if (!editor_)
        return false;
    search_->clear();
    const int row = editor_->addTask();
    if (row < 0)
        return false;
    selectRow(row);
    view_->edit(model_->index(row));
    return true;
}

bool TaskPanel::addSubtask(int row) {
    if (!editor_)
        return false;
    const int added = editor_->addSubtaskToRow(row);
    if (added < 0)
        return false;
    selectRow(added);
    view_->edit(model_->index(added));
    return true;
}

bool TaskPanel::startRenaming(int row) {
    if (!model_ || row < 0 || row >= model_->rowCount())
        return false;
    selectRow(row);
    view_->edit(model_->index(row));
    return editing_;
}

bool TaskPanel::commitNameEditor(const QString& name) {
    auto* editor = qobject_cast<QLineEdit*>(view_->indexWidget(view_->currentIndex()));
    if (!editor)
        return false;
    editor->setText(name);
    emit delegate_->commitData(editor);
    emit delegate_->closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

bool TaskPanel::editTask(int row) {
    if (!list_ || !editor_)
        return false;
    ZRCDTask* task = list_->taskAtRow(row);
    if (!task)
        return false;
    const std::string uuid = task->uuid().value_or("");
    // A window of its own: a popup panel closes when another window takes the focus.
    TaskEditDialog dialog(MenuBarTaskEditor::valuesOf(*task));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // The task may have gone while the sheet was open.
    ZRCDTask* edited = ZRCDTask::getCoreDataTaskWithUUID(uuid, list_->context());
    return edited && editor_->editTask(edited, dialog.values());
}

bool TaskPanel::undo() {
    ZRUndoManager* undoManager = list_ ? list_->context().undoManager() : nullptr;
    if (!undoManager || !undoManager->canUndo()) {
        if (list_)
            list_->refuse();
        return false;
    }
    undoManager->undo();
    saveAfterUndo();
    return true;
}

bool TaskPanel::redo() {
    ZRUndoManager* undoManager = list_ ? list_->context().undoManager() : nullptr;
    if (!undoManager || !undoManager->canRedo()) {
        if (list_)
            list_->refuse();
        return false;
    }
    undoManager->redo();
    saveAfterUndo();
    return true;
}

void TaskPanel::saveAfterUndo() {
    list_->context().processPendingChanges();
    (void)list_->delegate().saveContext(list_->context());
    list_->reload();
}

std::unique_ptr<QMenu> TaskPanel::contextMenuForRow(int row) {
    if (!list_ || !editor_)
        return nullptr;
    ZRCDTask* task = list_->taskAtRow(row);
    if (!task)
        return nullptr;
    const bool hasChildren = !task->childTasks().empty();
    bool archivedDescendant = false;
    for (const ZRCDTask* descendant : task_tree::descendants(task))
        archivedDescendant = archivedDescendant || descendant->isArchived();

    auto menu = std::make_unique<QMenu>();
    auto add = [&](std::string_view label, bool enabled, auto action) {
        QAction* item = menu->addAction(text(label));
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, action);
    };
    add(ui_texts::kAddSubtask, true, [this, row] { addSubtask(row); });
    add(ui_texts::kRename, true, [this, row] { startRenaming(row); });
    add(ui_texts::kEditTask, true, [this, row] { editTask(row); });
    menu->addSeparator();
    if (task->isArchived())
        add(ui_texts::kUnarchive, true, [this, row] { editor_->unArchiveRow(row); });
    else
        add(ui_texts::kArchive, true, [this, row] { editor_->archiveRow(row); });
    add(ui_texts::kArchiveSubtasks, hasChildren,
        [this, row] { editor_->archiveSubtasksOfRow(row); });
    add(ui_texts::kUnarchiveSubtasks, archivedDescendant,
        [this, row] { editor_->unArchiveSubtasksOfRow(row); });
    menu->addSeparator();
    add(ui_texts::kDelete, true, [this, row] { editor_->deleteRow(row); });
    add(ui_texts::kDeleteKeepingSubtasks, hasChildren,
        [this, row] { editor_->deleteRowKeepingSubtasks(row); });
    return menu;
}

// --- Events ---

bool TaskPanel::handleKey(QKeyEvent* event, bool fromSearchField) {
    if (!list_)
        return false;
    const bool editing = editing_;
    switch (event->key()) {
        case Qt::Key_Escape:
            if (editing)
                return false;
            hide();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (!fromSearchField)
                return false;
            view_->setFocus();
            selectRow(std::clamp(currentRow() + (event->key() == Qt::Key_Up ? -1 : 1), 0,
                                 std::max(0, list_->rowCount() - 1)));
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (editing)
                return false;
            syncSelection();
            list_->toggleTimerOfSelectedTask();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right: {
            if (fromSearchField || editing || currentRow() < 0)
                return false;
            const auto disclosure =
                list_->rows()[static_cast<std::size_t>(currentRow())].disclosure;
            const bool wantOpen = event->key() == Qt::Key_Right;
            if ((wantOpen && disclosure == MenuBarTaskRow::Disclosure::collapsed) ||
                (!wantOpen && disclosure == MenuBarTaskRow::Disclosure::expanded))
                list_->toggleChildrenDisclosureOfRow(currentRow());
            return true;
        }
        default:
            break;
    }
    if (fromSearchField || editing)
        return false;
    const QString typed = event->text();
    const bool plain =
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && !typed.isEmpty() && typed.front().isPrint()) {
        // Typing anywhere in the panel searches.
        search_->setFocus();
        search_->insert(typed);
        list_->setSearchTerm(search_->text().toStdString());
        return true;
    }
    return false;
}

bool TaskPanel::handleRowClick(const QPoint& position) {
    const QModelIndex index = view_->indexAt(position);
    if (!list_ || !index.isValid())
        return false;
    const TaskRowDelegate::Areas areas = TaskRowDelegate::areas(
        view_->visualRect(index), index.data(TaskListItemModel::TierRole).toInt());
    const MenuBarTaskRow& row = list_->rows()[static_cast<std::size_t>(index.row())];
    if (row.disclosure != MenuBarTaskRow::Disclosure::none && areas.disclosure.contains(position)) {
        list_->toggleChildrenDisclosureOfRow(index.row());
        return true;
    }
    if (areas.periodTotal.contains(position) || areas.totalEver.contains(position)) {
        list_->stepPeriod();
        return true;
    }
    if (areas.timer.contains(position)) {
        list_->toggleTimerOfRow(index.row());
        return true;
    }
    return false;
}

bool TaskPanel::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // The panel's undo is the store's, also while the search field has the focus.
            if (watched == search_) {
                auto* key = static_cast<QKeyEvent*>(event);
                if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
                    (key->key() == Qt::Key_Z &&
                     key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)))
                    return true;
            }
            break;
        case QEvent::KeyPress:
            if (watched == search_ || watched == view_)
                return handleKey(static_cast<QKeyEvent*>(event), watched == search_);
            break;
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton)
                break;
            if (watched == periodHeading_ && list_) {
                list_->stepPeriod();
                return true;
            }
            if (watched == view_->viewport())
                return handleRowClick(mouse->position().toPoint());
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void TaskPanel::showAt(const QRect& anchor) {
    QPoint origin = anchor.isEmpty() ? QCursor::pos() : anchor.bottomLeft();
    QScreen* screen = QGuiApplication::screenAt(origin);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        // A tray at the bottom of the screen: open upwards, above the icon.
        if (origin.y() + height() > area.bottom())
            origin.setY((anchor.isEmpty() ? origin.y() : anchor.top()) - height());
        origin.setX(
            std::clamp(origin.x(), area.left(), std::max(area.left(), area.right() - width())));
        origin.setY(
            std::clamp(origin.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(origin);
    show();
    raise();
    activateWindow();
}

void TaskPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    search_->setFocus();
    emit shown();
}

void TaskPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (list_)
        list_->setPanelWidth(width());
}

}  // namespace ravelong

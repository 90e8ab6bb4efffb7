#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ZRCDTask.h"
#include "core/services/ApplicationDelegate.h"
#include "menubar/MenuBarTaskEditor.h"
#include "menubar/StatisticsTaskList.h"
#include "menubar/TimedEntriesList.h"
#include "menubar/TimedEntryEditor.h"
#include "stats/ZRDatePickerManager.h"
#include "store/ZRUndoManager.h"
#include "ui/AddTimingDialog.h"
#include "ui/CalendarGrid.h"
#include "ui/ChartsArea.h"
#include "ui/QtText.h"
#include "ui/StatisticsTaskListModel.h"
#include "ui/SyncIndicator.h"
#include "ui/TaskEditDialog.h"
#include "ui/TimedEntriesTableModel.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

using Preset = DateRangeChooser::Preset;

struct PresetEntry {
    const char* title;
    std::optional<Preset> preset;
    int segment;  // the selector's segment when there is no preset
};

const PresetEntry kPresets[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "Today"), Preset::today, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "Yesterday"), Preset::yesterday, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "This Week"), Preset::thisWeek, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "Last Week"), Preset::lastWeek, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "This Month"), Preset::thisMonth, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "Last Month"), Preset::lastMonth, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "This Year"), Preset::thisYear, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "Last Year"), Preset::lastYear, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "Last 7 Days"), Preset::last7Days, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "Last 30 Days"), Preset::last30Days, 0},
    {QT_TRANSLATE_NOOP("MainWindow", "Custom"), std::nullopt, 1},
    {QT_TRANSLATE_NOOP("MainWindow", "All"), std::nullopt, 2},
};

// The archive filter's entries and their "ZRShowTasks" values.
const std::pair<const char*, std::int64_t> kShowTasks[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "Active Tasks"), 2},
    {QT_TRANSLATE_NOOP("MainWindow", "Archived Tasks"), 1},
    {QT_TRANSLATE_NOOP("MainWindow", "Expanded Tasks"), 3},
};

// "x y width height" with a positive size, or nothing.
std::optional<QRect> frameFromText(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0)
        return std::nullopt;
    return QRect(values[0], values[1], values[2], values[3]);
}

QList<int> sizesFromText(const QString& text) {
    QList<int> sizes;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int size = part.toInt(&ok);
        if (!ok || size < 0)
            return {};
        sizes << size;
    }
    return sizes;
}

QString sizesText(const QList<int>& sizes) {
    QStringList parts;
    for (int size : sizes)
        parts << QString::number(size);
    return parts.join(QLatin1Char(','));
}

}  // namespace

MainWindow::MainWindow(Services services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      editor_(std::make_unique<TimedEntryEditor>(services.delegate, services.clock)),
      taskList_(std::make_unique<StatisticsTaskList>(
          services.delegate, services.taskEditor.treeEditor(), services.loop)),
      timedEntries_(std::make_unique<TimedEntriesList>(services.delegate.managedObjectContext(),
                                                       services.defaults, services.loop)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(qt(ui_texts::kApplicationName));
    taskModel_ = new StatisticsTaskListModel(*taskList_, this);
    timingsModel_ = new TimedEntriesTableModel(*timedEntries_, *editor_, this);

    sideSplitter_ = new QSplitter(Qt::Horizontal, this);
    sideSplitter_->setObjectName(QStringLiteral("mainWindowSplitter"));
    sideSplitter_->addWidget(makeSidebar());
    sideSplitter_->addWidget(makeContent());
    sideSplitter_->setStretchFactor(1, 1);
    setCentralWidget(sideSplitter_);
    makeShortcuts();
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("Import CSV…"), this, &MainWindow::importCsvRequested);
    file->addAction(tr("Export Timings…"), this, &MainWindow::exportCsvRequested);

    taskList_->setChangeHandler([this] {
        taskModel_->listChanged();
        filterTasks();
        timedEntries_->reload();
    });
    timedEntries_->setChangeHandler([this] {
        timingsModel_->listChanged();
        updateSummary();
    });
    connect(timingsModel_, &TimedEntriesTableModel::editRefused, this, &MainWindow::showRefusal);
    connect(taskModel_, &QAbstractItemModel::dataChanged, this,
            [this] { timedEntries_->reload(); });
    services_.picker.setRedrawHandler([this] { calendar_->update(); });

    resize(960, 640);
    // Until the user moves them: a third for the calendar, the rest for the lists and charts.
    sideSplitter_->setSizes({240, 720});
    contentSplitter_->setSizes({220, 420});
    restoreFrame();
    reload();
}

MainWindow::~MainWindow() {
    services_.picker.setRedrawHandler({});
}

QWidget* MainWindow::makeSidebar() {
    auto* sidebar = new QWidget(this);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(4, 4, 4, 4);
    archiveFilter_ = new QComboBox(sidebar);
    archiveFilter_->setObjectName(QStringLiteral("archiveFilter"));
    for (const auto& [title, value] : kShowTasks)
        archiveFilter_->addItem(tr(title), QVariant::fromValue<qlonglong>(value));
    const int shown =
        archiveFilter_->findData(QVariant::fromValue<qlonglong>(ZRUserDefaults2::showTasks()));
    archiveFilter_->setCurrentIndex(std::max(0, shown));
    connect(archiveFilter_, &QComboBox::currentIndexChanged, this, [this](int index) {
        ZRUserDefaults2::setShowTasks(archiveFilter_->itemData(index).toLongLong());
        taskList_->reload();
    });
    taskView_ = new QListView(sidebar);
    taskView_->setObjectName(QStringLiteral("statisticsTaskList"));
    taskView_->setModel(taskModel_);
    taskView_->setContextMenuPolicy(Qt::CustomContextMenu);
    taskView_->setDragDropMode(QAbstractItemView::DragDrop);
    taskView_->setDefaultDropAction(Qt::MoveAction);
    taskView_->setDropIndicatorShown(true);
    connect(taskView_, &QWidget::customContextMenuRequested, this, &MainWindow::showTaskMenu);
    taskSearch_ = new QLineEdit(sidebar);
    taskSearch_->setObjectName(QStringLiteral("taskSearch"));
    taskSearch_->setPlaceholderText(tr("Search Tasks"));
    taskSearch_->setClearButtonEnabled(true);
    connect(taskSearch_, &QLineEdit::textChanged, this, &MainWindow::filterTasks);
    layout->addWidget(archiveFilter_);
    layout->addWidget(taskSearch_);
    layout->addWidget(taskView_, 1);
    return sidebar;
}

QWidget* MainWindow::makeContent() {
    contentSplitter_ = new QSplitter(Qt::Vertical, this);
    contentSplitter_->setObjectName(QStringLiteral("contentSplitter"));

    auto* top = new QWidget(contentSplitter_);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(4, 4, 4, 4);
    presets_ = new QComboBox(top);
    presets_->setObjectName(QStringLiteral("intervalSelector"));
    for (const PresetEntry& entry : kPresets)
        presets_->addItem(tr(entry.title));
    presets_->setCurrentIndex(-1);
    presets_->setPlaceholderText(tr("Interval"));
    connect(presets_, &QComboBox::activated, this, &MainWindow::choosePreset);
    calendar_ = new CalendarGrid(services_.picker, top);
    connect(calendar_, &CalendarGrid::rangeChosen, this, &MainWindow::rangeChanged);
    auto* scroll = new QScrollArea(top);
    scroll->setWidget(calendar_);
    scroll->setWidgetResizable(false);
    calendarScroll_ = scroll;
    topLayout->addWidget(presets_);
    topLayout->addWidget(scroll, 1);

    tabs_ = new QTabWidget(contentSplitter_);
    auto* timings = new QWidget(tabs_);
    auto* timingsLayout = new QVBoxLayout(timings);
    timingsLayout->setContentsMargins(0, 0, 0, 0);
    timingsView_ = new QTableView(timings);
    timingsView_->setObjectName(QStringLiteral("timedEntries"));
    timingsView_->setModel(timingsModel_);
    timingsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    timingsView_->verticalHeader()->hide();
    // Fixed row heights keep the view from measuring every row of a long list.
    timingsView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    timingsView_->horizontalHeader()->setStretchLastSection(true);
    timingsView_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::EditKeyPressed);
    connect(timingsView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateSummary);
    summary_ = new QLabel(timings);
    summary_->setObjectName(QStringLiteral("summaryLine"));
    timingsLayout->addWidget(timingsView_, 1);
    auto* summaryRow = new QHBoxLayout;
    summaryRow->addWidget(summary_, 1);
    syncIndicator_ = new SyncIndicator(timings);
    summaryRow->addWidget(syncIndicator_);
    timingsLayout->addLayout(summaryRow);
    tabs_->addTab(timings, tr("Timings"));
    chartsTab_ = new QWidget(tabs_);
    new QVBoxLayout(chartsTab_);
    tabs_->addTab(chartsTab_, tr("Charts"));
    contentSplitter_->setStretchFactor(1, 1);
    return contentSplitter_;
}

void MainWindow::makeShortcuts() {
    auto add = [this](const QKeySequence& keys, auto slot) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_F), [this] {
        taskSearch_->setFocus(Qt::ShortcutFocusReason);
        taskSearch_->selectAll();
    });
    add(QKeySequence(Qt::Key_Delete), [this] { deleteSelectedTimings(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { undo(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { redo(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_N), [this] { addTiming(); });
}

void MainWindow::reload() {
    taskList_->reload();
    timedEntries_->reload();
    calendar_->update();
}

void MainWindow::setChartsArea(ChartsArea* charts) {
    QLayout* layout = chartsTab_->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    charts_ = charts;
    if (charts)
        layout->addWidget(charts);
}

bool MainWindow::showChart(ChartKind kind) {
    if (!charts_)
        return false;
    charts_->showChart(kind);
    tabs_->setCurrentWidget(chartsTab_);
    return true;
}

void MainWindow::filterTasks() {
    const QString wanted = taskSearch_->text().trimmed();
    const int rows = taskModel_->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QString name = taskModel_->index(row, 0).data(Qt::DisplayRole).toString();
        taskView_->setRowHidden(row,
                                !wanted.isEmpty() && !name.contains(wanted, Qt::CaseInsensitive));
    }
}

QString MainWindow::summaryText() const {
    return summary_->text();
}

void MainWindow::updateSummary() {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : timingsView_->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    summary_->setText(qt(timedEntries_->summaryLine(rows)));
}

void MainWindow::rangeChanged() {
    timedEntries_->reload();
    calendar_->update();
}

void MainWindow::choosePreset(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kPresets)))
        return;
    const PresetEntry& entry = kPresets[index];
    DateRangeChooser& chooser = services_.picker.rangeChooser();
    if (entry.preset)
        chooser.selectPreset(*entry.preset);
    else
        chooser.timeIntervalDurationSelected(entry.segment);
    const auto start = ZRUserDefaults2::generalStartDate();
    if (start > 0 && start < 99999999) {
        // Keep the chosen range's first month in view.
        const QDate first(static_cast<int>(start / 10000), static_cast<int>(start / 100 % 100), 1);
        const QDate today = CalendarGrid::today();
        if (first < calendar_->firstMonth())
            calendar_->setMonths(
                today, (today.year() - first.year()) * 12 + today.month() - first.month() + 1);
    }
    rangeChanged();
}

bool MainWindow::choosePresetNamed(const QString& title) {
    const int index = presets_->findText(title);
    if (index < 0)
        return false;
    presets_->setCurrentIndex(index);
    choosePreset(index);
    return true;
}

bool MainWindow::addTimingByHand(const QString& taskName, const QDateTime& start,
                                 const QString& duration) {
    AddTimingDialog dialog(services_.delegate.managedObjectContext(), *editor_, services_.clock,
                           nullptr, this);
    const int task = dialog.taskBox()->findText(taskName, Qt::MatchEndsWith);
    if (task < 0)
        return false;
    dialog.taskBox()->setCurrentIndex(task);
    dialog.dayEdit()->setDate(start.date());
    dialog.startEdit()->setTime(start.time());
    dialog.durationEdit()->setText(duration);
    if (!dialog.add()) {
        showRefusal(dialog.message());
        return false;
    }
    reload();
    return true;
}

bool MainWindow::deleteTimingAtRow(int row) {
    if (row < 0 || row >= timingsModel_->rowCount())
        return false;
    timingsView_->clearSelection();
    timingsView_->selectRow(row);
    return deleteSelectedTimings();
}

bool MainWindow::deleteSelectedTimings() {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : timingsView_->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    if (rows.empty())
        return false;
    std::sort(rows.begin(), rows.end());
    const Status status = editor_->deleteRows(*timedEntries_, rows);
    if (!status.ok()) {
        showRefusal(qt(status.error().description));
        return false;
    }
    timedEntries_->reload();
    return true;
}

bool MainWindow::undo() {
    ManagedObjectContext& context = services_.delegate.managedObjectContext();
    context.processPendingChanges();
    ZRUndoManager* manager = context.undoManager();
    if (!manager || !manager->canUndo())
        return false;
    manager->undo();
    services_.delegate.saveContext(context);
    reload();
    return true;
}

bool MainWindow::redo() {
    ManagedObjectContext& context = services_.delegate.managedObjectContext();
    context.processPendingChanges();
    ZRUndoManager* manager = context.undoManager();
    if (!manager || !manager->canRedo())
        return false;
    manager->redo();
    services_.delegate.saveContext(context);
    reload();
    return true;
}

ZRCDTask* MainWindow::addTask() {
    taskSearch_->clear();
    return taskList_->addTask();
}

void MainWindow::addTiming() {
    const int row = taskView_->currentIndex().row();
    ZRCDTask* task = row >= 0 ? taskList_->taskAtRow(static_cast<std::size_t>(row)) : nullptr;
    AddTimingDialog dialog(services_.delegate.managedObjectContext(), *editor_, services_.clock,
                           task, this);
    if (dialog.exec() == QDialog::Accepted)
        reload();
}

void MainWindow::showTaskMenu(const QPoint& position) {
    const QModelIndex index = taskView_->indexAt(position);
    const int row = index.isValid() ? index.row() : -1;
    ZRCDTask* task = row >= 0 ? taskList_->taskAtRow(static_cast<std::size_t>(row)) : nullptr;
    QMenu menu(this);
    menu.addAction(tr("Add Task"), this, [this] { addTask(); });
    if (task) {
        menu.addAction(tr("Add Subtask"), this,
                       [this, row] { taskList_->addSubtaskToRow(static_cast<std::size_t>(row)); });
        menu.addAction(tr("Edit Task…"), this, [this, task] {
            TaskEditDialog dialog(MenuBarTaskEditor::valuesOf(*task), this);
            if (dialog.exec() == QDialog::Accepted &&
                services_.taskEditor.editTask(task, dialog.values()))
                reload();
        });
        menu.addAction(tr("Delete Task"), this,
                       [this, row] { taskList_->deleteRow(static_cast<std::size_t>(row), false); });
    }
    menu.addSeparator();
    menu.addAction(tr("Add Timing…"), this, &MainWindow::addTiming);
    menu.addAction(tr("Select All Tasks"), this, [this] { taskList_->selectAllTasks(); });
    menu.addAction(tr("Deselect All Tasks"), this, [this] { taskList_->deselectAllTasks(); });
    menu.exec(taskView_->viewport()->mapToGlobal(position));
}

void MainWindow::showRefusal(const QString& message) {
    lastMessage_ = message;
    // Not modal for tests and scripts: the message stays until the user dismisses it.
    auto* box =
        new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::restoreFrame() {
    if (const auto frame =
            frameFromText(qt(services_.defaults.stringForKey(kNSWindowFrameMainWindow))))
        setGeometry(*frame);
    const QStringList splitters =
        qt(services_.defaults.stringForKey(kSplittersKey)).split(QLatin1Char(';'));
    if (splitters.size() == 2) {
        const QList<int> side = sizesFromText(splitters[0]);
        const QList<int> content = sizesFromText(splitters[1]);
        if (side.size() == sideSplitter_->count())
            sideSplitter_->setSizes(side);
        if (content.size() == contentSplitter_->count())
            contentSplitter_->setSizes(content);
    }
}

void MainWindow::saveFrame() {
    const QRect frame = geometry();
    services_.defaults.setString(kNSWindowFrameMainWindow, QStringLiteral("%1 %2 %3 %4")
                                                               .arg(frame.x())
                                                               .arg(frame.y())
                                                               .arg(frame.width())
                                                               .arg(frame.height())
                                                               .toStdString());
    services_.defaults.setString(kSplittersKey,
                                 (sizesText(sideSplitter_->sizes()) + QLatin1Char(';') +
                                  sizesText(contentSplitter_->sizes()))
                                     .toStdString());
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The calendar opens with today in sight, once the layout has given it its room.
    QTimer::singleShot(0, this, [this] {
        const QRect today = calendar_->dayRect(CalendarGrid::today());
        if (!today.isEmpty())
            calendarScroll_->ensureVisible(today.center().x(), today.center().y(), 0,
                                           today.height() / 2 + 8);
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    saveFrame();
    event->accept();
    hide();
    emit closed();
}

}  // namespace ravelong

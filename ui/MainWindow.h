#pragma once

#include <QMainWindow>
#include <memory>

#include "foundation/Clock.h"
#include "foundation/MainLoop.h"
#include "foundation/UserDefaults.h"
#include "stats/ChartData.h"

class QComboBox;
class QDateTime;
class QLabel;
class QLineEdit;
class QListView;
class QScrollArea;
class QSplitter;
class QTabWidget;
class QTableView;

namespace ravelong {

class SyncIndicator;

class AddTimingDialog;
class ApplicationDelegate;
class CalendarGrid;
class ChartsArea;
class MenuBarTaskEditor;
class StatisticsTaskList;
class StatisticsTaskListModel;
class TimedEntriesList;
class TimedEntriesTableModel;
class TimedEntryEditor;
class ZRCDTask;
class ZRDatePickerManager;

// The main window, titled "Ravelong": the statistics task list on the left (check marks choose
// the tasks the rest shows; a search field above filters it by name), and on the right the
// calendar with the interval selector above the timed entries list with its summary line, beside
// a tab for the charts.
//
// Frame and splitter positions live in the preferences ("NSWindow Frame MainWindow" and
// "ZRMainWindowSplitters") and are restored when the window is made. Closing only hides the
// window (the program stays in the tray) and emits closed(). Main thread only; the services given
// must outlive the window.
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    struct Services {
        ApplicationDelegate& delegate;
        ZRDatePickerManager& picker;
        MenuBarTaskEditor& taskEditor;  // the shared task editing (and its tree editor)
        UserDefaults& defaults;
        MainLoop& loop;
        const Clock& clock;
    };
    static constexpr std::string_view kSplittersKey = "ZRMainWindowSplitters";

    explicit MainWindow(Services services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Refetches both lists (after a save changed the records).
    void reload();
    // Puts the charts into their tab (the window takes ownership).
    void setChartsArea(ChartsArea* charts);
    ChartsArea* chartsArea() const { return charts_; }
    // Brings the charts tab to the front with the chart of that kind; false without charts.
    bool showChart(ChartKind kind);

    // Deletes the selected timed entries; a refusal is shown. False when nothing was deleted.
    bool deleteSelectedTimings();
    bool undo();
    bool redo();
    // Adds a task to the task list (clearing the search first, so that it shows).
    ZRCDTask* addTask();
    // Opens the add-timing dialog for the highlighted task and waits for it.
    void addTiming();
    // Chooses one of the interval selector's presets (its index in the selector).
    void choosePreset(int index);
    bool choosePresetNamed(const QString& title);
    // What the add-timing dialog does with these entries, without showing it; false when the
    // task (a name without subtasks, matched at the end of the full name) is not listed or the
    // entry was refused.
    bool addTimingByHand(const QString& taskName, const QDateTime& start, const QString& duration);
    bool deleteTimingAtRow(int row);

    StatisticsTaskList& taskList() const { return *taskList_; }
    TimedEntriesList& timedEntries() const { return *timedEntries_; }
    QListView* taskView() const { return taskView_; }
    // Filters the task list by name (Ctrl+F).
    QLineEdit* taskSearchField() const { return taskSearch_; }
    QTableView* timingsView() const { return timingsView_; }
    CalendarGrid* calendar() const { return calendar_; }
    QComboBox* presetBox() const { return presets_; }
    QComboBox* archiveFilterBox() const { return archiveFilter_; }
    QString summaryText() const;
    SyncIndicator* syncIndicator() const { return syncIndicator_; }
    // The last refusal shown, empty when none.
    QString lastMessage() const { return lastMessage_; }

signals:
    void closed();
    // The File menu's CSV entries: the import window, the export sheet for the timed entries.
    void importCsvRequested();
    void exportCsvRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeSidebar();
    QWidget* makeContent();
    void makeShortcuts();
    void showTaskMenu(const QPoint& position);
    void showRefusal(const QString& message);
    void updateSummary();
    void filterTasks();
    void rangeChanged();
    void restoreFrame();
    void saveFrame();

    Services services_;
    std::unique_ptr<TimedEntryEditor> editor_;
    std::unique_ptr<StatisticsTaskList> taskList_;
    std::unique_ptr<TimedEntriesList> timedEntries_;
    StatisticsTaskListModel* taskModel_ = nullptr;
    TimedEntriesTableModel* timingsModel_ = nullptr;
    QListView* taskView_ = nullptr;
    QLineEdit* taskSearch_ = nullptr;
    QComboBox* archiveFilter_ = nullptr;
    CalendarGrid* calendar_ = nullptr;
    QScrollArea* calendarScroll_ = nullptr;
    QComboBox* presets_ = nullptr;
    QTableView* timingsView_ = nullptr;
    QLabel* summary_ = nullptr;
    SyncIndicator* syncIndicator_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QWidget* chartsTab_ = nullptr;
    ChartsArea* charts_ = nullptr;
    QSplitter* sideSplitter_ = nullptr;
    QSplitter* contentSplitter_ = nullptr;
    QString lastMessage_;
};

}  // namespace ravelong

#include "ui/TestWindows.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstring>
#include <functional>
#include <span>

#include "app/AppDelegate.h"
#include "app/LaunchTexts.h"
#include "app/SavePathTexts.h"
#include "core/model/ZRCDTask.h"
#include "core/services/IdleTimePanel.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Clock.h"
#include "menubar/MenuBarTaskList.h"
#include "menubar/StackMenuEntry.h"
#include "sync/ZRMergeConflictMessage.h"
#include "ui/ChartsArea.h"
#include "ui/CsvWindows.h"
#include "ui/FinishingSyncWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtApplicationShell.h"
#include "ui/SyncServices.h"
#include "ui/TaskPanel.h"
#include "ui/UiTexts.h"

namespace ravelong {

struct TestWindows::Entry {
    const char* name;
    const char* className;  // of the top-level window, for close()
    bool (*open)(TestWindows& windows);
};

namespace {

// The first task of the panel's list, which every task window works on.
ZRCDTask* firstTask(QtApplicationShell& shell) {
    MenuBarTaskList* list = shell.taskList();
    return list ? list->taskAtRow(0) : nullptr;
}

// A window that waits for its answer in a loop of its own is opened after the command returned,
// so that the command is acknowledged and the next one (the close) is read meanwhile.
bool askLater(std::function<void()> ask) {
    QTimer::singleShot(0, qApp, std::move(ask));
    return true;
}

MainWindow* shownMainWindow(QtApplicationShell& shell) {
    MainWindow* window = shell.mainWindow();
    return window && window->isVisible() ? window : nullptr;
}

}  // namespace

std::span<const TestWindows::Entry> TestWindows::table() {
    static const Entry entries[] = {
        {"main-window", "ravelong::MainWindow",
         [](TestWindows& w) {
             w.services_.delegate.openMainWindow();
             return shownMainWindow(w.services_.shell) != nullptr;
         }},
        {"preferences", "ravelong::PreferencesWindow",
         [](TestWindows& w) {
             w.services_.shell.showPreferencesWindow();
             return w.services_.shell.preferencesWindow() != nullptr;
         }},
        {"task-edit", "ravelong::TaskEditDialog",
         [](TestWindows& w) {
             // "Edit..." in the context menu of the panel's first row.
             QtApplicationShell& shell = w.services_.shell;
             if (!shell.panel() || !firstTask(shell))
                 return false;
             return askLater([panel = QPointer<TaskPanel>(shell.panel())] {
                 if (panel)
                     (void)panel->editTask(0);
             });
         }},
        {"add-timing", "ravelong::AddTimingDialog",
         [](TestWindows& w) {
             // The first task's entry in the tray menu, chosen with Control held.
             ZRCDTask* task = firstTask(w.services_.shell);
             if (!task || !task->uuid())
                 return false;
             StackMenuEntry entry;
             entry.kind = StackMenuEntry::Kind::recentTask;
             entry.uuid = *task->uuid();
             w.services_.shell.stackMenuEntryChosen(entry, true);
             return true;
         }},
        {"add-note", "ravelong::AddNotePanelWindow",
         [](TestWindows& w) { return w.services_.shell.performHotKey(QStringLiteral("AddNote")); }},
        {"idle", "ravelong::IdlePanelWindow",
         [](TestWindows& w) {
             IdleTimePanel* panel = w.services_.shell.idleTimePanel();
             if (!panel)
                 return false;
             panel->showIdleTimePanel(Clock::current().now() - 25 * 60);
             return true;
         }},
        {"csv-import", "ravelong::CsvImportWindow",
         [](TestWindows& w) {
             CsvWindows* csv = w.services_.shell.csvWindows();
             if (!csv)
                 return false;
             csv->showImport();
             return true;
         }},
        {"csv-export", "ravelong::CsvExportSheet",
         [](TestWindows& w) {
             // File > Export Timings... of the main window.
             MainWindow* window = shownMainWindow(w.services_.shell);
             if (!window)
                 return false;
             emit window->exportCsvRequested();
             return true;
         }},
        {"chart-export", "ravelong::ChartExportSheet",
         [](TestWindows& w) {
             MainWindow* window = shownMainWindow(w.services_.shell);
             if (!window || !window->chartsArea() || !window->showChart(ChartKind::pie))
                 return false;
             return window->chartsArea()->exportChart() != nullptr;
         }},
        {"timers-running", "ravelong::TimersRunningWindow",
         [](TestWindows& w) {
             w.services_.shell.showTimersRunningWindow(
                 std::string(launch_texts::kATimerIsRunning),
                 std::string(launch_texts::kDoYouWantToStopIt));
             return true;
         }},
        {"database-update", "ravelong::DatabaseUpdateWindow",
         [](TestWindows& w) {
             w.services_.shell.showDatabaseUpdateWindow(
                 std::string(launch_texts::kDatabaseUpdateText), 100);
             w.services_.shell.setDatabaseUpdateProgress(40);
             return true;
         }},
        {"restricted-mode", "ravelong::RestrictedModeWindow",
         [](TestWindows& w) {
             w.services_.shell.showRestrictedModeWindow(std::string(kRestrictedModeText));
             return true;
         }},
        {"sync-alert", "ravelong::SyncAlertWindow",
         [](TestWindows& w) {
             if (!w.services_.sync)
                 return false;
             w.services_.sync->showSystemTimesNotSynchronousAlert();
             return true;
         }},
        {"merge-conflict", "ravelong::SyncMergeConflictWindow",
         [](TestWindows& w) {
             const ZRCDTask* task = firstTask(w.services_.shell);
             SyncServices* sync = w.services_.sync;
             if (!sync || !task)
                 return false;
             const std::string message = ZRMergeConflictMessage::getMergeConflictMessageForObject(
                 task, "taskName", std::string("Report draft"));
             return askLater([sync, message] { (void)sync->askMergeConflict(message); });
         }},
        {"cloud-data", "ravelong::CloudDataAvailableWindow",
         [](TestWindows& w) {
             SyncServices* sync = w.services_.sync;
             return sync && askLater([sync] { (void)sync->askCloudDataAvailable(); });
         }},
        {"releech", "ravelong::ReleechWindow",
         [](TestWindows& w) {
             SyncServices* sync = w.services_.sync;
             return sync && askLater([sync] { (void)sync->askReleech(); });
         }},
        {"alert", "QMessageBox",
         [](TestWindows&) {
             // An alert as the program shows them all, with the text of the no-tray notice.
             return askLater([] {
                 Alert alert;
                 alert.messageText = ui_texts::kNoTrayMessage;
                 alert.informativeText = ui_texts::kNoTrayInformative;
                 alert.style = Alert::Style::Informational;
                 (void)AlertPresenter::current().runModal(alert);
             });
         }},
        {"finishing-sync", "ravelong::FinishingSyncWindow",
         [](TestWindows& w) {
             delete w.finishing_;
             w.finishing_ = new FinishingSyncWindow(0);
             w.finishing_->present();
             w.finishing_->mergeMadeProgress(0.6);
             return true;
         }},
    };
    return entries;
}

const TestWindows::Entry* TestWindows::entryNamed(const QString& name) {
    for (const Entry& entry : table())
        if (name == QLatin1String(entry.name))
            return &entry;
    return nullptr;
}

TestWindows::TestWindows(Services services) : services_(services) {}

TestWindows::~TestWindows() {
    delete finishing_;
}

bool TestWindows::show(const QString& name) {
    const Entry* entry = entryNamed(name);
    return entry && entry->open(*this);
}

bool TestWindows::close(const QString& name) {
    const Entry* entry = entryNamed(name);
    QWidget* window = entry ? shownWindowOfClass(entry->className) : nullptr;
    if (!window)
        return false;
    window->close();
    return true;
}

QStringList TestWindows::names() {
    QStringList all;
    for (const Entry& entry : table())
        all << QString::fromLatin1(entry.name);
    return all;
}

QWidget* TestWindows::shownWindowOfClass(const char* className) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && std::strcmp(widget->metaObject()->className(), className) == 0)
            return widget;
    return nullptr;
}

}  // namespace ravelong

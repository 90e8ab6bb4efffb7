#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "app/ApplicationShell.h"
#include "platform/CanberraAlertSound.h"

class QMessageBox;

namespace ravelong {

class AddTimingDialog;
class AppDelegate;
class CsvWindows;
class DatabaseUpdateWindow;
class ManagedObjectContext;
class StackMenuActions;
struct StackMenuEntry;
class ZRStackMenu;
class ZRStatusItemView;
class ZRCDTask;
class IdleServices;
class LogindShutdownWatcher;
class LogindSleepWatcher;
class MainWindow;
class ZRDatePickerManager;
class MenuBarTaskEditor;
class MenuBarTaskList;
class RestrictedModeWindow;
class SyncSetup;
class PreferencesOpener;
class PreferencesWindow;
class TaskPanel;
class TimedEntryEditor;
class ZRAutomaticBackup;
class TimersRunningWindow;
class TrayItem;
class TrayMenu;

// The application shell of the Qt program: the tray item with its panel and menu, the windows
// the application delegate asks for, and the quit sequence on Qt's event loop.
//
// The tray item is made once the tray host is known (installTray, after the program waited for
// it at login). With a tray, the panel is a popup under the icon; without one (GNOME without the
// AppIndicator extension, a bare X server, the offscreen platform) the panel is an ordinary window
// opened at once, and the user is told once how to get a tray icon. Main thread only.
class QtApplicationShell final : public QObject, public ApplicationShell {
    Q_OBJECT

public:
    explicit QtApplicationShell(QObject* parent = nullptr);
    ~QtApplicationShell() override;

    // The delegate the shell reports to; set before the launch.
    void setDelegate(AppDelegate* delegate) { delegate_ = delegate; }
    // Holds logind's shutdown delay while timers run; optional.
    void setShutdownWatcher(LogindShutdownWatcher* watcher) { shutdownWatcher_ = watcher; }
    // Holds logind's sleep delay while timers run; optional.
    void setSleepWatcher(LogindSleepWatcher* watcher) { sleepWatcher_ = watcher; }
    // The automatic backup the preferences' Backups pane works with; optional.
    void setAutomaticBackup(ZRAutomaticBackup* backup) { automaticBackup_ = backup; }
    // The synchronisation the preferences' Sync pane works with; optional.
    void setSyncSetup(SyncSetup* setup) { syncSetup_ = setup; }
    // Runs before the decided quit goes on (the last save, the end of the loop): gets the rest
    // of the quit to call once it is done waiting. Empty: the quit goes on at once.
    void setQuitWait(std::function<void(std::function<void()>)> wait) {
        quitWait_ = std::move(wait);
    }
    // Opens the preferences window (once the store is open).
    void showPreferencesWindow();
    // The preferences window while it is open, for tests.
    PreferencesWindow* preferencesWindow() const;

    // The tray host is settled: makes the tray item (or, without a tray, the panel window) as
    // soon as the delegate asked for the menu-bar controllers.
    void installTray();
    // After the launch: the tray, the panel and the shutdown delay catch up with the store.
    void launchFinished();
    // The machine is going to sleep or woke up (the tray item keeps the instants).
    void machineGoingToSleep();
    void machineWokeUp();
    // A later start of the program asked this one to come forward.
    void bringForward();

    // A total changed: the tray item reads its base total again and redraws.
    void refreshTray() { updateTray(); }
    // The timer ticked: only the running part of the tray item's total is counted again.
    void tickTray();
    // The clock was set, the machine woke or the time zone changed: the panel's timer for the
    // start of the next day is set again.
    void rearmNewDayTimer();
    // Before the delegate and its store go: the panel is emptied and its list and editor freed,
    // and the preferences window closed.
    void releaseTaskList();
    // Tasks were added, renamed, moved or archived: the lists follow.
    void refreshTaskLists() { reloadPanelIfShown(); }

    // The slot a click on a panel row reaches: toggles the task's timer (and saves).
    void taskClicked(const QString& uuid);
    // What the test commands reach.
    TaskPanel* panel() const;
    // The panel's list and editor, once the store is open (nullptr before).
    MenuBarTaskList* taskList() const { return taskList_.get(); }
    MainWindow* mainWindow() const;
    // The main window's selection (calendar data, range, considered tasks); nullptr without a
    // store.
    ZRDatePickerManager* ensureDatePickerManager();
    bool clickTaskNamed(const QString& name);
    bool hasTrayIcon() const { return tray_ != nullptr; }
    TrayItem* trayItem() const { return tray_; }
    TrayMenu* trayMenu() const { return menu_.get(); }
    // The tray item's behaviour; nullptr until the store is open.
    ZRStatusItemView* statusItemView();
    // What choosing an entry of the stack menu does (`alternate`: chosen with Control held).
    void stackMenuEntryChosen(const StackMenuEntry& entry, bool alternate);
    // The add-timing dialog the alternate entry of a recent task opened, while it is open.
    AddTimingDialog* addTimingDialog() const;
    // The CSV import window and export sheet the menus open; nullptr while no store is open.
    CsvWindows* csvWindows();

    // --- ApplicationShell ---

    void requestQuit() override;
    [[noreturn]] void terminateImmediately() override;
    void activate() override;
    bool isActive() const override;
    void resetApplicationIcon() override;
    bool commitEditing() override;
    void registerDisplayReconfigurationCallback() override;
    void removeDisplayReconfigurationCallback() override;

    void createMenuBarControllers() override;
    void closeMenuBarController() override;
    void togglePanel() override;
    void closePanel() override;
    bool isPanelDetached() const override;
    void reattachPanel() override;
    void reloadPanelTable() override;
    void reloadPanelRows(const std::vector<int>& rows) override;
    void setRunningTimings(const std::vector<ZRCDTiming*>& timings) override;
    void runningStateChangedForTasks(const std::vector<ZRCDTask*>& tasks) override;

    void showMainWindow() override;
    void closeMainWindow() override;
    bool isMainWindowOpen() const override;

    void showTimersRunningWindow(const std::string& messageText,
                                 const std::string& informativeText) override;
    void closeTimersRunningWindow() override;
    void showDatabaseUpdateWindow(const std::string& text, double maximum) override;
    void setDatabaseUpdateProgress(double value) override;
    void closeDatabaseUpdateWindow() override;
    void showRestrictedModeWindow(const std::string& text) override;
    void closeRestrictedModeWindow() override;
    void setSyncIndicatorState(std::int32_t state, bool animate) override;

    AlertSound* alertSound() override { return &sound_; }
    AddNotePanel* addNotePanel() override;
    IdleTimePanel* idleTimePanel() override;
    IdleTimeSource* idleTimeSource() override;
    // The panels, the idle source, sleep handling and hot keys (made on first use).
    IdleServices& idleServices();
    // A hot key's action asked for from outside (the command line); false while no store is
    // open and for an unknown identifier.
    bool performHotKey(const QString& identifier);
    StatusItemTime* statusItemTime() override;
    TimingEditSession* timingEditSession() override { return nullptr; }

    // The windows, for tests.
    TimersRunningWindow* timersRunningWindow() const;
    DatabaseUpdateWindow* databaseUpdateWindow() const;
    RestrictedModeWindow* restrictedModeWindow() const;

signals:
    // The quit was decided: the event loop ends next.
    void quitting();

private:
    void handleQuitRequest();
    void makeTrayOrWindow();
    void showNoTrayNotice();
    void reloadPanelIfShown();
    void refreshFromStore();
    void repositionPanel();
    void updateTray();
    bool hasContext() const;
    // Makes the tray item's behaviour, the stack menu and its actions for the delegate's current
    // context (again when the context was replaced); false without a context.
    bool ensureTrayBehaviour();
    // Gives the panel its list once the store and the timer controller exist.
    void ensureTaskList();
    void openAddTimingDialog(ZRCDTask* task);

    AppDelegate* delegate_ = nullptr;
    LogindShutdownWatcher* shutdownWatcher_ = nullptr;
    LogindSleepWatcher* sleepWatcher_ = nullptr;
    std::unique_ptr<IdleServices> idleServices_;
    CanberraAlertSound sound_;

    std::unique_ptr<TrayMenu> menu_;
    TrayItem* tray_ = nullptr;
    // The tray behaviour; all made for behaviourContext_.
    ManagedObjectContext* behaviourContext_ = nullptr;
    std::unique_ptr<ZRStatusItemView> statusView_;
    std::unique_ptr<ZRStackMenu> stackMenu_;
    std::unique_ptr<StackMenuActions> menuActions_;
    QPointer<TaskPanel> panel_;
    ZRAutomaticBackup* automaticBackup_ = nullptr;
    SyncSetup* syncSetup_ = nullptr;
    std::function<void(std::function<void()>)> quitWait_;
    std::unique_ptr<PreferencesOpener> preferences_;
    std::unique_ptr<MenuBarTaskList> taskList_;
    std::unique_ptr<MenuBarTaskEditor> taskEditor_;
    // The add-timing dialog opened from the tray, and the editor it adds with.
    std::unique_ptr<TimedEntryEditor> timingEditor_;
    QPointer<AddTimingDialog> addTimingDialog_;
    std::unique_ptr<CsvWindows> csvWindows_;
    // The main window's selection; made once the store is open, before the window.
    std::unique_ptr<ZRDatePickerManager> datePicker_;
    QPointer<MainWindow> mainWindow_;
    QPointer<TimersRunningWindow> timersRunning_;
    QPointer<DatabaseUpdateWindow> databaseUpdate_;
    QPointer<RestrictedModeWindow> restrictedMode_;
    std::unique_ptr<QMessageBox> noTrayNotice_;

    std::vector<QMetaObject::Connection> displayConnections_;
    bool trayAllowed_ = false;           // the tray host is settled
    bool controllersRequested_ = false;  // the delegate asked for the tray item
    bool panelWanted_ = false;           // asked to open before the panel existed
    bool panelDirty_ = true;
    bool released_ = false;  // releaseTaskList ran: no list is made again
    bool quitPosted_ = false;
    bool quitReported_ = false;
    bool quitDecided_ = false;
};

}  // namespace ravelong

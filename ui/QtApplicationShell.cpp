#include "ui/QtApplicationShell.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <algorithm>
#include <cstdlib>

#include "app/AppDelegate.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Clock.h"
#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "menubar/MenuBarTaskEditor.h"
#include "menubar/MenuBarTaskList.h"
#include "menubar/SleepWakeHandler.h"
#include "menubar/StackMenuActions.h"
#include "menubar/TimedEntryEditor.h"
#include "menubar/ZRStackMenu.h"
#include "menubar/ZRStatusItemView.h"
#include "stats/ZRDatePickerManager.h"
#include "ui/AddTimingDialog.h"
#include "ui/ChartsArea.h"
#include "ui/CsvWindows.h"
#include "ui/DatabaseUpdateWindow.h"
#include "ui/IdleServices.h"
#include "ui/LogindShutdownWatcher.h"
#include "ui/LogindSleepWatcher.h"
#include "ui/MainWindow.h"
#include "ui/MilestoneReport.h"
#include "ui/PreferencesOpener.h"
#include "ui/QtAlertPresenter.h"
#include "ui/RestrictedModeWindow.h"
#include "ui/StatusNotifierItem.h"
#include "ui/SyncIndicator.h"
#include "ui/TaskPanel.h"
#include "ui/TimersRunningWindow.h"
#include "ui/TrayItem.h"
#include "ui/TrayMenu.h"
#include "ui/UiTexts.h"

namespace ravelong {

QtApplicationShell::QtApplicationShell(QObject* parent)
    : QObject(parent), sound_([] { QApplication::beep(); }) {}

QtApplicationShell::~QtApplicationShell() {
    delete addTimingDialog_;
    csvWindows_.reset();
    preferences_.reset();
    idleServices_.reset();
    menuActions_.reset();
    stackMenu_.reset();
    statusView_.reset();
    if (panel_)
        panel_->setTaskList(nullptr, nullptr);
    delete panel_;
    delete mainWindow_;
    delete addTimingDialog_;
    timingEditor_.reset();
    csvWindows_.reset();
    datePicker_.reset();
    delete timersRunning_;
    delete databaseUpdate_;
    delete restrictedMode_;
}

TaskPanel* QtApplicationShell::panel() const {
    return panel_;
}

TimersRunningWindow* QtApplicationShell::timersRunningWindow() const {
    return timersRunning_;
}

DatabaseUpdateWindow* QtApplicationShell::databaseUpdateWindow() const {
    return databaseUpdate_;
}

RestrictedModeWindow* QtApplicationShell::restrictedModeWindow() const {
    return restrictedMode_;
}

bool QtApplicationShell::hasContext() const {
    return delegate_ && delegate_->hasManagedObjectContext();
}

void QtApplicationShell::rearmNewDayTimer() {
    if (taskList_)
        taskList_->armNewDayTimer();
}

void QtApplicationShell::releaseTaskList() {
    if (panel_)
        panel_->setTaskList(nullptr, nullptr);
    // The main window works on the list's editor and the store: it goes with them.
    delete mainWindow_;
    delete addTimingDialog_;
    timingEditor_.reset();
    csvWindows_.reset();
    datePicker_.reset();
    taskEditor_.reset();
    taskList_.reset();
    // The preferences window works on the store too.
    preferences_.reset();
    released_ = true;
}

void QtApplicationShell::ensureTaskList() {
    if (released_ || taskList_ || !panel_ || !hasContext() || !delegate_->timerController())
        return;
    taskList_ = std::make_unique<MenuBarTaskList>(MenuBarTaskList::Services{
        *delegate_, delegate_->timerController(), NotificationCenter::defaultCenter(),
        MainLoop::current(), Clock::current(), UserDefaults::standard()});
    taskEditor_ = std::make_unique<MenuBarTaskEditor>(*taskList_);
    taskList_->reload();
    panel_->setTaskList(taskList_.get(), taskEditor_.get());
    panelDirty_ = false;
}

void QtApplicationShell::openAddTimingDialog(ZRCDTask* task) {
    if (released_ || !hasContext())
        return;
    // One dialog at a time: a second request shows the open one with the new task.
    delete addTimingDialog_;
    if (!timingEditor_)
        timingEditor_ = std::make_unique<TimedEntryEditor>(*delegate_, Clock::current());
    // Not a child of the panel: a popup panel closes when the dialog takes the focus.
    addTimingDialog_ = new AddTimingDialog(delegate_->managedObjectContext(), *timingEditor_,
                                           Clock::current(), task);
    addTimingDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(addTimingDialog_, &QDialog::accepted, this, [this] {
        updateTray();
        reloadPanelIfShown();
    });
    addTimingDialog_->show();
    addTimingDialog_->raise();
    addTimingDialog_->activateWindow();
}

AddTimingDialog* QtApplicationShell::addTimingDialog() const {
    return addTimingDialog_;
}

CsvWindows* QtApplicationShell::csvWindows() {
    if (!csvWindows_ && !released_ && hasContext()) {
        csvWindows_ = std::make_unique<CsvWindows>(*delegate_);
        csvWindows_->setImportedHandler([this] { refreshFromStore(); });
    }
    return csvWindows_.get();
}

// --- The application object ---

void QtApplicationShell::requestQuit() {
    if (!quitReported_) {
        quitReported_ = true;
        milestone_report::milestone("quit-requested");
    }
    if (quitPosted_ || quitDecided_)
        return;
    quitPosted_ = true;
    MainLoop::current().runOnMainThread([this] {
        quitPosted_ = false;
        handleQuitRequest();
    });
}

void QtApplicationShell::handleQuitRequest() {
    if (quitDecided_)
        return;
    const TerminateReply reply =
        delegate_ ? delegate_->applicationShouldTerminate() : TerminateReply::TerminateNow;
    if (reply != TerminateReply::TerminateNow)
        return;  // cancelled, or a window asks the user first and will ask again
    quitDecided_ = true;
    auto finishQuit = [this] {
        if (delegate_)
            delegate_->applicationWillTerminate();
        emit quitting();
        QCoreApplication::quit();
    };
    if (quitWait_)
        quitWait_(finishQuit);
    else
        finishQuit();
}

void QtApplicationShell::terminateImmediately() {
    // abort() rather than exit(): the crash is recorded (core dump, the desktop's crash reporter).
    std::abort();
}

void QtApplicationShell::activate() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !(window->windowFlags() & Qt::Popup)) {
            window->raise();
            window->activateWindow();
        }
    }
}

bool QtApplicationShell::isActive() const {
    return QApplication::activeWindow() != nullptr;
}

void QtApplicationShell::resetApplicationIcon() {
    // The program has no dock icon that a detached panel could have changed.
}

bool QtApplicationShell::commitEditing() {
    // No window holds unsaved edits yet: every change is saved as it is made.
    return true;
}

void QtApplicationShell::registerDisplayReconfigurationCallback() {
    removeDisplayReconfigurationCallback();
    auto* app = qGuiApp;
    auto watchScreen = [this](QScreen* screen) {
        displayConnections_.push_back(connect(screen, &QScreen::availableGeometryChanged, this,
                                              &QtApplicationShell::repositionPanel));
    };
    for (QScreen* screen : QGuiApplication::screens())
        watchScreen(screen);
    displayConnections_.push_back(
        connect(app, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen* screen) {
            watchScreen(screen);
            repositionPanel();
        }));
    displayConnections_.push_back(
        connect(app, &QGuiApplication::screenRemoved, this, &QtApplicationShell::repositionPanel));
    displayConnections_.push_back(connect(app, &QGuiApplication::primaryScreenChanged, this,
                                          &QtApplicationShell::repositionPanel));
}

void QtApplicationShell::removeDisplayReconfigurationCallback() {
    for (const QMetaObject::Connection& connection : displayConnections_)
        disconnect(connection);
    displayConnections_.clear();
}

void QtApplicationShell::repositionPanel() {
    if (panel_ && panel_->isVisible() && panel_->kind() == TaskPanel::Kind::popup)
        panel_->showAt(tray_ ? tray_->geometry() : QRect());
}

// --- Tray item and panel ---

void QtApplicationShell::installTray() {
    trayAllowed_ = true;
    if (controllersRequested_)
        makeTrayOrWindow();
}

void QtApplicationShell::createMenuBarControllers() {
    controllersRequested_ = true;
    if (trayAllowed_)
        makeTrayOrWindow();
}

void QtApplicationShell::makeTrayOrWindow() {
    if (panel_)
        return;
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable() ||
                               StatusNotifierItem::watcherAvailable(QDBusConnection::sessionBus());
    // A Wayland client cannot place a popup under the icon: there the panel is a window too.
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    panel_ =
        new TaskPanel(trayAvailable && !wayland ? TaskPanel::Kind::popup : TaskPanel::Kind::window);
    connect(panel_, &TaskPanel::openRequested, this, [this] {
        if (panel_ && !panel_->isVisible())
            togglePanel();
    });
    connect(panel_, &TaskPanel::addTimingRequested, this, &QtApplicationShell::openAddTimingDialog);
    ensureTaskList();
    connect(panel_, &TaskPanel::shown, this, [this] {
        // The indicator was not told while the panel was hidden.
        if (delegate_ && panel_)
            panel_->syncIndicator()->setSyncStateTo(delegate_->syncIndicatorState(), false);
        milestone_report::milestone("panel-shown");
    });

    if (trayAvailable) {
        menu_ = std::make_unique<TrayMenu>(
            [this] {
                if (!ensureTrayBehaviour())
                    return std::vector<StackMenuEntry>{};
                return stackMenu_->menuWillOpen(ZRStackMenu::SleepTimes{
                    statusView_->lastPutToSleep(), statusView_->lastWakeFromSleep()});
            },
            [this](const std::string& timingUuid) {
                return ensureTrayBehaviour() ? stackMenu_->assignToTaskSubmenu(timingUuid)
                                             : std::vector<StackMenuEntry>{};
            });
        connect(menu_.get(), &TrayMenu::entryChosen, this,
                &QtApplicationShell::stackMenuEntryChosen);
        connect(menu_.get(), &QMenu::aboutToShow, this,
                [] { milestone_report::milestone("stack-menu-shown"); });
        connect(menu_.get(), &TrayMenu::preferencesChosen, this,
                &QtApplicationShell::showPreferencesWindow);
        connect(menu_.get(), &TrayMenu::importCsvChosen, this, [this] {
            if (CsvWindows* windows = csvWindows())
                windows->showImport();
        });
        connect(menu_.get(), &TrayMenu::showTasksChosen, this, [this] {
            if (delegate_)
                delegate_->togglePanel();
        });
        tray_ = new TrayItem(menu_.get(), this);
        connect(tray_, &TrayItem::clicked, this, [this] {
            if (delegate_)
                delegate_->togglePanel();
        });
        if (ensureTrayBehaviour())
            tray_->setDisplay(statusView_->display());
        tray_->show();
        milestone_report::milestone("tray-shown");
        if (panelWanted_)
            togglePanel();
    } else {
        // Without a tray the panel window is the program's only face: it opens at once.
        panelDirty_ = true;
        togglePanel();
        milestone_report::milestone("tray-shown");
        showNoTrayNotice();
    }
    panelWanted_ = false;
}

void QtApplicationShell::showNoTrayNotice() {
    UserDefaults& settings = UserDefaults::standard();
    if (settings.boolForKey(ui_texts::kZRNoTrayNoticeShown))
        return;
    Alert alert;
    alert.messageText = ui_texts::kNoTrayMessage;
    alert.informativeText = ui_texts::kNoTrayInformative;
    alert.style = Alert::Style::Informational;
    // Not modal: the launch and the panel go on while the notice is up.
    noTrayNotice_ = std::move(QtAlertPresenter::buildDialog(alert).box);
    noTrayNotice_->setModal(false);
    milestone_report::line("alert", alert.messageText);
    noTrayNotice_->show();
    settings.setBool(ui_texts::kZRNoTrayNoticeShown, true);
    (void)settings.synchronize();  // failures are logged there
}

void QtApplicationShell::closeMenuBarController() {
    if (tray_) {
        tray_->hide();
        delete tray_;
        tray_ = nullptr;
    }

    if (panel_)
        panel_->hide();
}

void QtApplicationShell::togglePanel() {
    if (!panel_) {
        panelWanted_ = true;
        return;
    }
    // The icon opens and closes the panel; without an icon the window only comes forward.
    if (panel_->isVisible() && (panel_->kind() == TaskPanel::Kind::popup || tray_)) {
        panel_->hide();
        return;
    }
    ensureTaskList();
    if (panelDirty_ && taskList_) {
        taskList_->reload();
        panelDirty_ = false;
    }
    if (panel_->kind() == TaskPanel::Kind::popup) {
        panel_->showAt(tray_ ? tray_->geometry() : QRect());
    } else if (!panel_->isVisible()) {
        panel_->showAt(QRect());  // near the pointer, where the desktop lets a window go
    } else {
        panel_->raise();
        panel_->activateWindow();
    }
}

void QtApplicationShell::closePanel() {
    if (panel_ && panel_->kind() == TaskPanel::Kind::popup)
        panel_->hide();
}

bool QtApplicationShell::isPanelDetached() const {
    // The panel is either a popup of the tray item or, without a tray, the program's window;
    // it cannot be torn off.
    return false;
}

void QtApplicationShell::reattachPanel() {
    closePanel();
}

void QtApplicationShell::reloadPanelIfShown() {
    panelDirty_ = true;
    ensureTaskList();
    if (panel_ && panel_->isVisible() && taskList_) {
        taskList_->reload();
        panelDirty_ = false;
    }
    if (mainWindow_ && mainWindow_->isVisible())
        mainWindow_->reload();
}

void QtApplicationShell::reloadPanelTable() {
    reloadPanelIfShown();
}

void QtApplicationShell::reloadPanelRows(const std::vector<int>& rows) {
    if (rows.empty())
        return;
    // The rows are those of the list as shown: only a list that is up to date can take them.
    if (taskList_ && panel_ && panel_->isVisible() && !panelDirty_)
        taskList_->reloadConcernedRows(rows);
    else
        reloadPanelIfShown();
}

bool QtApplicationShell::ensureTrayBehaviour() {
    if (!hasContext())
        return false;
    ManagedObjectContext& context = delegate_->managedObjectContext();
    if (behaviourContext_ != &context) {
        menuActions_.reset();
        stackMenu_.reset();
        statusView_.reset();
        behaviourContext_ = &context;
        statusView_ = std::make_unique<ZRStatusItemView>(context, UserDefaults::standard(),
                                                         Clock::current(), MainLoop::current());
        statusView_->setDisplayObserver([this](const StatusItemDisplay& display) {
            if (tray_)
                tray_->setDisplay(display);
        });
        statusView_->handleRunningTimingsChanged(
            ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context));
        stackMenu_ =
            std::make_unique<ZRStackMenu>(context, UserDefaults::standard(), Clock::current());
    }
    if (!menuActions_ && delegate_->timerController()) {
        menuActions_ = std::make_unique<StackMenuActions>(*delegate_, *delegate_->timerController(),
                                                          NotificationCenter::defaultCenter());
    }
    return true;
}

ZRStatusItemView* QtApplicationShell::statusItemView() {
    return ensureTrayBehaviour() ? statusView_.get() : nullptr;
}

void QtApplicationShell::stackMenuEntryChosen(const StackMenuEntry& entry, bool alternate) {
    using Kind = StackMenuEntry::Kind;
    if (entry.kind == Kind::quit) {
        if (delegate_)
            delegate_->quitApplication();
        return;
    }
    if (entry.kind == Kind::showMainWindow) {
        if (delegate_)
            delegate_->openMainWindow();
        return;
    }
    if (!ensureTrayBehaviour() || !menuActions_) {
        sound_.playSound(kFunkSound);
        return;
    }
    switch (entry.kind) {
        case Kind::runningTiming:
            menuActions_->recentTaskClicked(entry.uuid);
            break;
        case Kind::recentTask:
            if (alternate)
                menuActions_->recentTaskAlternateClicked(entry.uuid);
            else
                menuActions_->recentTaskClicked(entry.uuid);
            break;
        case Kind::addNote:
            menuActions_->addNoteMenuItemClicked(entry.uuid);
            break;
        case Kind::assignTarget:
            menuActions_->assignTask(entry.assignment);
            break;
        case Kind::moveStartBackBy:
            menuActions_->setTimerAhead(entry.uuid, entry.tag);
            break;
        case Kind::stopTimerAgo:
            menuActions_->stopTimerXMinutesAgo(entry.uuid, entry.tag);
            break;
        case Kind::deleteTiming:
            menuActions_->deleteTimingStop(entry.uuid);
            break;
        case Kind::undo:
            menuActions_->undo();
            break;
        case Kind::redo:
            menuActions_->redo();
            break;
        default:
            break;
    }
    updateTray();
    reloadPanelIfShown();
}

void QtApplicationShell::updateTray() {
    if (ensureTrayBehaviour())
        statusView_->updateTime();
}

void QtApplicationShell::machineGoingToSleep() {
    if (ensureTrayBehaviour())
        statusView_->receiveSleepNote();
    if (hasContext())
        if (SleepWakeHandler* handler = idleServices().sleepWakeHandler())
            handler->receiveSleepNote();
}

void QtApplicationShell::machineWokeUp() {
    if (ensureTrayBehaviour())
        statusView_->wakeFromSleep();
    if (hasContext())
        if (SleepWakeHandler* handler = idleServices().sleepWakeHandler())
            handler->wakeFromSleep();
}

IdleServices& QtApplicationShell::idleServices() {
    if (!idleServices_) {
        IdleServices::TrayHooks hooks;
        hooks.anchor = [this] { return tray_ ? tray_->geometry() : QRect(); };
        hooks.closeTaskPanel = [this] { closePanel(); };
        hooks.toggleTaskPanel = [this] {
            if (delegate_)
                delegate_->togglePanel();
        };
        hooks.showStackMenu = [this] {
            if (menu_)
                menu_->popup(QCursor::pos());
        };
        hooks.currentTask = [this]() -> ZRCDTask* {
            return ensureTrayBehaviour() ? statusView_->currentTask() : nullptr;
        };
        hooks.reloadAllMenuBarTimes = [this] {
            updateTray();
            panelDirty_ = true;
            reloadPanelIfShown();
        };
        idleServices_ = std::make_unique<IdleServices>(*delegate_, std::move(hooks));
    }
    if (delegate_ && delegate_->timerController())
        idleServices_->start(*delegate_->timerController());
    return *idleServices_;
}

bool QtApplicationShell::performHotKey(const QString& identifier) {
    return hasContext() && idleServices().performHotKey(identifier.toStdString());
}

AddNotePanel* QtApplicationShell::addNotePanel() {
    return hasContext() ? idleServices().addNotePanel() : nullptr;
}

IdleTimePanel* QtApplicationShell::idleTimePanel() {
    return hasContext() ? idleServices().idleTimePanel() : nullptr;
}

IdleTimeSource* QtApplicationShell::idleTimeSource() {
    return hasContext() ? idleServices().idleTimeSource() : nullptr;
}

void QtApplicationShell::tickTray() {
    if (ensureTrayBehaviour())
        statusView_->timeTick();
}

void QtApplicationShell::setRunningTimings(const std::vector<ZRCDTiming*>& timings) {
    if (shutdownWatcher_)
        shutdownWatcher_->setHoldInhibitor(!timings.empty());
    if (sleepWatcher_)
        sleepWatcher_->setHoldInhibitor(!timings.empty());
    if (ensureTrayBehaviour())
        statusView_->handleRunningTimingsChanged(timings);
    // The task lists follow through runningStateChangedForTasks (the rows of a start or stop)
    // and the task order notice (tasks added, deleted or archived, which list anew).
}

void QtApplicationShell::runningStateChangedForTasks(const std::vector<ZRCDTask*>& tasks) {
    // A closed panel lists anew when it opens; reloading it now would only delay the answer to
    // whoever started or stopped the timer (a click, a hot key, a script).
    if (panel_ && !panel_->isVisible())
        panelDirty_ = true;
    if (panelDirty_ || !taskList_) {
        reloadPanelIfShown();
        return;
    }
    if (mainWindow_ && mainWindow_->isVisible())
        mainWindow_->reload();
    // Only the rows of the tasks and of their ancestors show the change: their run marks and
    // totals.
    std::vector<int> rows;
    for (const ZRCDTask* task : tasks) {
        // Three tiers at most; the bound also ends a parent loop a damaged store might hold.
        for (int tier = 0; task && tier < 3; ++tier, task = task->parentTask())
            if (const int row = taskList_->rowOfTask(task); row >= 0)
                rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (!rows.empty())
        taskList_->reloadConcernedRows(rows);
}

StatusItemTime* QtApplicationShell::statusItemTime() {
    // Without a tray icon nothing shows the item's time.
    return tray_ ? statusItemView() : nullptr;
}

void QtApplicationShell::refreshFromStore() {
    if (!hasContext())
        return;
    const bool running = ZRCDTiming::aTimerIsRunning_inContext(delegate_->managedObjectContext());
    if (shutdownWatcher_)
        shutdownWatcher_->setHoldInhibitor(running);
    if (sleepWatcher_)
        sleepWatcher_->setHoldInhibitor(running);
    updateTray();
    reloadPanelIfShown();
}

void QtApplicationShell::launchFinished() {
    refreshFromStore();
    if (hasContext())
        idleServices();  // sleep handling and hot keys start with the timer controller
}

void QtApplicationShell::bringForward() {
    if (isMainWindowOpen()) {
        mainWindow_->raise();
        mainWindow_->activateWindow();
        return;
    }
    if (panel_ && panel_->isVisible()) {
        panel_->raise();
        panel_->activateWindow();
        return;
    }
    if (delegate_)
        delegate_->togglePanel();
}

void QtApplicationShell::taskClicked(const QString& uuid) {
    if (!hasContext() || !delegate_->timerController())
        return;
    ManagedObjectContext& context = delegate_->managedObjectContext();
    ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUID(uuid.toStdString(), context);
    if (!task) {
        // The row outlived its task (deleted meanwhile): show the list as it is now.
        sound_.playSound(kFunkSound);
        reloadPanelIfShown();
        return;
    }
    delegate_->timerController()->toggleTask(task, true);
    updateTray();
    reloadPanelIfShown();
}

bool QtApplicationShell::clickTaskNamed(const QString& name) {
    ensureTaskList();
    if (!panel_ || !taskList_)
        return false;
    if (panelDirty_ || !panel_->isVisible()) {
        taskList_->reload();
        panelDirty_ = false;
    }
    return panel_->activateRowNamed(name);
}

// --- Windows ---

void QtApplicationShell::showPreferencesWindow() {
    if (!delegate_ || released_)
        return;
    if (!preferences_) {
        preferences_ = std::make_unique<PreferencesOpener>(PreferencesOpener::Services{
            *delegate_, automaticBackup_, &sound_,
            idleServices_ ? idleServices_->hotKeyService() : nullptr, syncSetup_});
    }
    if (!preferences_->show())
        sound_.playSound(kFunkSound);
}

void QtApplicationShell::setSyncIndicatorState(std::int32_t state, bool animate) {
    if (panel_ && panel_->isVisible())
        panel_->syncIndicator()->setSyncStateTo(state, animate);
    if (mainWindow_ && mainWindow_->isVisible())
        mainWindow_->syncIndicator()->setSyncStateTo(state, animate);
}

PreferencesWindow* QtApplicationShell::preferencesWindow() const {
    return preferences_ ? preferences_->window() : nullptr;
}

void QtApplicationShell::showMainWindow() {
    ensureTaskList();
    if (!mainWindow_) {
        if (!taskEditor_ || !ensureDatePickerManager())
            return;  // no store open yet
        mainWindow_ = new MainWindow(MainWindow::Services{*delegate_, *datePicker_, *taskEditor_,
                                                          UserDefaults::standard(),
                                                          MainLoop::current(), Clock::current()});
        AppDelegate* delegate = delegate_;
        mainWindow_->setChartsArea(new ChartsArea(ChartsArea::Services{
            delegate_->managedObjectContext(), UserDefaults::standard(),
            NotificationCenter::defaultCenter(), MainLoop::current(),
            [delegate] { return delegate->storeStack().persistentStoreCoordinatorForBackground(); },
            [delegate] { return delegate->roundingEnabled(); }}));
        connect(mainWindow_, &MainWindow::closed, this, [this] {
            if (delegate_ && delegate_->mainWindowIsOpen())
                delegate_->closeMainWindow();
        });
        connect(mainWindow_, &MainWindow::importCsvRequested, this, [this] {
            if (CsvWindows* windows = csvWindows())
                windows->showImport();
        });
        connect(mainWindow_, &MainWindow::exportCsvRequested, this, [this] {
            if (CsvWindows* windows = csvWindows(); windows && mainWindow_)
                windows->showExport(mainWindow_->timedEntries(), mainWindow_);
        });
    } else {
        mainWindow_->reload();
    }
    if (delegate_)
        mainWindow_->syncIndicator()->setSyncStateTo(delegate_->syncIndicatorState(), false);
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
}

MainWindow* QtApplicationShell::mainWindow() const {
    return mainWindow_;
}

ZRDatePickerManager* QtApplicationShell::ensureDatePickerManager() {
    if (!datePicker_ && !released_ && hasContext()) {
        AppDelegate* delegate = delegate_;
        datePicker_ = std::make_unique<ZRDatePickerManager>(
            delegate_->managedObjectContext(), UserDefaults::standard(),
            NotificationCenter::defaultCenter(), MainLoop::current(), [delegate] {
                return delegate->storeStack().persistentStoreCoordinatorForBackground();
            });
    }
    return datePicker_.get();
}

void QtApplicationShell::closeMainWindow() {
    if (mainWindow_)
        mainWindow_->hide();
}

bool QtApplicationShell::isMainWindowOpen() const {
    return mainWindow_ && mainWindow_->isVisible();
}

void QtApplicationShell::showTimersRunningWindow(const std::string& messageText,
                                                 const std::string& informativeText) {
    if (!timersRunning_) {
        timersRunning_ = new TimersRunningWindow();
        connect(timersRunning_, &TimersRunningWindow::stopChosen, this, [this] {
            if (delegate_)
                delegate_->timersRunningOnQuitStop();
        });
        connect(timersRunning_, &TimersRunningWindow::keepChosen, this, [this] {
            if (delegate_)
                delegate_->timersRunningOnQuitKeep();
        });
    }
    milestone_report::line("alert", messageText);
    timersRunning_->setTexts(QString::fromStdString(messageText),
                             QString::fromStdString(informativeText));
    timersRunning_->present();
}

void QtApplicationShell::closeTimersRunningWindow() {
    if (timersRunning_)
        timersRunning_->hide();
}

void QtApplicationShell::showDatabaseUpdateWindow(const std::string& text, double maximum) {
    if (!databaseUpdate_)
        databaseUpdate_ = new DatabaseUpdateWindow();
    databaseUpdate_->present(QString::fromStdString(text), maximum);
}

void QtApplicationShell::setDatabaseUpdateProgress(double value) {
    if (databaseUpdate_)
        databaseUpdate_->setProgress(value);
}

void QtApplicationShell::closeDatabaseUpdateWindow() {
    if (databaseUpdate_)
        databaseUpdate_->hide();
}

void QtApplicationShell::showRestrictedModeWindow(const std::string& text) {
    if (!restrictedMode_)
        restrictedMode_ = new RestrictedModeWindow();
    restrictedMode_->present(QString::fromStdString(text));
}

void QtApplicationShell::closeRestrictedModeWindow() {
    if (restrictedMode_)
        restrictedMode_->hide();
}

}  // namespace ravelong

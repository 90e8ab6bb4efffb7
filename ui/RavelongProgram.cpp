#include "ui/RavelongProgram.h"

#include <unistd.h>

#include <QApplication>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDateTime>
#include <QEvent>
#include <QSessionManager>
#include <cstdio>
#include <cstdlib>

#include "app/AppDelegate.h"
#include "app/AppStrings.h"
#include "app/ProcessStart.h"
#include "app/SavePathTexts.h"
#include "core/calendar/ZRCalendar.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "exchange/LegacyStoreUpgrade.h"
#include "exchange/ZRAutomaticBackup.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "foundation/Version.h"
#include "platform/LinuxDeviceIdentity.h"
#include "platform/SessionAutostart.h"
#include "platform/UserScriptRunner.h"
#include "scripting/ZRScriptApplication.h"
#include "sync/engine/StoreSyncEngine.h"
#include "sync/engine/SyncDeviceId.h"
#include "ui/LogindShutdownWatcher.h"
#include "ui/LogindSleepWatcher.h"
#include "ui/MainWindow.h"
#include "ui/MilestoneReport.h"
#include "ui/NotificationBridge.h"
#include "ui/PreferencesWindow.h"
#include "ui/QtAlertPresenter.h"
#include "ui/QtApplicationShell.h"
#include "ui/QtMainLoop.h"
#include "ui/ScriptingAdaptor.h"
#include "ui/SignalWatcher.h"
#include "ui/SingleInstance.h"
#include "ui/SyncPane.h"
#include "ui/SyncServices.h"
#include "ui/SystemClockWatcher.h"
#include "ui/TaskPanel.h"
#include "ui/TestCommandChannel.h"
#include "ui/TestWindows.h"
#include "ui/TimeZoneWatcher.h"
#include "ui/TrayHostWaiter.h"
#include "ui/UiTexts.h"

namespace ravelong {

// Declared in the order they are made; destroyed in reverse, so the delegate goes before the
// shell it talks to and the loop goes last.
struct RavelongProgram::Parts {
    QtMainLoop loop;
    LinuxDeviceIdentity identity;
    QtAlertPresenter alerts;
    SingleInstance instance;
    std::unique_ptr<UserScriptRunner> userScript;
    std::unique_ptr<SignalWatcher> signalWatcher;
    std::unique_ptr<LogindShutdownWatcher> logind;
    std::unique_ptr<LogindSleepWatcher> sleep;
    std::unique_ptr<QtApplicationShell> shell;
    std::unique_ptr<ZRAutomaticBackup> backup;    // used by the delegate: outlives it
    std::unique_ptr<LegacyStoreUpgrade> upgrade;  // the same
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<SyncServices> sync;  // works with the delegate: goes before it
    std::unique_ptr<NotificationBridge> bridge;
    std::unique_ptr<TrayHostWaiter> trayWaiter;
    std::unique_ptr<TestCommandChannel> commands;
    std::unique_ptr<TestWindows> testWindows;  // made with the commands, after the launch
    std::unique_ptr<TimeZoneWatcher> zoneWatcher;
    std::unique_ptr<SystemClockWatcher> clockWatcher;
    std::unique_ptr<ZRScriptApplication> scripting;
    std::unique_ptr<ScriptingAdaptor> scriptingAdaptor;
};

RavelongProgram::RavelongProgram(QApplication& application)
    : application_(application), parts_(std::make_unique<Parts>()) {}

RavelongProgram::~RavelongProgram() {
    if (parts_) {
        // The services go before the objects they point at.
        parts_->scriptingAdaptor.reset();
        parts_->scripting.reset();
        UserScript::setCurrent(nullptr);
        AlertPresenter::setCurrent(nullptr);
        DeviceIdentity::setCurrent(nullptr);
        parts_->zoneWatcher.reset();
        parts_->clockWatcher.reset();
        parts_->commands.reset();
        parts_->testWindows.reset();
        parts_->bridge.reset();
        // The panel's list reads the delegate's store: it goes first.
        if (parts_->shell)
            parts_->shell->releaseTaskList();
        if (parts_->sync) {
            parts_->delegate->setSyncRequester(nullptr);
            parts_->shell->setSyncSetup(nullptr);
            parts_->shell->setQuitWait({});
            parts_->sync.reset();
        }
        parts_->delegate.reset();
        parts_->shell.reset();
        MainLoop::setCurrent(nullptr);
    }
}

int RavelongProgram::run() {
    Parts& parts = *parts_;
    MainLoop::setCurrent(&parts.loop);
    DeviceIdentity::setCurrent(&parts.identity);
    parts.alerts.setShownObserver(
        [](const Alert& alert) { milestone_report::line("alert", alert.messageText); });
    AlertPresenter::setCurrent(&parts.alerts);
    qRegisterMetaType<QDBusObjectPath>();
    qRegisterMetaType<QDBusUnixFileDescriptor>();

    // Before anything touches the settings file: a second start must leave it alone.
    switch (parts.instance.claim()) {
        case SingleInstance::Role::primary:
            break;
        case SingleInstance::Role::secondary:
            return 0;
        case SingleInstance::Role::activateFailed:
            std::fprintf(stderr, "ravelong: Ravelong is already running but does not respond.\n");
            return 1;
    }

    const DataLocations locations = DataLocations::standard();
    process_start::writeStartPreferences(locations);
    // The user's script is looked for once, before any timer can start.
    parts.userScript = std::make_unique<UserScriptRunner>(UserScriptRunner::defaultScriptsFolder(),
                                                          parts.loop, parts.alerts);
    UserScript::setCurrent(parts.userScript.get());

    parts.signalWatcher = std::make_unique<SignalWatcher>();
    connect(parts.signalWatcher.get(), &SignalWatcher::caught, this,
            [this](int) { sessionEnding(); });
    parts.logind = std::make_unique<LogindShutdownWatcher>();
    connect(parts.logind.get(), &LogindShutdownWatcher::shutdownStarting, this, [this] {
        sessionEnding();
        parts_->logind->handled();
    });
    connect(&application_, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { sessionEnding(); });

    parts.shell = std::make_unique<QtApplicationShell>();
    parts.sleep = std::make_unique<LogindSleepWatcher>();
    connect(parts.sleep.get(), &LogindSleepWatcher::goingToSleep, parts.shell.get(),
            &QtApplicationShell::machineGoingToSleep);
    connect(parts.sleep.get(), &LogindSleepWatcher::wokeUp, parts.shell.get(),
            &QtApplicationShell::machineWokeUp);
    parts.shell->setShutdownWatcher(parts.logind.get());
    parts.shell->setSleepWatcher(parts.sleep.get());
    parts.delegate = std::make_unique<AppDelegate>(
        *parts.shell, AppDelegate::Options{locations, kRavelongBuildNumber});
    parts.shell->setDelegate(parts.delegate.get());
    parts.backup = std::make_unique<ZRAutomaticBackup>(
        [delegate = parts.delegate.get()]() -> ManagedObjectContext* {
            auto context = delegate->storeStack().managedObjectContext();
            return context ? *context : nullptr;
        },
        Clock::current(), locations);
    parts.delegate->setAutomaticBackup(parts.backup.get());
    parts.delegate->storeStack().setNewestBackupFinder(
        [locations] { return ZRAutomaticBackup::newestBackup(locations); });
    parts.shell->setAutomaticBackup(parts.backup.get());
    parts.upgrade = std::make_unique<LegacyStoreUpgrade>(parts.delegate->storeStack());
    parts.delegate->setLegacyUpgrade(parts.upgrade.get());
    connect(&parts.instance, &SingleInstance::activateRequested, parts.shell.get(),
            &QtApplicationShell::bringForward);
    parts.instance.setHotKeyHandler([shell = parts.shell.get()](const QString& identifier) {
        return shell->performHotKey(identifier);
    });

    parts.bridge = std::make_unique<NotificationBridge>(
        NotificationCenter::defaultCenter(),
        std::vector<std::string>{
            std::string(kZRTimeUpdate), std::string(kMenuBarNeedsToReloadTotalTime),
            std::string(kZRTaskNameDidChange), std::string(kZRRearrangeTaskArrays),
            std::string(kReloadMenuBarPanelTable)});
    connect(parts.bridge.get(), &NotificationBridge::notified, this, [this](const QString& name) {
        const std::string which = name.toStdString();
        if (which == kZRTimeUpdate) {
            parts_->shell->tickTray();
        } else if (which == kMenuBarNeedsToReloadTotalTime) {
            parts_->shell->refreshTray();
        } else {
            parts_->shell->refreshTaskLists();
            parts_->shell->refreshTray();
        }
    });
    application_.installEventFilter(this);
    // A zone in TZ is the program's zone whatever the machine's is; otherwise a traveller's new
    // zone must take effect without a restart.
    const char* tz = std::getenv("TZ");
    if (tz == nullptr) {
        parts.zoneWatcher = std::make_unique<TimeZoneWatcher>();
        connect(parts.zoneWatcher.get(), &TimeZoneWatcher::zoneChanged, this,
                [this] { calendarSettingsChanged(); });
    }

    // Day ends move when the clock is set, after a sleep and with the time zone.
    parts.clockWatcher = std::make_unique<SystemClockWatcher>();
    connect(parts.clockWatcher.get(), &SystemClockWatcher::clockChanged, parts.shell.get(),
            &QtApplicationShell::rearmNewDayTimer);
    connect(parts.clockWatcher.get(), &SystemClockWatcher::woke, parts.shell.get(),
            &QtApplicationShell::rearmNewDayTimer);

    if (TestCommandChannel::enabledByEnvironment()) {
        parts.commands = std::make_unique<TestCommandChannel>(STDIN_FILENO);
        connect(parts.commands.get(), &TestCommandChannel::received, this,
                [this](const TestCommandChannel::Command& command, const QString& line) {
                    using Kind = TestCommandChannel::Command::Kind;
                    bool done = true;
                    switch (command.kind) {
                        case Kind::clickTask:
                            done = parts_->shell->clickTaskNamed(command.argument);
                            break;
                        case Kind::togglePanel:
                            parts_->delegate->togglePanel();
                            break;
                        case Kind::answerAlert:
                            done = parts_->alerts.answerShownAlert(command.number);
                            break;
                        case Kind::quit:
                            parts_->delegate->quitApplication();
                            break;
                        case Kind::addTask:
                        case Kind::addSubtask:
                        case Kind::renameTask:
                        case Kind::undo:
                            done = panelCommand(command);
                            break;
                        case Kind::mainWindowPreset:
                        case Kind::addTiming:
                        case Kind::deleteTiming:
                        case Kind::mainWindowChart:
                            done = mainWindowCommand(command);
                            break;
                        case Kind::preferences:
                        case Kind::syncNow:
                            done = preferencesCommand(command);
                            break;
                        case Kind::showWindow:
                            done =
                                parts_->testWindows && parts_->testWindows->show(command.argument);
                            break;
                        case Kind::closeWindow:
                            done = TestWindows::close(command.argument);
                            break;
                    }
                    TestCommandChannel::acknowledge(line, done);
                });
    }

    // Started by the user, the tray host is there (or never will be): the tray item is made
    // with the launch. Started with the session, it may still be coming.
    const bool startedAtLogin = session_autostart::startedBySessionAutostart();
    if (startedAtLogin && !TrayHostWaiter::statusNotifierHostPresent()) {
        parts.trayWaiter = std::make_unique<TrayHostWaiter>(true, kTrayHostWaitMilliseconds);
        connect(parts.trayWaiter.get(), &TrayHostWaiter::ready, parts.shell.get(),
                &QtApplicationShell::installTray);
        parts.trayWaiter->start();
    } else {
        parts.shell->installTray();
    }

    if (!parts.delegate->applicationDidFinishLaunching()) {
        milestone_report::milestone("exiting");
        return 1;
    }
    launched_ = true;
    milestone_report::milestone("repaired");
    if (ZRTimerControllerOSX* timer = parts.delegate->timerController()) {
        parts.scripting = std::make_unique<ZRScriptApplication>(
            parts.delegate->managedObjectContext(), *timer, parts.userScript->isInstalled());
        parts.scriptingAdaptor = std::make_unique<ScriptingAdaptor>(*parts.scripting);
        parts.scriptingAdaptor->exportOn(QDBusConnection::sessionBus());
    }
    startSync();
    if (parts.commands)
        parts.testWindows = std::make_unique<TestWindows>(
            TestWindows::Services{*parts.shell, *parts.delegate, parts.sync.get()});
    parts.shell->launchFinished();
    if (sessionEndPending_) {
        sessionEndPending_ = false;
        sessionEnding();
    }

    const int status = QApplication::exec();
    milestone_report::milestone("exiting");
    closeStoreForExit();
    // A session that ended with changes the store could not take (a full disk at logout) says so
    // in the exit status; what was given up is in the log.
    return status != 0 ? status : parts.delegate->exitStatus();
}

bool RavelongProgram::panelCommand(const TestCommandChannel::Command& command) {
    using Kind = TestCommandChannel::Command::Kind;
    TaskPanel* panel = parts_->shell->panel();
    if (!panel)
        return false;
    switch (command.kind) {
        case Kind::addTask:
            return panel->addTask() && panel->commitNameEditor(command.argument);
        case Kind::addSubtask:
            return panel->addSubtask(panel->rowNamed(command.argument)) &&
                   panel->commitNameEditor(command.secondArgument);
        case Kind::renameTask:
            return panel->startRenaming(panel->rowNamed(command.argument)) &&
                   panel->commitNameEditor(command.secondArgument);
        case Kind::undo:
            return panel->undo();
        default:
            return false;
    }
}

bool RavelongProgram::mainWindowCommand(const TestCommandChannel::Command& command) {
    using Kind = TestCommandChannel::Command::Kind;
    MainWindow* window = parts_->shell->mainWindow();
    if (!window || !window->isVisible())
        return false;
    switch (command.kind) {
        case Kind::mainWindowPreset:
            return window->choosePresetNamed(command.argument);
        case Kind::addTiming: {
            // "2026-12-01 09:00 1:30"
            const QStringList parts = command.secondArgument.split(QLatin1Char(' '));
            if (parts.size() != 3)
                return false;
            const QDateTime start = QDateTime::fromString(parts[0] + QLatin1Char(' ') + parts[1],
                                                          QStringLiteral("yyyy-MM-dd HH:mm"));
            return start.isValid() && window->addTimingByHand(command.argument, start, parts[2]);
        }
        case Kind::deleteTiming:
            return window->deleteTimingAtRow(command.number);
        case Kind::mainWindowChart:
            return window->showChart(command.argument == QLatin1String("bar")    ? ChartKind::bar
                                     : command.argument == QLatin1String("line") ? ChartKind::line
                                                                                 : ChartKind::pie);
        default:
            return false;
    }
}

bool RavelongProgram::preferencesCommand(const TestCommandChannel::Command& command) {
    using Kind = TestCommandChannel::Command::Kind;
    if (command.kind == Kind::preferences)
        parts_->shell->showPreferencesWindow();
    PreferencesWindow* window = parts_->shell->preferencesWindow();
    if (!window || !window->isVisible())
        return false;
    if (command.kind == Kind::preferences)
        return window->showPane(command.argument);
    SyncPane* pane = window->syncPane();
    if (!pane || !pane->forceSyncEnabled())
        return false;
    pane->forceSync();
    return true;
}

void RavelongProgram::closeStoreForExit() {
    // The loop has ended: applicationWillTerminate has run (the last save, the settings written),
    // and nothing saves any more. The store files are closed properly now, but the records are
    // left to the end of the process: freeing a heavy user's hundreds of thousands of records one
    // by one takes longer than all the rest of the quit, and the system takes the memory back at
    // once. They stay valid for the delegate's helpers, which are destroyed after this.
    StoreStack::ClosedContexts contexts = parts_->delegate->storeStack().closeForExit();
    (void)contexts.main.release();
    (void)contexts.legacy.release();
}

void RavelongProgram::startSync() {
    Parts& parts = *parts_;
    AppDelegate* delegate = parts.delegate.get();
    QtApplicationShell* shell = parts.shell.get();
    // The merge engine for a back-end: the one place that chooses it. It works on the delegate's
    // main context, saves through the save path and keeps its state beside the store.
    SyncSetup::MergerFactory makeMerger =
        [delegate, &loop = parts.loop](SECloudFileSystem& cloud) -> std::unique_ptr<SyncMerger> {
        const std::filesystem::path stateFolder =
            delegate->storeStack().locations().applicationFilesDirectory() / "sync-state";
        ManagedObjectContext& context = delegate->managedObjectContext();
        return std::make_unique<StoreSyncEngine>(StoreSyncEngine::Services{
            loop, Clock::current(), context,
            [delegate, &context]() -> Status {
                if (delegate->saveContext(context))
                    return Status();
                return makeSEError(kSEErrorUnknown, "The merged changes could not be saved.");
            },
            cloud, stateFolder, syncDeviceIdIn(stateFolder)});
    };
    parts.sync = std::make_unique<SyncServices>(SyncServices::Options{
        [delegate](std::int32_t state, bool animate) { delegate->setSyncStateTo(state, animate); },
        parts.loop, Clock::current(), NotificationCenter::defaultCenter(), UserDefaults::standard(),
        UserDefaults::group(), std::move(makeMerger),
        [delegate, shell] {
            shell->closePanel();
            if (delegate->mainWindowIsOpen())
                delegate->closeMainWindow();
        }});
    parts.sync->start();
    delegate->setSyncRequester(&parts.sync->setup());
    shell->setSyncSetup(&parts.sync->setup());
    shell->setQuitWait([sync = parts.sync.get()](std::function<void()> rest) {
        sync->waitForTerminatingMerge(std::move(rest));
    });
}

void RavelongProgram::sessionEnding() {
    if (parts_->sync)
        // Nothing waits at the end of a session: no merge starts any more.
        parts_->sync->setup().waitForTerminatingMerge([] {});
    if (!launched_) {
        // The launch goes on to its end (an alert of the launch answers as Escape would), and
        // the shutdown follows it.
        sessionEndPending_ = true;
        parts_->alerts.dismissAlerts();
        return;
    }
    parts_->delegate->computerWillShutdownRestartLogout();
}

bool RavelongProgram::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &application_ && event->type() == QEvent::LocaleChange)
        calendarSettingsChanged();
    return QObject::eventFilter(watched, event);
}

void RavelongProgram::calendarSettingsChanged() {
    ZRCalendar::refreshUserCalendarFromEnvironment();
    parts_->shell->rearmNewDayTimer();
    if (!launched_)
        return;
    parts_->delegate->appController().handleGregorianAlertWithMode(1);
    // "Today" and the periods may start at other instants now.
    NotificationCenter::defaultCenter().post(std::string(kMenuBarNeedsToReloadTotalTime));
}

}  // namespace ravelong

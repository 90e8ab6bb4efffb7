#include "app/AppLaunchSequence.h"

#include <cstdint>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "app/AppDelegate.h"
#include "app/AppMaintenanceTick.h"
#include "app/AppSavePath.h"
#include "app/AppStrings.h"
#include "app/ApplicationShell.h"
#include "app/CalendarIdentifier.h"
#include "app/DataDirectoryMove.h"
#include "app/LaunchTexts.h"
#include "app/OriginNames.h"
#include "app/PreferenceKeys.h"
#include "app/SettingsSaving.h"
#include "app/ZRUserDefaults2.h"
#include "core/chain/ChainRepair.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/repairs/ColorMigration.h"
#include "core/repairs/DuplicateTaskRepairs.h"
#include "core/repairs/MenuBarVisibilityRepairs.h"
#include "core/repairs/OriginRepairs.h"
#include "core/repairs/PreferencesRepairs.h"
#include "core/repairs/TimingSetRepairs.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/totals/TimingSetTotals.h"
#include "core/tree/TreeRepairs.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

namespace ravelong {

namespace {

constexpr const char* kLaunchOperation = "applicationDidFinishLaunching";
constexpr std::int64_t kBackupSwitchBelowVersion = 1500;
constexpr std::int64_t kBackupCountAfterSwitch = 4;
constexpr std::int64_t kShowUnarchivedTasks = 2;
constexpr double kOpenMainWindowDelay = 0.5;
constexpr std::int64_t kLastNewDayHour = 23;
// A running timing left by a crash is offered for stopping when it started more than 10 seconds
// and less than a week before the launch; anything else is dropped without asking.
constexpr double kCrashRecentMinimum = 10.0;
constexpr double kCrashRecentMaximum = 604800.0;

// The pattern with its "%ld" placeholders replaced by the numbers, in order.
std::string withNumbers(std::string text, std::initializer_list<std::int64_t> numbers) {
    std::size_t position = 0;
    for (std::int64_t number : numbers) {
        position = text.find("%ld", position);
        if (position == std::string::npos)
            break;
        const std::string digits = std::to_string(number);
        text.replace(position, 3, digits);
        position += digits.size();
    }
    return text;
}

// The text stored under `key`, or nothing when the key holds no text (absent, or a number).
std::optional<std::string> textValue(const UserDefaults& defaults, std::string_view key) {
    // A string read answers its default for values of other types; two different defaults tell a
    // stored text apart from any of them.
    std::string first = defaults.stringForKey(key, "\x01");
    if (first != defaults.stringForKey(key, "\x02"))
        return std::nullopt;
    return first;
}

std::int64_t menuBarCustomDurationForText(const std::string& text) {
    if (text == launch_texts::kThisWeek)
        return 1;
    if (text == launch_texts::kThisMonth)
        return 2;
    if (text == launch_texts::kThisYear)
        return 3;
    return 0;
}

// Whether the user is asked about a running timing left by a crash: one that started more than
// 10 seconds and less than a week before now, or one that starts after now (the clock was set
// back, so its age says nothing). Ages from 0 to 10 seconds and of a week or more are dropped.
bool isAskedAbout(const ZRCDTiming& timing, Instant now) {
    if (!timing.startDate())
        return false;
    const double elapsed = now - *timing.startDate();
    return elapsed < 0.0 || (elapsed > kCrashRecentMinimum && elapsed < kCrashRecentMaximum);
}

struct Repair {
    const char* name;
    bool (*run)(ManagedObjectContext&);
};

// The repairs of the launch, in the order they must run: the day aggregates first (the others
// read them), the chain before the menu-bar flags (which keep a sound chain), the preferences last.
constexpr Repair kLaunchRepairs[] = {
    {"fixTimingSetsAndTimings", store_repairs::fixTimingSetsAndTimings_inContext},
    {"fixParentTaskTimingsAndArchive", task_tree_repairs::fixParentTaskTimingsAndArchive_inContext},
    {"consolidateOrigins", store_repairs::consolidateOrigins_inContext},
    {"fixDuplicateTaskIDs", store_repairs::fixDuplicateTaskIDs_inContext},
    {"fixTaskChain", task_chain::fixTaskChain_inContext},
    {"fixMenuBarVisibilities", store_repairs::fixMenuBarVisibilities_inContext},
    {"migrateColors", store_repairs::migrateColors_inContext},
    {"fixPreferences", store_repairs::fixPreferences_inContext},
};

}  // namespace

AppLaunchSequence::AppLaunchSequence(AppDelegate& delegate, ApplicationShell& shell,
                                     AppLifecycleState& state, AppMaintenanceTick& maintenance,
                                     SettingsSaving& settings, AppServices services)
    : delegate_(delegate),
      shell_(shell),
      state_(state),
      maintenance_(maintenance),
      settings_(settings),
      services_(services) {}

AppLaunchSequence::~AppLaunchSequence() {
    services_.loop.cancel(openMainWindowTimer_);
}

void AppLaunchSequence::setLegacyUpgrade(LegacyUpgrade* upgrade) {
    legacyUpgrade_ = upgrade;
}

bool AppLaunchSequence::applicationDidFinishLaunching() {
    if (!passVersionGate()) {
        shell_.requestQuit();
        return false;
    }
    moveStoreToCurrentDirectory(delegate_.options_.locations);
    shell_.registerDisplayReconfigurationCallback();
    resetLaunchState();
    if (!currentCalendarIsGregorian())
        delegate_.appController_->handleGregorianAlertWithMode(0);
    if (!openStore()) {
        shell_.requestQuit();
        return false;
    }

    state_.firstRun = runFirstRunTest();
    updateOriginNames();

    delegate_.timerController_ = std::make_unique<ZRTimerControllerOSX>(delegate_);
    shell_.createMenuBarControllers();
    state_.menubarPanelIsVisible = false;
    state_.mainWindowIsOpen = false;
    state_.allowCloseMainWindow = true;

    if (!services_.defaults.exists(kZRShowTasks))
        ZRUserDefaults2::setShowTasks(kShowUnarchivedTasks);

    if (shouldMigrateLegacyStore())
        migrateLegacyStore();
    state_.allowTogglePanel = true;

    runRepairPass();
    runCrashCheck();
    ZRUserDefaults2::setDidQuitProperly(false);
    // Written now: the next launch takes this run for crashed only when the mark is on disk.
    settings_.synchronize();

    // Nothing that changes data runs before the crash question is answered: the main loop keeps
    // running under a modal question, and a tick could cut the very timer the user is asked about.
    maintenance_.start();
    if (ZRTimerControllerOSX* timerController = delegate_.timerController())
        timerController->updateTimerForRunningTimings();

    if (state_.firstRun)
        delegate_.togglePanel();
    applyLegacyNewDayKey();
    if (ZRUserDefaults2::openMainWindowAtStart()) {
        openMainWindowTimer_ = services_.loop.runAfter(kOpenMainWindowDelay, [this] {
            openMainWindowTimer_ = 0;
            delegate_.openMainWindow();
        });
    }
    state_.launched = true;
    return true;
}

bool AppLaunchSequence::passVersionGate() {
    const std::int64_t stored = ZRUserDefaults2::versionNumber();
    const std::int64_t bundleVersion = delegate_.options_.bundleVersion;
    if (stored < bundleVersion) {
        // Builds of the other program before 1500 shipped with automatic backups off; settings
        // taken over from one of them get backups switched on once, to the default folder.
        // Settings this program wrote carry its build (numbered on its own) and are left as the
        // user set them.
        const bool foreignSettings = !services_.defaults.exists(kRavelongSettingsBuild);
        if (foreignSettings && stored < kBackupSwitchBelowVersion &&
            !ZRUserDefaults2::autoBackupEnabled()) {
            ZRUserDefaults2::setAutoBackupEnabled(true);
            ZRUserDefaults2::setAutoBackupCount(kBackupCountAfterSwitch);
            services_.defaults.remove(kZRAutoBackupLocationData);
            settings_.synchronize();
        }
        ZRUserDefaults2::setVersionNumber(bundleVersion);
    } else if (stored > bundleVersion) {
        Alert alert;
        alert.messageText = launch_texts::kOutdatedVersion;
        alert.informativeText = launch_texts::kUseLatestVersion;
        alert.buttons = {std::string(launch_texts::kQuit)};
        services_.alerts.runModal(alert);
        return false;
    }
    if (services_.defaults.integerForKey(kRavelongSettingsBuild, -1) != bundleVersion)
        services_.defaults.setInteger(kRavelongSettingsBuild, bundleVersion);
    return true;
}

void AppLaunchSequence::resetLaunchState() {
    state_.syncIndicatorState = 0;
    state_.lastUnsyncedClockAlertDate = kSentinelDate;
    state_.allowTogglePanel = false;
    state_.keepTimersRunningOnQuit = false;
    delegate_.savePath_->resetForLaunch();
}

bool AppLaunchSequence::openStore() {
    delegate_.storeStack_.setContextDelegate(&delegate_);
    Result<ManagedObjectContext*> opened = delegate_.storeStack_.managedObjectContext();
    if (!opened)
        return false;  // presented by the store stack
    delegate_.mainContext_ = opened.value();
    delegate_.makeContextHelpers();
    delegate_.cdPreferences_ = ZRCDPreferences::getPreferences_inContext(*delegate_.mainContext_);
    return true;
}

bool AppLaunchSequence::runFirstRunTest() {
    if (!ZRUserDefaults2::exists())
        return true;
    ZRUserDefaults2::fixUserDefaults();
    ZRUserDefaults2::setMenuBarSearchTerm(std::string());
    UserDefaults& defaults = services_.defaults;
    if (std::optional<std::string> text = textValue(defaults, kZRMenuBarCustomDuration))
        defaults.setInteger(kZRMenuBarCustomDuration, menuBarCustomDurationForText(*text));
    settings_.synchronize();
    return false;
}

void AppLaunchSequence::updateOriginNames() {
    const UserDefaults& defaults = services_.defaults;
    std::size_t changed = 0;
    if (defaults.stringForKey(kZRDeviceName).empty())
        changed += origin_names::applyDeviceNameToOrigins(*delegate_.mainContext_);
    if (defaults.stringForKey(kZRUserName).empty())
        changed += origin_names::applyUserNameToOrigins(*delegate_.mainContext_);
    if (changed > 0)
        delegate_.saveContext(*delegate_.mainContext_);
}

bool AppLaunchSequence::shouldMigrateLegacyStore() {
    const UserDefaults& defaults = services_.defaults;
    const bool onlyLegacyFiles = defaults.integerForKey(kZRFilesInOldDirectory) > 0 &&
                                 defaults.integerForKey(kZRFilesInNewDirectory) == 0;
    const bool unfinished = defaults.boolForKey(kZRNotMigrated);
    // The upgrade creates every record of the old data, so it only ever runs into an empty store:
    // the legacy folder stays where it is after an upgrade, and running it again would double
    // every task and timing.
    return (onlyLegacyFiles || unfinished) &&
           ZRCDTask::numberOfTasks_inContext(*delegate_.mainContext_) == 0;
}

void AppLaunchSequence::migrateLegacyStore() {
    if (!legacyUpgrade_) {
        logInfo(kLaunchOperation,
                "the data of a version up to 1.2.4 waits for its upgrade, which this build "
                "cannot do yet");
        return;
    }
    UserDefaults& defaults = services_.defaults;
    defaults.setBool(kZRNotMigrated, true);
    settings_.synchronize();
    shell_.showDatabaseUpdateWindow(std::string(launch_texts::kDatabaseUpdateText),
                                    legacyUpgrade_->getUIDCount());
    ScopedUndoRegistrationOff undoOff(*delegate_.mainContext_);
    legacyUpgrade_->continueDatabaseMigration(
        [this](double value) { shell_.setDatabaseUpdateProgress(value); });
    shell_.closeDatabaseUpdateWindow();
    delegate_.mainContext_->processPendingChanges();
    delegate_.saveContext(*delegate_.mainContext_);
}

void AppLaunchSequence::runRepairPass() {
    std::unique_ptr<ManagedObjectContext> privateContext =
        delegate_.storeStack_.newPrivateContext();
    if (!privateContext)
        return;
    bool changed = false;
    // The repairs run on their own thread while this one waits. The private context's save is
    // left to this thread: from the worker it would wait for the main loop to take the changes,
    // and the main loop is blocked right here.
    std::thread worker([&] {
        ScopedUndoRegistrationOff undoOff(*privateContext);
        for (const Repair& repair : kLaunchRepairs) {
            try {
                changed = repair.run(*privateContext) || changed;
            } catch (const std::exception& error) {
                logError(kLaunchOperation, std::string(repair.name) + ": " + error.what());
            }
        }
    });
    worker.join();

    // The repairs arrive in the main context as changes of its own; they are not the user's to
    // undo.
    ScopedUndoRegistrationOff undoOff(*delegate_.mainContext_);
    if (changed) {
        Status pushed = privateContext->save();
        if (!pushed) {
            logError(kLaunchOperation, "the repairs could not be handed to the main context: " +
                                           pushed.error().description);
        } else {
            delegate_.saveContext(*delegate_.mainContext_);
            delegate_.cdPreferences_ =
                ZRCDPreferences::getPreferences_inContext(*delegate_.mainContext_);
        }
    }
    // The copy of the whole graph takes a while to free; the launch goes on meanwhile.
    delegate_.storeStack_.discardContext(std::move(privateContext));

    if (timing_set_totals::recalculateStaleRoundedDurations_inContext(*delegate_.mainContext_) >
        0) {
        delegate_.mainContext_->processPendingChanges();
        delegate_.saveContext(*delegate_.mainContext_);
    }
}

void AppLaunchSequence::runCrashCheck() {
    std::vector<ZRCDTiming*> running =
        ZRCDTiming::getRunningTimings_inContext(*delegate_.mainContext_);
    // Only a run whose "still running" mark reached the settings file can have crashed: when the
    // file could not be written, an unset flag says nothing about how that run ended.
    const bool markedRunning =
        services_.defaults.exists(kZRDidQuit) && !ZRUserDefaults2::didQuitProperly();
    if (running.empty() || !markedRunning || !currentCalendarIsGregorian())
        return;
    const Instant now = services_.clock.now();
    ManagedObjectContext& context = *delegate_.mainContext_;

    auto deleteAndSave = [&](const std::vector<ZRCDTiming*>& timings) {
        ScopedUndoRegistrationOff undoOff(context);
        for (ZRCDTiming* timing : timings)
            ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context);
        context.processPendingChanges();
        delegate_.saveContext(context);
    };

    if (running.size() == 1) {
        ZRCDTiming* timing = running.front();
        if (!isAskedAbout(*timing, now)) {
            deleteAndSave(running);
            return;
        }
        if (!timing->task())
            return;
        const auto elapsed = static_cast<std::int64_t>(now - *timing->startDate());
        const bool inTheFuture = now < *timing->startDate();
        const std::int64_t seconds = inTheFuture ? -elapsed : elapsed;
        Alert alert;
        alert.messageText = launch_texts::kCrashedWhileTimerRunning;
        alert.informativeText =
            withNumbers(formatText(inTheFuture ? launch_texts::kTimerStartsInTheFuture
                                               : launch_texts::kTimerStartedAgo,
                                   {timing->task()->taskName().value_or("")}),
                        {seconds / 60, seconds % 60});
        alert.buttons = {std::string(launch_texts::kAddTiming), std::string(launch_texts::kCancel)};
        shell_.activate();
        if (services_.alerts.runModal(alert).buttonIndex != 0)
            return;
        ScopedUndoRegistrationOff undoOff(context);
        delegate_.timerController_->stopTiming(timing, 0.0, kNoteOverrideNone, false, false);
        context.processPendingChanges();
        delegate_.saveContext(context);
        return;
    }

    std::vector<ZRCDTiming*> recent;
    std::vector<ZRCDTiming*> stale;
    for (ZRCDTiming* timing : running)
        (isAskedAbout(*timing, now) ? recent : stale).push_back(timing);
    if (recent.empty()) {
        deleteAndSave(stale);
        return;
    }
    Alert alert;
    alert.messageText = launch_texts::kCrashedWhileTimersRunning;
    alert.informativeText = launch_texts::kStopTimersNow;
    alert.buttons = {std::string(launch_texts::kAddTimings), std::string(launch_texts::kCancel)};
    shell_.activate();
    if (services_.alerts.runModal(alert).buttonIndex != 0)
        return;
    ScopedUndoRegistrationOff undoOff(context);
    for (ZRCDTiming* timing : recent)
        delegate_.timerController_->stopTiming(timing, 0.0, kNoteOverrideNoPanel, false, false);
    for (ZRCDTiming* timing : stale)
        ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context);
    context.processPendingChanges();
    delegate_.saveContext(context);
}

void AppLaunchSequence::applyLegacyNewDayKey() {
    UserDefaults& defaults = services_.defaults;
    if (!defaults.exists(kZRNewDay))
        return;
    const std::int64_t hour = defaults.integerForKey(kZRNewDay);
    if (hour > kLastNewDayHour) {
        logError(kLaunchOperation,
                 "the old day cut-off " + std::to_string(hour) + " is not an hour of the day");
    } else if (hour > 0) {
        Status stored =
            ZRCDPreferences::setNewDayTo(static_cast<int>(hour), *delegate_.mainContext_);
        if (!stored)
            logError(kLaunchOperation,
                     "the old day cut-off could not be saved: " + stored.error().description);
    }
    defaults.remove(kZRNewDay);
    settings_.synchronize();
}

}  // namespace ravelong

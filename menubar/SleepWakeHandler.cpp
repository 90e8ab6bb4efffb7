#include "menubar/SleepWakeHandler.h"

#include <cmath>

#include "app/PreferenceKeys.h"
#include "core/calendar/DateComparisons.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/IdleTimeSource.h"
#include "core/services/StatusItemTime.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "menubar/IdleTexts.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

// A timer that started within this many seconds before waking was started by the wake itself
// (or just before sleep) and cannot have gathered idle time.
constexpr double kFreshTimerSeconds = 7.0;
constexpr double kConnectionRetrySeconds = 5.0;

}  // namespace

SleepWakeHandler::SleepWakeHandler(ZRTimerControllerOSX& timerController, UserDefaults& defaults,
                                   NotificationCenter& center, MainLoop& loop, Clock& clock,
                                   Hooks hooks)
    : timerController_(timerController),
      defaults_(defaults),
      center_(center),
      loop_(loop),
      clock_(clock),
      hooks_(std::move(hooks)) {}

SleepWakeHandler::~SleepWakeHandler() {
    if (retryTimer_)
        loop_.cancel(retryTimer_);
}

void SleepWakeHandler::receiveSleepNote() {
    ApplicationDelegate& delegate = timerController_.delegate();
    ManagedObjectContext& context = delegate.managedObjectContext();
    lastPutToSleep_ = clock_.now();
    // What an earlier sleep remembered must not count for this one: a wake that found no
    // timestamp of its own would otherwise measure idle time from that older sleep.
    idleTimeWhenComputerWentToSleep_ = 0.0;
    timestampWhenComputerWentToSleep_.reset();
    const std::vector<ZRCDTiming*> running = ZRCDTiming::getRunningTimings_inContext(context);
    if (running.empty())
        return;
    if (defaults_.boolForKey(kZRTimingWhenSleeping, true)) {
        if (defaults_.integerForKey(kZRIdleTime, 0) > 0) {
            IdleTimeSource* source = delegate.idleTimeSource();
            idleTimeWhenComputerWentToSleep_ =
                source ? source->secondsSinceLastEvent(IdleEventKind::mouseMoved) : 0.0;
            timestampWhenComputerWentToSleep_ = clock_.now();
        }
        return;
    }
    context.processPendingChanges();
    ZRUndoManager* undo = context.undoManager();
    if (undo) {
        undo->beginUndoGrouping();
        undo->setActionName(
            std::string(running.size() == 1 ? kUndoSleepStopTimer : kUndoSleepStopTimers));
    }
    timerController_.stopTimings(running, 0.0, kNoteOverrideNone, false, true);
    if (undo)
        undo->endUndoGrouping();
    if (StatusItemTime* item = delegate.statusItemTime())
        item->updateTime();
}

void SleepWakeHandler::wakeFromSleep() {
    ApplicationDelegate& delegate = timerController_.delegate();
    ManagedObjectContext& context = delegate.managedObjectContext();
    lastWakeFromSleep_ = clock_.now();
    timerController_.checkForAndHandleOvertimeTimings();
    const std::optional<Instant> start =
        ZRCDTiming::startDateOfLastModifiedRunningTiming_inContext(context);
    if (ZRCDTiming::aTimerIsRunning_inContext(context) && start &&
        clock_.now() - *start > kFreshTimerSeconds) {
        if (StatusItemTime* item = delegate.statusItemTime())
            item->updateTime();
        center_.post(std::string(kMenuBarTableViewNeedsToReloadConcernedRows));
        if (defaults_.integerForKey(kZRIdleTime, 0) > 0)
            checkIdleTimeAfterWakeFromSleep();
    }
    if (hooks_.setNewDayTimer)
        hooks_.setNewDayTimer();
    if (lastPutToSleep_ && hooks_.reloadAllMenuBarTimes &&
        !date_additions::isSameDayAs_withHourCutoff(
            *lastPutToSleep_, *lastWakeFromSleep_,
            ZRCDPreferences::currentNewDay_inContext(context)))
        hooks_.reloadAllMenuBarTimes();
}

void SleepWakeHandler::checkIdleTimeAfterWakeFromSleep() {
    retryTimer_ = 0;
    const std::int64_t state = defaults_.integerForKey(kZRConnectionState, 0);
    if (state % 100 != 0 && state / 100 > 0) {
        retryTimer_ =
            loop_.runAfter(kConnectionRetrySeconds, [this] { checkIdleTimeAfterWakeFromSleep(); });
        return;
    }
    ManagedObjectContext& context = timerController_.delegate().managedObjectContext();
    const std::int64_t limit = defaults_.integerForKey(kZRIdleTime, 0);
    if (!ZRCDTiming::aTimerIsRunning_inContext(context) || limit < 1 ||
        !timestampWhenComputerWentToSleep_)
        return;
    const double idle =
        idleTimeWhenComputerWentToSleep_ + (clock_.now() - *timestampWhenComputerWentToSleep_);
    if (std::trunc(idle) <= static_cast<double>(limit))
        return;
    timerController_.showIdleTimePanel(idle);
}

}  // namespace ravelong

#include <optional>
#include <string>

#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/UserScript.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/TimingStop.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

// Stands in for the user script while a continuation is created: the creator would announce the
// fresh uuid it makes up, which the continuation gives away for "<uuid>-001" right after.
class SilentUserScript final : public UserScript {
public:
    bool isInstalled() const override { return false; }
    void send(std::string, std::string) override {}
};

}  // namespace

// A timer left running over a long weekend and then some: started Friday 09:00, checked
// Wednesday 11:00 (98 hours). The timing ends Tuesday 09:00 (96 hours), and "<uuid>-001" runs on
// from Tuesday 09:00, so the two together cover exactly what the one did.
int ZRTimerControllerOSX::checkForAndHandleOvertimeTimings() {
    ManagedObjectContext& context = this->context();
    int cuts = 0;
    for (ZRCDTiming* timing : ZRCDTiming::getRunningTimings_inContext(context)) {
        if (timing->duration() <= kLongestTiming)
            continue;
        // No undo step: undoing a cut would bring back a timer the next check cuts again, and
        // the steps recorded before no longer match the records.
        context.processPendingChanges();
        if (ZRUndoManager* undoManager = context.undoManager())
            undoManager->removeAllActions();
        {
            ScopedUndoRegistrationOff undoOff(context);
            ZRCDTiming* current = timing;
            while (current && current->running() && current->duration() > kLongestTiming) {
                current = splitOvertimeTiming(*current);
                ++cuts;
            }
            delegate_.saveContext(context);
        }
    }
    if (cuts == 0)
        return 0;
    if (!isTimerRunning())
        startTimer();
    NotificationCenter::defaultCenter().post(std::string(kZRTimeUpdate), this);
    return cuts;
}

ZRCDTiming* ZRTimerControllerOSX::splitOvertimeTiming(ZRCDTiming& timing) {
    ManagedObjectContext& context = this->context();
    const double excess = timing.duration() - kLongestTiming;
    const std::int16_t originType = timing.origin() ? timing.origin()->type() : kOriginTypeUser;
    ZRCDTask* task = timing.task();
    const std::optional<std::string> uuid = timing.uuid();
    const std::optional<std::string> note = timing.note();

    // Not a stop the user asked for, so the menu bar item is not told about it.
    ZRCDTiming* stopped = timing_stop::stopThisTimingSecondsAgo(timing, excess, nullptr);
    if (!stopped || !stopped->endDate())
        return nullptr;
    const Instant cut = *stopped->endDate();
    if (!task) {
        logWarning("checkForAndHandleOvertimeTimings", "timing " + uuid.value_or("?") +
                                                           " has no task; it was ended without a "
                                                           "continuation");
        return nullptr;
    }

    ZRCDTiming* continuation = nullptr;
    {
        SilentUserScript silent;
        ScopedUserScript quiet(silent);
        continuation =
            ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, originType, context);
    }
    if (!continuation)
        return nullptr;
    if (uuid && !uuid->empty())
        continuation->setUuid(*uuid + std::string(kOvertimeUuidSuffix));
    // Exactly where the first piece ended: the pieces add up to the time the timer ran.
    timing_stop::setStartDateTo(*continuation, cut, false);
    if (note && !note->empty())
        continuation->setNote(note);
    scheduleUserScriptCall(kTimerStartedForTiming, continuation->uuid());
    return continuation;
}

}  // namespace ravelong

#include "core/timer/TimingStop.h"

#include <cmath>

#include "core/model/ContextSaving.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/StatusItemTime.h"
#include "core/services/UserScript.h"
#include "core/timer/TimerTexts.h"
#include "foundation/Clock.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::timing_stop {

namespace {

bool isLive(const ZRCDTiming& timing) {
    return timing.managedObjectContext() && !timing.isDeleted();
}

}  // namespace

ZRCDTiming* stopThisTimingSecondsAgo(ZRCDTiming& timing, double seconds,
                                     StatusItemTime* statusItem) {
    if (!isLive(timing) || !timing.running() || !std::isfinite(seconds))
        return nullptr;
    if (seconds < 0.0)
        seconds = 0.0;
    ManagedObjectContext& context = *timing.managedObjectContext();
    const Instant now = Clock::current().now();
    const Instant end = now - seconds;

    // Started 12 minutes ago and stopped "10 minutes ago": a 2-minute timing. Started 5 minutes
    // ago and stopped 10 minutes ago, or stopped 5 seconds after the start: nothing worth keeping.
    // A timing whose start was lost cannot be measured; it is ended and kept for its note.
    if (timing.startDate() && *timing.startDate() > end - kShortestTiming) {
        ZRCDTiming::deleteTimingAndUpdateTimingSets(&timing, context);
        context.processPendingChanges();
        return nullptr;
    }

    timing.setEndDate(end);
    timing.setModified(now);

    if (seconds != 0.0 && statusItem) {
        const double duration = timing.duration();
        if (duration > 0.0 && duration < kLongestLastStopShown) {
            statusItem->setSecondsOfLastStopXMinutesAgo(duration);
            statusItem->updateTime();
        }
    }
    scheduleUserScriptCall(kTimerStoppedForTiming, timing.uuid());
    return &timing;
}

ZRCDTiming* stopThisTimingNow(ZRCDTiming& timing, StatusItemTime* statusItem) {
    return stopThisTimingSecondsAgo(timing, 0.0, statusItem);
}

ZRCDTiming* stopThisTimingOn(ZRCDTiming& timing, Instant date, StatusItemTime* statusItem) {
    return stopThisTimingSecondsAgo(timing, Clock::current().now() - date, statusItem);
}

ZRCDTiming* setStartDateTo(ZRCDTiming& timing, Instant date, bool save) {
    if (!isLive(timing) || !std::isfinite(date))
        return nullptr;
    if (!timing.running() && timing.endDate() && date > *timing.endDate())
        return nullptr;
    timing.setStartDate(date);
    if (save)
        saveThroughDelegateLoggingFailure(*timing.managedObjectContext(), "setStartDateTo");
    return &timing;
}

}  // namespace ravelong::timing_stop

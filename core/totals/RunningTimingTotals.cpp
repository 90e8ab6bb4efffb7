// The running-timing parts of the totals (timing_totals, declared in TimingTotals.h). The stored
// day totals hold stopped timings only, so every total that includes running timers adds these.
#include <vector>

#include "core/calendar/DayBounds.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/PeriodDays.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/TimingTotals.h"
#include "core/totals/TotalsInternals.h"
#include "foundation/Clock.h"

namespace ravelong::timing_totals {

namespace {

std::vector<ZRCDTiming*> runningTimings(bool excludingArchivedTasks,
                                        const ManagedObjectContext& context) {
    std::vector<ZRCDTiming*> timings = ZRCDTiming::getRunningTimings_inContext(context);
    if (excludingArchivedTasks) {
        std::erase_if(timings, [](const ZRCDTiming* timing) {
            return timing->task() && timing->task()->isArchived();
        });
    }
    return timings;
}

double positive(double seconds) {
    return seconds > 0.0 ? seconds : 0.0;
}

}  // namespace

double getTimeOfAllRunningTimingsExcludingArchivedTasks(bool excludingArchivedTasks,
                                                        const ManagedObjectContext& context) {
    const Instant now = Clock::current().now();
    double total = 0.0;
    for (const ZRCDTiming* timing : runningTimings(excludingArchivedTasks, context)) {
        if (timing->startDate())
            total += positive(now - *timing->startDate());
    }
    return total;
}

double getTimeOfAllRunningTimingsBetweenZRDate(ZRDate first, ZRDate last,
                                               bool excludingArchivedTasks,
                                               const ManagedObjectContext& context) {
    if (first > last)
        return 0.0;
    const Instant now = Clock::current().now();
    const ZRDate today =
        date_additions::zrDateTodayWithHourCutoff(totals_detail::newDayHour(&context));
    double total = 0.0;
    for (const ZRCDTiming* timing : runningTimings(excludingArchivedTasks, context)) {
        if (!timing->startDate() || !timing->timezone())
            continue;
        const Instant start = *timing->startDate();
        const std::string& zone = *timing->timezone();
        const std::int32_t offset = timing->effectiveNewDayOffset();
        const ZRDate startDay = date_additions::zrDateWithTimeZoneName(start, zone, offset, false);
        if (startDay > today)
            continue;
        const Instant from = startDay >= first
                                 ? start
                                 : date_additions::beginningOfDayForZRDate(first, zone, offset);
        const Instant to =
            today <= last ? now : date_additions::endOfDayForZRDate(last, zone, offset);
        total += positive(to - from);
    }
    return total;
}

double getTimeOfAllRunningTimingsForMenuBarCustomDuration(std::int64_t periodCode,
                                                          bool excludingArchivedTasks,
                                                          const ManagedObjectContext& context) {
    const Instant now = Clock::current().now();
    const int cutoff = totals_detail::newDayHour(&context);
    Instant periodStart = 0.0;
    switch (periodCode) {
        case 1:
            periodStart = date_additions::beginningOfWeekWithHourCutoff(now, cutoff);
            break;
        case 2:
            periodStart = date_additions::beginningOfMonthWithHourCutoff(now, cutoff);
            break;
        case 3:
            periodStart = date_additions::beginningOfYearWithHourCutoff(now, cutoff);
            break;
        default:
            periodStart = date_additions::beginningOfDayWithHourCutoff(now, cutoff);
            break;
    }
    double total = 0.0;
    for (const ZRCDTiming* timing : runningTimings(excludingArchivedTasks, context)) {
        if (!timing->startDate())
            continue;
        const Instant start = *timing->startDate();
        total += positive(now - (start < periodStart ? periodStart : start));
    }
    return total;
}

}  // namespace ravelong::timing_totals

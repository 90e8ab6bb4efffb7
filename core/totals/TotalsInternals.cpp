#include "core/totals/TotalsInternals.h"

#include <algorithm>

#include "core/calendar/DayNumbers.h"
#include "core/model/ZRCDPreferences.h"
#include "foundation/Clock.h"

namespace ravelong::totals_detail {

int newDayHour(const ManagedObjectContext* context) {
    return context ? ZRCDPreferences::currentNewDay_inContext(*context) : 0;
}

double runningPartOutsideItsSets(const ZRCDTiming& timing, ZRDate first, ZRDate last) {
    if (!timing.running() || !timing.startDate() || !timing.timezone())
        return 0.0;
    const std::string& zone = *timing.timezone();
    const std::int32_t offset = timing.effectiveNewDayOffset();
    const std::int64_t startDay =
        date_additions::zrDateWithTimeZoneName(timing.startDate(), zone, offset, false);
    const std::int64_t nowDay =
        date_additions::zrDateWithTimeZoneName(Clock::current().now(), zone, offset, true);
    const std::int64_t to = std::min<std::int64_t>(last, nowDay);
    // A timer cannot have run longer than a timing may last; the bound also keeps a clock set
    // far ahead from walking millions of days.
    const std::int64_t from =
        std::max<std::int64_t>({first, startDay, to - ZRCDTimingSet::kMaxDaysPerTiming});
    double total = 0.0;
    for (std::int64_t day = from; day <= to; ++day) {
        const bool counted =
            std::any_of(timing.timingSets().begin(), timing.timingSets().end(),
                        [day](const ZRCDTimingSet* set) { return set->absDay() == day; });
        if (counted)
            continue;
        const double inDay = timing.getDurationWithinZRDate(static_cast<ZRDate>(day));
        if (inDay > kMinimumCountedSeconds)
            total += inDay;
    }
    return total;
}

}  // namespace ravelong::totals_detail

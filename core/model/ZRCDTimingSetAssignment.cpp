#include <algorithm>
#include <string>

#include "core/calendar/DayNumbers.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "foundation/Log.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

// Which days a timing touches, with its own zone and cut-off:
//
//   cut-off 0      22:00 ... 23:00 | 00:00 ... 01:00        start day d, end day d + 1
//   cut-off 2 h    23:00 ... 01:00 (the day turns at 02:00)  one day
//   end exactly at the boundary (00:00 with cut-off 0, 02:00 with cut-off 2): the earlier day
//
// The end day is counted with preferPrevious, so a timing that stops exactly as a day begins
// does not get an empty aggregate for that day.
bool ZRCDTimingSet::assignTimingSetsToTiming(ZRCDTiming* timing, bool recalculateDuration,
                                             ManagedObjectContext& context) {
    if (!timing)
        return false;
    ZRCDTask* task = timing->task();
    if (!task || !timing->startDate() || !timing->endDate() || !timing->timezone())
        return false;

    const std::string& zone = *timing->timezone();
    const std::int32_t offset = timing->effectiveNewDayOffset();
    const ZRDate first =
        date_additions::zrDateWithTimeZoneName(timing->startDate(), zone, offset, false);
    const ZRDate last =
        date_additions::zrDateWithTimeZoneName(timing->currentEndDate(), zone, offset, true);
    if (static_cast<std::int64_t>(last) - first > kMaxDaysPerTiming) {
        logError("assignTimingSetsToTiming",
                 "timing " + timing->uuid().value_or("?") + " spans " +
                     std::to_string(static_cast<std::int64_t>(last) - first + 1) +
                     " days; its day totals were left unchanged");
        return false;
    }

    std::vector<ZRCDTimingSet*> collected;
    ZRCDTimingSet* firstSet = nullptr;
    bool mergedDuplicates = false;
    for (ZRDate day = first; day <= last; ++day) {
        ZRCDTimingSet* set = task->timingSetForAbsDay(day, context, &mergedDuplicates);
        if (!set) {
            set = context.insertNewObject<ZRCDTimingSet>();
            set->setTask(task);
            set->setAbsDay(day);
            set->setDay(date_additions::zrYearMonthDayFromZRDate(day));
        }
        collected.push_back(set);
        if (day == first)
            firstSet = set;
    }

    const bool sameSets = collected.size() == timing->timingSets().size() &&
                          std::all_of(collected.begin(), collected.end(), [&](ZRCDTimingSet* set) {
                              return timing->timingSets().contains(set);
                          });
    if (sameSets && timing->firstTimingSet() == firstSet) {
        if (recalculateDuration) {
            for (ZRCDTimingSet* set : collected)
                set->recalculateDuration();
        }
        // Merging duplicates on the way changed the timing's aggregates even though it ends up
        // in the same ones; the repairs must hear of it.
        return mergedDuplicates;
    }

    // The first set is also put right when the days are unchanged but the link to the first day
    // was lost (a merge can leave that): the timing's day number is read from it.
    if (timing->firstTimingSet() != firstSet)
        timing->setFirstTimingSet(firstSet);
    std::vector<ZRCDTimingSet*> left;
    for (ZRCDTimingSet* set : timing->timingSets()) {
        if (std::find(collected.begin(), collected.end(), set) == collected.end())
            left.push_back(set);
    }
    for (ZRCDTimingSet* set : left)
        timing->removeTimingSetsObject(set);
    for (ZRCDTimingSet* set : collected)
        timing->addTimingSetsObject(set);

    for (ZRCDTimingSet* set : collected)
        set->recalculateDuration();
    // Deletion takes effect at once in our store (relationships are cut immediately), so there
    // is no need to process pending changes here; doing so would also close an implicit undo
    // group in the middle of the caller's change.
    for (ZRCDTimingSet* set : left) {
        if (set->timings().empty()) {
            context.deleteObject(set);
        } else {
            set->recalculateDuration();
        }
    }
    return true;
}

}  // namespace ravelong

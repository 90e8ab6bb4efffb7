#include "core/repairs/TimingSetRepairs.h"

#include <algorithm>
#include <unordered_map>

#include "core/calendar/DayNumbers.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/tree/TreeTexts.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::store_repairs {

namespace {

struct StoredTotals {
    double duration;
    bool running;
    double roundedDuration;
    std::int16_t cachedRounding;

    explicit StoredTotals(const ZRCDTimingSet& set)
        : duration(set.durationExcludingRunningTimings()),
          running(set.running()),
          roundedDuration(set.roundedDuration()),
          cachedRounding(set.cachedRounding()) {}
    bool operator==(const StoredTotals&) const = default;
};

std::vector<ZRCDTimingSet*> setsByDay(const ManagedObjectContext& context) {
    const ObjectSet& all = context.registeredObjects(ZRCDTimingSet::entityDescription());
    std::vector<ZRCDTimingSet*> sets;
    sets.reserve(all.size());
    for (ManagedObject* object : all)
        sets.push_back(static_cast<ZRCDTimingSet*>(object));
    std::stable_sort(sets.begin(), sets.end(), [](const ZRCDTimingSet* a, const ZRCDTimingSet* b) {
        return a->absDay() < b->absDay();
    });
    return sets;
}

// Gives each timing its day assignment again; timings without a task go to "Recovered Task".
bool fixTimings(const std::vector<ZRCDTiming*>& timings, ManagedObjectContext& context) {
    bool changed = false;
    std::vector<ZRCDTiming*> withoutTask;
    for (ZRCDTiming* timing : timings) {
        if (!timing->task()) {
            withoutTask.push_back(timing);
            continue;
        }
        if (ZRCDTimingSet::assignTimingSetsToTiming(timing, false, context))
            changed = true;
    }
    if (!withoutTask.empty()) {
        ZRCDTask* recovered =
            ZRCDTask::createCoreDataTaskWithName(std::string(kRecoveredTask), false, context);
        for (ZRCDTiming* timing : withoutTask)
            timing->setTask(recovered);  // which assigns its days
        changed = true;
    }
    return changed;
}

// Deletes the aggregates without task or timings and recalculates the others.
bool recalculateSets(const std::vector<ZRCDTimingSet*>& sets, ManagedObjectContext& context) {
    bool changed = false;
    for (ZRCDTimingSet* set : sets) {
        if (set->isDeleted())
            continue;
        if (!set->task() || set->timings().empty()) {
            context.deleteObject(set);
            changed = true;
            continue;
        }
        const StoredTotals before(*set);
        set->recalculateDuration();
        if (!(StoredTotals(*set) == before))
            changed = true;
    }
    return changed;
}

// Runs fixGroupOfTimingSetsOnSameAbsDay on each run of one day number in `sets` (sorted by day).
bool fixGroupsByDay(const std::vector<ZRCDTimingSet*>& sets, ManagedObjectContext& context) {
    bool changed = false;
    std::size_t begin = 0;
    std::vector<ZRCDTimingSet*> group;
    while (begin < sets.size()) {
        std::size_t end = begin + 1;
        while (end < sets.size() && sets[end]->absDay() == sets[begin]->absDay())
            ++end;
        group.assign(sets.begin() + static_cast<std::ptrdiff_t>(begin),
                     sets.begin() + static_cast<std::ptrdiff_t>(end));
        if (fixGroupOfTimingSetsOnSameAbsDay(group, context))
            changed = true;
        begin = end;
    }
    return changed;
}

}  // namespace

bool fixTimingSetsAndTimings_inContext(ManagedObjectContext& context) {
    bool changed = fixTimings(ZRCDTiming::getAllTimings_inContext(context), context);
    if (fixAllTimingSets_inContext(context))
        changed = true;
    return changed;
}

bool fixTimingSetsAndTimingsOfChanges_inContext(ManagedObjectContext& context) {
    std::vector<ZRCDTiming*> timings;
    for (const auto& objects : {context.insertedObjects(), context.updatedObjects()})
        for (ManagedObject* object : objects)
            if (&object->entity() == &ZRCDTiming::entityDescription() && !object->isDeleted())
                timings.push_back(static_cast<ZRCDTiming*>(object));
    bool changed = fixTimings(timings, context);

    // The aggregates the changes reached, then every aggregate of their days: two of one task
    // and day may be an old one and a new one.
    std::vector<ZRCDTimingSet*> touched;
    for (const auto& objects : {context.insertedObjects(), context.updatedObjects()})
        for (ManagedObject* object : objects)
            if (&object->entity() == &ZRCDTimingSet::entityDescription())
                touched.push_back(static_cast<ZRCDTimingSet*>(object));
    if (recalculateSets(touched, context))
        changed = true;
    std::vector<std::int32_t> days;
    days.reserve(touched.size());
    for (const ZRCDTimingSet* set : touched)
        days.push_back(set->absDay());
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    std::vector<ZRCDTimingSet*> sets;
    for (std::int32_t day : days) {
        for (ZRCDTimingSet* set : context.objectsWithValue<ZRCDTimingSet>(ZRCDTimingSet::kAbsDay,
                                                                          Value(std::int64_t{day})))
            sets.push_back(set);
    }
    if (fixGroupsByDay(sets, context))
        changed = true;
    return changed;
}

bool fixAllTimingSets_inContext(ManagedObjectContext& context) {
    std::vector<ZRCDTimingSet*> sets = setsByDay(context);
    const bool changed = recalculateSets(sets, context);
    if (changed)
        sets = setsByDay(context);
    return fixGroupsByDay(sets, context) || changed;
}

bool fixGroupOfTimingSetsOnSameAbsDay(const std::vector<ZRCDTimingSet*>& group,
                                      ManagedObjectContext& /*context*/) {
    bool changed = false;
    std::unordered_map<ZRCDTask*, int> setsPerTask;
    ZRYearMonthDay day = 0;
    bool dayKnown = false;
    for (ZRCDTimingSet* set : group) {
        if (set->isDeleted())
            continue;
        if (!dayKnown) {
            day = date_additions::zrYearMonthDayFromZRDate(set->absDay());
            dayKnown = true;
        }
        if (set->day() != day) {
            set->setDay(day);
            changed = true;
        }
        if (set->task())
            ++setsPerTask[set->task()];
    }
    for (const auto& [task, count] : setsPerTask) {
        if (count > 1) {
            task->consolidateTimingSets();
            changed = true;
        }
    }
    return changed;
}

}  // namespace ravelong::store_repairs

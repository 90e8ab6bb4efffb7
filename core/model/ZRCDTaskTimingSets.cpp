#include <algorithm>

#include "core/calendar/PeriodDays.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

std::vector<ZRCDTimingSet*> setsOfTaskForDay(const ZRCDTask* task, ZRDate day,
                                             const ManagedObjectContext& context) {
    // The index on absDay finds the few sets of that day (one per task that has time on it);
    // a task's own sets can be thousands after years of use.
    std::vector<ZRCDTimingSet*> sets =
        context.objectsWithValue<ZRCDTimingSet>(ZRCDTimingSet::kAbsDay, Value(std::int64_t{day}));
    std::erase_if(sets, [&](const ZRCDTimingSet* set) { return set->task() != task; });
    return sets;
}

}  // namespace

ZRCDTimingSet* ZRCDTask::timingSetForAbsDay(ZRDate day, ManagedObjectContext& context,
                                            bool* mergedDuplicates) {
    std::vector<ZRCDTimingSet*> sets = setsOfTaskForDay(this, day, context);
    if (sets.size() <= 1)
        return sets.empty() ? nullptr : sets.front();

    // Two sets of one task and day: a merge of stores made them. They become one; the merge is
    // no undo step, and the steps recorded before it could no longer be undone correctly, so
    // they are dropped.
    context.processPendingChanges();
    ZRUndoManager* undoManager = context.undoManager();
    if (undoManager) {
        undoManager->removeAllActions();
        undoManager->disableUndoRegistration();
    }
    consolidateTimingSets();
    if (mergedDuplicates)
        *mergedDuplicates = true;
    if (undoManager)
        undoManager->enableUndoRegistration();
    sets = setsOfTaskForDay(this, day, context);
    return sets.empty() ? nullptr : sets.front();
}

void ZRCDTask::consolidateTimingSets() {
    ManagedObjectContext* context = managedObjectContext();
    if (!context)
        return;
    std::vector<ZRCDTimingSet*> sets = timingSets().toVector();
    std::stable_sort(sets.begin(), sets.end(), [](const ZRCDTimingSet* a, const ZRCDTimingSet* b) {
        return a->absDay() < b->absDay();
    });
    std::size_t runStart = 0;
    while (runStart < sets.size()) {
        std::size_t runEnd = runStart + 1;
        while (runEnd < sets.size() && sets[runEnd]->absDay() == sets[runStart]->absDay())
            ++runEnd;
        if (runEnd - runStart > 1) {
            ZRCDTimingSet* kept = sets[runStart];
            for (std::size_t i = runStart + 1; i < runEnd; ++i) {
                ZRCDTimingSet* other = sets[i];
                for (ZRCDTiming* timing : other->timings().toVector()) {
                    timing->removeTimingSetsObject(other);
                    timing->addTimingSetsObject(kept);
                    if (timing->firstTimingSet() == other)
                        timing->setFirstTimingSet(kept);
                }
                context->deleteObject(other);
            }
            kept->recalculateDuration();
        }
        runStart = runEnd;
    }
}

int ZRCDTask::numberOfTimingSetsToday() const {
    const ManagedObjectContext* context = managedObjectContext();
    if (!context || !uuid_)
        return 0;
    const ZRDate today = date_additions::zrDateTodayWithHourCutoff(
        ZRCDPreferences::currentNewDay_inContext(*context));
    auto sets = context->objectsWithValue<ZRCDTimingSet>(ZRCDTimingSet::kAbsDay,
                                                         Value(std::int64_t{today}));
    return static_cast<int>(std::count_if(sets.begin(), sets.end(), [&](const ZRCDTimingSet* set) {
        return set->task() && set->task()->uuid() == uuid_;
    }));
}

}  // namespace ravelong

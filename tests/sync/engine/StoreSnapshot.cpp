#include "sync/engine/StoreSnapshot.h"

#include <set>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/repairs/TimingSetRepairs.h"

namespace ravelong::sync_testing {

StoreSnapshot StoreSnapshot::of(const ManagedObjectContext& context) {
    StoreSnapshot s;
    auto uuidOf = [](const ZRCDTask* task) {
        return task ? task->uuid().value_or("?") : std::string();
    };
    ZRCDTask* head = nullptr;
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
        s.tasks[uuidOf(task)] = {task->taskName().value_or(""), uuidOf(task->parentTask()),
                                 uuidOf(task->nextTask()), task->isArchived()};
        if (!task->prevTask())
            head = task;
    }
    std::set<ZRCDTask*> walked;
    for (ZRCDTask* t = head; t && walked.insert(t).second; t = t->nextTask())
        s.chain.push_back(uuidOf(t));
    for (ZRCDTiming* timing : context.fetchAll<ZRCDTiming>()) {
        s.timings[timing->uuid().value_or("?")] = {
            timing->startDate().value_or(-1), timing->endDate().value_or(-1),
            uuidOf(timing->task()), timing->note().value_or("")};
    }
    for (ZRCDTimingSet* set : context.fetchAll<ZRCDTimingSet>())
        s.aggregates[{uuidOf(set->task()), set->absDay()}] += set->duration();
    auto fresh = const_cast<ManagedObjectContext&>(context).newChildContext();
    for (ZRCDTimingSet* set : fresh->fetchAll<ZRCDTimingSet>())
        fresh->deleteObject(set);
    store_repairs::fixTimingSetsAndTimings_inContext(*fresh);
    for (ZRCDTimingSet* set : fresh->fetchAll<ZRCDTimingSet>())
        s.rebuiltAggregates[{uuidOf(set->task()), set->absDay()}] += set->duration();
    return s;
}

}  // namespace ravelong::sync_testing

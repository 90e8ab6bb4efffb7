#pragma once

#include <cstddef>
#include <span>
#include <unordered_map>
#include <vector>

#include "core/calendar/CalendarTypes.h"

namespace ravelong {

class ManagedObject;
class ManagedObjectContext;
class ZRCDTask;
class ZRCDTimingSet;

// Each task's day aggregates (ZRCDTimingSet) sorted by day number, so that a task's total over a
// week finds its few sets by binary search instead of reading all of them (a task used daily
// for years has thousands).
//
// The index is built per task on first use and checked on every use against the task's current
// sets: it keeps a copy of the task's `timingSets` members as the relationship lists them and
// rebuilds the task's entry when the list differs (a set added, deleted, moved to another task,
// undone, rolled back or merged in). The check reads the list only, not the sets, so it costs
// little next to the reading it saves. Being checked on use rather than told of changes, the
// index is also right for totals read in the middle of an action, before the context has
// reported its pending changes. The index relies on a set's day number never changing after the
// day assignment made it (nothing else writes it); a look-up that meets a set whose day differs
// from the recorded one rebuilds the entry all the same.
//
// Ownership and threads: the application makes one for its main context and keeps it no longer
// than the context (call clear() after ManagedObjectContext::reset(), which frees the records).
// While it lives, task totals over that context use it (found with forContext); totals over
// other contexts read the sets directly. Use it on the context's thread only.
class TimingSetDayIndex {
public:
    struct DaySet {
        ZRDate day = 0;
        ZRCDTimingSet* set = nullptr;
    };

    explicit TimingSetDayIndex(const ManagedObjectContext& context);
    ~TimingSetDayIndex();
    TimingSetDayIndex(const TimingSetDayIndex&) = delete;
    TimingSetDayIndex& operator=(const TimingSetDayIndex&) = delete;

    const ManagedObjectContext& context() const { return *context_; }

    // The task's sets with first <= absDay <= last, by day. The span stays valid until the next
    // call on this index.
    std::span<const DaySet> setsBetween(const ZRCDTask& task, ZRDate first, ZRDate last);

    // Forgets every entry.
    void clear() { tasks_.clear(); }
    std::size_t numberOfIndexedTasks() const { return tasks_.size(); }
    // How many times an entry was (re)built; lets tests see that an unchanged task is not.
    std::size_t numberOfBuilds() const { return builds_; }

    // The index made for a context, or nullptr.
    static TimingSetDayIndex* forContext(const ManagedObjectContext* context);

private:
    struct TaskSets {
        std::vector<const ManagedObject*> members;  // the relationship's list when built
        std::vector<DaySet> byDay;
    };

    TaskSets& upToDate(const ZRCDTask& task);
    TaskSets& rebuild(const ZRCDTask& task);

    const ManagedObjectContext* context_;
    std::unordered_map<const ZRCDTask*, TaskSets> tasks_;
    std::size_t builds_ = 0;
};

}  // namespace ravelong

#include "core/totals/TimingSetDayIndex.h"

#include <algorithm>
#include <mutex>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTimingSet.h"

namespace ravelong {

namespace {

// The live indexes. Usually one (the main context's), so a vector under a lock is plenty.
std::mutex gRegistryMutex;
std::vector<TimingSetDayIndex*>& registry() {
    static std::vector<TimingSetDayIndex*> indexes;
    return indexes;
}

bool sameMembers(const std::vector<const ManagedObject*>& members,
                 const ToMany<ZRCDTimingSet>& sets) {
    if (members.size() != sets.size())
        return false;
    auto member = members.begin();
    for (const ZRCDTimingSet* set : sets) {
        if (*member != set)
            return false;
        ++member;
    }
    return true;
}

}  // namespace

TimingSetDayIndex::TimingSetDayIndex(const ManagedObjectContext& context) : context_(&context) {
    std::lock_guard lock(gRegistryMutex);
    registry().push_back(this);
}

TimingSetDayIndex::~TimingSetDayIndex() {
    std::lock_guard lock(gRegistryMutex);
    std::erase(registry(), this);
}

TimingSetDayIndex* TimingSetDayIndex::forContext(const ManagedObjectContext* context) {
    if (!context)
        return nullptr;
    std::lock_guard lock(gRegistryMutex);
    for (TimingSetDayIndex* index : registry()) {
        if (index->context_ == context)
            return index;
    }
    return nullptr;
}

TimingSetDayIndex::TaskSets& TimingSetDayIndex::rebuild(const ZRCDTask& task) {
    ++builds_;
    TaskSets& entry = tasks_[&task];
    entry.members.clear();
    entry.byDay.clear();
    entry.members.reserve(task.timingSets().size());
    entry.byDay.reserve(task.timingSets().size());
    for (ZRCDTimingSet* set : task.timingSets()) {
        entry.members.push_back(set);
        entry.byDay.push_back({set->absDay(), set});
    }
    std::stable_sort(entry.byDay.begin(), entry.byDay.end(),
                     [](const DaySet& a, const DaySet& b) { return a.day < b.day; });
    return entry;
}

TimingSetDayIndex::TaskSets& TimingSetDayIndex::upToDate(const ZRCDTask& task) {
    auto found = tasks_.find(&task);
    if (found != tasks_.end() && sameMembers(found->second.members, task.timingSets()))
        return found->second;
    return rebuild(task);
}

std::span<const TimingSetDayIndex::DaySet> TimingSetDayIndex::setsBetween(const ZRCDTask& task,
                                                                          ZRDate first,
                                                                          ZRDate last) {
    if (first > last)
        return {};
    const auto inRange = [&](const TaskSets& entry) {
        const auto begin =
            std::lower_bound(entry.byDay.begin(), entry.byDay.end(), first,
                             [](const DaySet& daySet, ZRDate day) { return daySet.day < day; });
        const auto end =
            std::upper_bound(begin, entry.byDay.end(), last,
                             [](ZRDate day, const DaySet& daySet) { return day < daySet.day; });
        return std::span<const DaySet>(begin, end);
    };
    std::span<const DaySet> found = inRange(upToDate(task));
    const bool daysHold = std::all_of(found.begin(), found.end(), [](const DaySet& daySet) {
        return daySet.set->absDay() == daySet.day;
    });
    return daysHold ? found : inRange(rebuild(task));
}

}  // namespace ravelong

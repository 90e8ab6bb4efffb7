#include <algorithm>
#include <limits>

#include "core/model/ModelDefaultsKeys.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

int ZRCDTask::numberOfRecentTasks() {
    const std::int64_t n = UserDefaults::standard().integerForKey(kZRNumberOfRecentTasks, 10);
    return n >= 1 && n <= 20 ? static_cast<int>(n) : 10;
}

// The list is built in two steps:
//  1. Each candidate (unarchived, no subtasks) is dated: the N candidates whose latest timing
//     ended last get that end; every other candidate gets its creation date.
//  2. The tasks with running timings come first (at most N); the dated candidates fill the list
//     up to N, latest date first.
// A candidate beyond the N latest is dated by its creation, so a task made recently (with only old
// timings, as an import brings them) still shows up among the recent ones.
//
// The latest end of each candidate is found in one pass over its own timings, which visits each
// timing once and needs no sorting of all timings.
std::vector<ZRCDTask*> ZRCDTask::getMostRecentTasks_inContext(const ManagedObjectContext& context) {
    const std::size_t n = static_cast<std::size_t>(numberOfRecentTasks());
    constexpr double kNoDate = std::numeric_limits<double>::lowest();

    struct Dated {
        ZRCDTask* task;
        double date;
    };
    std::vector<Dated> withTimings;
    std::vector<ZRCDTask*> withoutTimings;
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>()) {
        if (task->isArchived() || !task->childTasks().empty())
            continue;
        double latestEnd = kNoDate;
        bool hasEnd = false;
        for (const ZRCDTiming* timing : task->timings()) {
            if (timing->endDate()) {
                latestEnd = std::max(latestEnd, *timing->endDate());
                hasEnd = true;
            }
        }
        if (hasEnd) {
            withTimings.push_back({task, latestEnd});
        } else {
            withoutTimings.push_back(task);
        }
    }
    std::stable_sort(withTimings.begin(), withTimings.end(),
                     [](const Dated& a, const Dated& b) { return a.date > b.date; });

    std::vector<Dated> dated;
    for (std::size_t i = 0; i < withTimings.size(); ++i) {
        if (i < n) {
            dated.push_back(withTimings[i]);
        } else {
            dated.push_back({withTimings[i].task, withTimings[i].task->date().value_or(kNoDate)});
        }
    }
    for (ZRCDTask* task : withoutTimings)
        dated.push_back({task, task->date().value_or(kNoDate)});
    std::stable_sort(dated.begin(), dated.end(),
                     [](const Dated& a, const Dated& b) { return a.date > b.date; });

    std::vector<ZRCDTask*> result = getTasksThatHaveRunningTimings_inContext(context);
    if (result.size() > n)
        result.resize(n);
    for (const Dated& entry : dated) {
        if (result.size() >= n)
            break;
        if (std::find(result.begin(), result.end(), entry.task) == result.end())
            result.push_back(entry.task);
    }
    return result;
}

}  // namespace ravelong

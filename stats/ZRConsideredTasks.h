#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// The tasks whose time the lists, totals and charts of the main window consider, in the order of
// the task chain. Which tasks: "ZRSelectionState" (1 the highlighted task and its descendants,
// 2 the checked tasks and their descendants, 3 the tasks visible in the statistics task list)
// under the archive filter "ZRShowTasks" (1 archived, 2 unarchived, 3 all); any other
// combination considers no task.
//
// The list is fetched when the object is made and again whenever one of "ZRSelectionState",
// "ZRShowTasks" or "ZRSelectedTaskInDataSelection" changes in `defaults`, the suite the
// preferences wrapper (ZRUserDefaults2) reads, UserDefaults::standard(); callers refetch after
// changing the records. A refetch that changes the list posts "ConsideredTasksChanged" (object:
// this) on `center`. Main thread only; `context`, `defaults` and `center` must outlive it.
class ZRConsideredTasks {
public:
    ZRConsideredTasks(ManagedObjectContext& context, UserDefaults& defaults,
                      NotificationCenter& center);
    ~ZRConsideredTasks();
    ZRConsideredTasks(const ZRConsideredTasks&) = delete;
    ZRConsideredTasks& operator=(const ZRConsideredTasks&) = delete;

    const std::vector<ZRCDTask*>& array() const { return array_; }

    // Recomputes the list; true when it changed (and the notification was posted).
    bool fetch();

    // The filter a selection uses, as text ("%@" for the uuid), and as a test of one task.
    // nullopt: the selection considers no task.
    static std::string predicateFormat(std::int64_t selectionState, std::int64_t showTasks,
                                       const ZRCDTask* highlighted);
    static std::optional<std::function<bool(const ZRCDTask&)>> predicate(
        std::int64_t selectionState, std::int64_t showTasks, const ZRCDTask* highlighted);

private:
    std::vector<ZRCDTask*> fetchTasks() const;

    ManagedObjectContext& context_;
    UserDefaults& defaults_;
    NotificationCenter& center_;
    std::vector<ZRCDTask*> array_;
    std::vector<UserDefaults::ObserverId> observers_;
};

}  // namespace ravelong

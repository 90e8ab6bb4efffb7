#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "store/ChangeSet.h"

namespace ravelong {

class ManagedObject;
class ManagedObjectContext;
class ZRCDTask;

// What a save of the main context changed, in the terms of the interface: seven sets of tasks,
// the panel rows to reload and one flag per kind of refresh. processInsertedObjects fills them
// from the records of a save (before it is written, while their changed keys are still known),
// calculateUpdates_inContext turns the sets into further flags and rows, and reset empties
// everything once the notifications have gone out.
//
// Task pointers stay valid only while their context is neither reset nor destroyed: callers that
// keep the sets across such an event (bulk work with automatic updates off) must drop them with
// forgetTasks first. Main thread only.
class AppChangeTracker {
public:
    // The seven sets of tasks.
    enum class TaskSet {
        changedTimingSets,      // day aggregates added or deleted
        changedTimings,         // timings added or deleted
        changedArchivedStatus,  // archived or unarchived
        changedTotalTime,       // a total they show changed
        changedColor,
        changedNotes,           // a timing's note changed
        changedRunningTimings,  // a running timing started, stopped, moved or changed its start
    };
    static constexpr std::size_t kTaskSetCount = 7;
    static_assert(static_cast<std::size_t>(TaskSet::changedRunningTimings) + 1 == kTaskSetCount,
                  "kTaskSetCount counts the constants of TaskSet");

    // One flag per kind of refresh. The comments name what each makes happen.
    struct Flags {
        bool taskNames = false;         // "ZRTaskNameDidChange"
        bool statusItemTime = false;    // the status item recalculates its time
        bool menuBarTotalTime = false;  // "MenuBarNeedsToReloadTotalTime"
        bool datePicker = false;        // "ZRRedrawDatePicker"
        bool dataDisplay = false;       // "ZRRedrawDataDisplay"
        bool taskColors = false;        // "ZRTaskColorChangedNotification"
        bool timingNotes = false;       // "ZRReloadTimingNotes"
        bool taskOrder = false;         // "ZRRearrangeTaskArrays"
        bool timingDeleted = false;     // "ZRTimingDeleted"
        bool roundingAdded = false;     // a task got a rounding rule of its own
        bool roundingDeleted = false;   // a task lost its own rounding rule
        bool roundingChanged = false;   // "ZRRoundingModified" (any change of a rule)
        bool runningTimings = false;    // the running timings or a running duration changed
        bool tasksAddedOrDeleted = false;
        bool archivedState = false;
        bool synchronizedPreferences = false;  // the synced preferences record changed
        // The statistics' considered tasks: their membership may have changed (recompute), or
        // their selection did (tell the charts).
        bool recalculateConsideredTasks = false;
        bool consideredTasksChanged = false;

        bool operator==(const Flags&) const = default;
    };

    AppChangeTracker();

    Flags flags;

    // Sorts the records of one save into the sets and flags, from the keys that changed on each
    // (see ManagedObject::changedKeys and committedValue). With useUUIDs the tasks are kept by
    // uuid and found again by calculateUpdates_inContext in the context it is given: for records
    // of another context, which may be gone by then.
    void processInsertedObjects(const std::vector<ManagedObject*>& inserted,
                                const std::vector<ManagedObject*>& deleted,
                                const std::vector<ManagedObject*>& updated, bool useUUIDs);

    // Turns the sets into the flags of the totals (status item, menu bar), the date picker, the
    // statistics and into the panel rows to reload: the rows, in the panel's listing (the
    // unarchived tasks shown in the menu bar, or found by the search, in chain order), of the
    // tasks whose row content changed and of their ancestors, whose rows add them up. May repair
    // a broken task chain, as every listing does.
    void calculateUpdates_inContext(ManagedObjectContext& context);

    const std::vector<ZRCDTask*>& tasks(TaskSet set) const {
        return sets_[static_cast<std::size_t>(set)].tasks;
    }
    // Ascending, without repeats; filled by calculateUpdates_inContext.
    const std::vector<int>& rowsToReload() const { return rowsToReload_; }

    // Drops the task sets and rows but keeps the flags.
    void forgetTasks();
    void clearRunningTimingTasks();
    // Empties the sets, the rows and the flags.
    void reset();

private:
    // A set that keeps the order in which tasks came, with a hash for membership: a bulk save
    // may name every task of the store.
    struct OrderedTasks {
        std::vector<ZRCDTask*> tasks;
        std::unordered_set<ZRCDTask*> members;
        std::vector<std::string> uuids;  // kept by uuid, resolved later
        std::unordered_set<std::string> uuidMembers;

        void add(ZRCDTask* task, bool byUUID);
        void clear(std::size_t capacity);
    };

    void addTask(TaskSet set, ZRCDTask* task);
    void addRowTask(ZRCDTask* task);
    void processTask(ManagedObject* object, bool inserted, bool deleted);
    void processTiming(ManagedObject* object, bool inserted, bool deleted);
    void processTimingSet(ManagedObject* object, bool deleted);
    void resolveUUIDs(ManagedObjectContext& context);
    void calculateRows(ManagedObjectContext& context);

    std::array<OrderedTasks, kTaskSetCount> sets_;
    // Tasks whose own row shows something new (name, colour) without touching their ancestors.
    OrderedTasks rowTasks_;
    std::vector<int> rowsToReload_;
    bool useUUIDs_ = false;  // while processing
};

}  // namespace ravelong

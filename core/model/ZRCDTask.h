#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "core/model/TaskColor.h"
#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ManagedObjectContext;
class ZRCDOrigin;
class ZRCDTiming;
class ZRCDTimingSet;

// A task: a node of the task tree (at most three tiers) and a link of the display chain
// (prevTask/nextTask through all tasks, depth first).
//
// Instants are seconds since 2001-01-01 UTC. Main thread (the context's thread) only; queries
// take the context and never change it unless they say so.
//
// Implementation: ZRCDTask.cpp (fields, names, uids, colour), ZRCDTaskCreation.cpp (creators),
// ZRCDTaskQueries.cpp (queries), ZRCDTaskRecentTasks.cpp (the recent-task list),
// ZRCDTaskTimingSets.cpp (the task's day aggregates).
class ZRCDTask : public ManagedObject {
public:
    enum Property : int {
        kCreatedDay,
        kDate,
        kUpdatedDate,
        kIsArchived,
        kIsVisibleDuringSearch,
        kIsVisibleInDataSelection,
        kIsVisibleInMenuBar,
        kTaskColor,
        kTaskDescription,
        kTaskIsSelected,
        kTaskName,
        kUids,
        kUuid,
        kRunning,
        kRounding,
        kParentTask,
        kChildTasks,
        kOrigins,
        kTimings,
        kTimingSets,
        kPrevTask,
        kNextTask,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    std::int32_t createdDay() const { return createdDay_; }
    void setCreatedDay(std::int32_t value);
    std::optional<Instant> date() const { return date_; }
    // Also sets updatedDate to now.
    void setDate(std::optional<Instant> value);
    std::optional<Instant> updatedDate() const { return updatedDate_; }
    void setUpdatedDate(std::optional<Instant> value);
    bool isArchived() const { return isArchived_; }
    void setIsArchived(bool value);
    bool isVisibleDuringSearch() const { return isVisibleDuringSearch_; }
    void setIsVisibleDuringSearch(bool value);
    bool isVisibleInDataSelection() const { return isVisibleInDataSelection_; }
    void setIsVisibleInDataSelection(bool value);
    bool isVisibleInMenuBar() const { return isVisibleInMenuBar_; }
    void setIsVisibleInMenuBar(bool value);
    const std::optional<Data>& taskColor() const { return taskColor_; }
    void setTaskColor(std::optional<Data> value);
    const std::optional<std::string>& taskDescription() const { return taskDescription_; }
    void setTaskDescription(std::optional<std::string> value);
    bool taskIsSelected() const { return taskIsSelected_; }
    void setTaskIsSelected(bool value);
    const std::optional<std::string>& taskName() const { return taskName_; }
    void setTaskName(std::optional<std::string> value);
    const std::optional<std::string>& uids() const { return uids_; }
    void setUids(std::optional<std::string> value);
    const std::optional<std::string>& uuid() const { return uuid_; }
    void setUuid(std::optional<std::string> value);
    bool running() const { return running_; }
    void setRunning(bool value);
    std::int16_t rounding() const { return rounding_; }
    void setRounding(std::int16_t value);
    ZRCDTask* parentTask() const { return parentTask_; }
    void setParentTask(ZRCDTask* value);
    ToMany<ZRCDTask> childTasks() const { return ToMany<ZRCDTask>(childTasks_); }
    void addChildTasksObject(ZRCDTask* value);
    void removeChildTasksObject(ZRCDTask* value);
    ToMany<ZRCDOrigin> origins() const { return ToMany<ZRCDOrigin>(origins_); }
    void addOriginsObject(ZRCDOrigin* value);
    void removeOriginsObject(ZRCDOrigin* value);
    ToMany<ZRCDTiming> timings() const { return ToMany<ZRCDTiming>(timings_); }
    void addTimingsObject(ZRCDTiming* value);
    void removeTimingsObject(ZRCDTiming* value);
    ToMany<ZRCDTimingSet> timingSets() const { return ToMany<ZRCDTimingSet>(timingSets_); }
    void addTimingSetsObject(ZRCDTimingSet* value);
    void removeTimingSetsObject(ZRCDTimingSet* value);
    ZRCDTask* prevTask() const { return prevTask_; }
    void setPrevTask(ZRCDTask* value);
    ZRCDTask* nextTask() const { return nextTask_; }
    void setNextTask(ZRCDTask* value);

    // --- Names, identifiers, colour ---

    // The names from the tier-1 task down to this one.
    std::vector<std::string> taskNameArray() const;
    // U+FE46 and the tier-1 name, then " ❯ " and the next name for each lower tier.
    std::string getFullTaskName() const;
    // Steps along prevTask to the head of the chain (the head has 0); -1 when the chain loops.
    int viewPosition() const;

    // Identifiers the task had in older stores, kept in `uids` joined by "///". addUID appends
    // one and refuses (false) empty text and text containing "///", which could not be read back
    // as one identifier.
    static constexpr std::string_view kUIDSeparator = "///";
    bool addUID(std::string_view uid);
    // The uuid (when present), then the uids in order.
    std::vector<std::string> getUUIDandUIDs() const;
    int numberOfUIDs() const;

    TaskColor getTaskColor() const;
    void setTaskColorTo(const TaskColor& color);

    // The names of the task's origins ("Ravelong, CSV Import").
    std::string getOriginNames() const;

    // --- Day aggregates ---

    // The task's aggregate for a day number, or nullptr. Several for one day (a merge of stores
    // makes them) are merged first with consolidateTimingSets, with undo registration off and
    // the undo history cleared, since the steps recorded before could no longer be undone
    // correctly.
    // `mergedDuplicates`, when given, is set to true when such a merge happened.
    ZRCDTimingSet* timingSetForAbsDay(ZRDate day, ManagedObjectContext& context,
                                      bool* mergedDuplicates = nullptr);
    // Merges the task's aggregates of equal day numbers into the first of each day, with the
    // timings of all of them.
    void consolidateTimingSets();
    // Aggregates for today (with the preferences' cut-off) of the tasks with this task's uuid.
    int numberOfTimingSetsToday() const;

    // --- Creation ---

    // A new task at the top of the display chain: fresh uuid, the name, created now (createdDay
    // in the user's calendar), a random colour, shown in the menu bar and the statistics list,
    // selected, not archived, with the origin of type 0 of this device and user. Pending changes
    // are processed; the store is saved (through the context's delegate) when asked.
    static ZRCDTask* createCoreDataTaskWithName(std::string name, bool saveContext,
                                                ManagedObjectContext& context);

    // A task made by the CSV import: like a new task, but created at the given date (now when
    // absent), under `parentTask` when given, with the origin of `originType`. It joins the
    // chain right after its parent's last descendant, or at the bottom when it has no parent, so
    // the chain stays in tree order. Returns nullptr when the parent is of another context.
    static ZRCDTask* createCoreDataTaskImportWithName(std::string name,
                                                      std::optional<Instant> createdDate,
                                                      ZRCDTask* parentTask, std::int16_t originType,
                                                      ManagedObjectContext& context);

    // Every stored field of a task as a backup carries it.
    struct ImportedTaskValues {
        std::optional<std::string> uuid;  // a fresh one when absent or empty
        std::optional<std::string> uids;
        std::optional<std::string> taskName;
        std::int32_t createdDay = 0;
        std::optional<Instant> date;
        std::optional<std::string> taskDescription;
        std::optional<TaskColor> color;  // absent stays absent (reads as black)
        ZRCDTask* parentTask = nullptr;
        bool isArchived = false;
        std::vector<ZRCDOrigin*> origins;
        std::int16_t rounding = -1;
    };
    // A task restored from a backup, with the given values and the display flags of a new task,
    // placed in the chain like createCoreDataTaskImportWithName. Returns nullptr when the parent
    // or an origin is of another context.
    static ZRCDTask* createCoreDataTaskImportWithValues(const ImportedTaskValues& values,
                                                        ManagedObjectContext& context);

    // --- Queries ---

    static std::vector<ZRCDTask*> getAllTasks_inContext(const ManagedObjectContext& context);
    static std::size_t numberOfTasks_inContext(const ManagedObjectContext& context);
    static std::vector<ZRCDTask*> getAllUnarchivedTasks_inContext(
        const ManagedObjectContext& context);
    static std::size_t getCountOfTasksNotArchived_inContext(const ManagedObjectContext& context);
    static std::vector<ZRCDTask*> getAllUnarchivedTier1Tasks_inContext(
        const ManagedObjectContext& context);
    static std::vector<ZRCDTask*> getAllTier1CoreDataTasks_inContext(
        const ManagedObjectContext& context);
    static std::size_t numberOfArchivedTasks_inContext(const ManagedObjectContext& context);
    static std::size_t numberOfSelectedTasks_inContext(const ManagedObjectContext& context);

    // The tasks the statistics task list shows under its archive filter, the user default
    // "ZRShowTasks" (default 2): 2 the unarchived tasks; 1 the archived tasks and those with an
    // archived child or grandchild; 3 all tasks; any other value none.
    static std::vector<ZRCDTask*> getAllTasksConsideringArchivedState_inContext(
        const ManagedObjectContext& context);
    static std::vector<ZRCDTask*> getAllTier1TasksConsideringArchivedState_inContext(
        const ManagedObjectContext& context);
    // The same as getAllTasksConsideringArchivedState_inContext.
    static std::vector<ZRCDTask*> getAllCoreDataTasks_inContext(
        const ManagedObjectContext& context);
    // Of those, the checked ones.
    static std::vector<ZRCDTask*> getSelectedCoreDataTasks_inContext(
        const ManagedObjectContext& context);
    // Of those, the ones without subtasks that are checked or have a checked ancestor.
    static std::vector<ZRCDTask*> getSelectedLeafTasks_inContext(
        const ManagedObjectContext& context);
    // Whether a task passes the archive filter `showTasks` (see above).
    static bool passesArchiveFilter(const ZRCDTask& task, std::int64_t showTasks);

    // The unarchived task without subtasks changed last (updatedDate), or nullptr.
    static ZRCDTask* getMostRecentUnarchivedLeafTask_inContext(const ManagedObjectContext& context);
    static ZRCDTask* getLastModifiedUnarchivedLeafTask_inContext(
        const ManagedObjectContext& context);

    // The task with this uuid (one of them, should a merge have left several), or nullptr.
    static ZRCDTask* getCoreDataTaskWithUUID(std::string_view uuid,
                                             const ManagedObjectContext& context);
    static bool taskWithUUIDExists(std::string_view uuid, const ManagedObjectContext& context);
    // The task with this uuid, else one that had it as an older identifier (one of its uids).
    static ZRCDTask* getCoreDataTaskWithUUIDOrUID(std::string_view uuidOrUID,
                                                  const ManagedObjectContext& context);
    static bool taskWithUUIDOrUIDExists(std::string_view uuidOrUID,
                                        const ManagedObjectContext& context);

    static std::vector<ZRCDTask*> getTasksWithName(std::string_view name, bool includeArchived,
                                                   const ManagedObjectContext& context);
    // The tier-1 task of this name that has an origin of this type (the last, when several), or
    // nullptr.
    static ZRCDTask* getTier1TaskWithName_andOrigin(std::string_view name, std::int16_t originType,
                                                    const ManagedObjectContext& context);
    // The same among the children of `parentTask` (matched by uuid).
    static ZRCDTask* getTaskWithName_andParentTask_andOrigin(std::string_view name,
                                                             const ZRCDTask* parentTask,
                                                             std::int16_t originType,
                                                             const ManagedObjectContext& context);

    // The distinct tasks of the running timings, the most recently started first.
    static std::vector<ZRCDTask*> getTasksThatHaveRunningTimings_inContext(
        const ManagedObjectContext& context);

    // The tasks offered as "recent" in menus: first the tasks with running timings, then the
    // unarchived tasks without subtasks by their latest timing's end (tasks without a recent
    // timing by their creation date), N in all, N being the user default
    // "ZRNumberOfRecentTasks" when it lies in 1...20, else 10.
    static std::vector<ZRCDTask*> getMostRecentTasks_inContext(const ManagedObjectContext& context);
    static int numberOfRecentTasks();

    // The first and last calendar day (ZRYearMonthDay) on which the tasks or their descendants
    // have day aggregates; {0, 0} when none has any.
    static std::pair<ZRYearMonthDay, ZRYearMonthDay> getEarliestAndLatestZRYearMonthDayOfTasks(
        const std::vector<ZRCDTask*>& tasks, const ManagedObjectContext& context);

private:
    friend class EntityBuilder<ZRCDTask>;
    ZRCDTask() : ManagedObject(entityDescription()) {}
    ZRCDTask(const ZRCDTask&) = default;

    std::int32_t createdDay_ = 0;
    std::optional<Instant> date_;
    std::optional<Instant> updatedDate_;
    bool isArchived_ = false;
    bool isVisibleDuringSearch_ = false;
    bool isVisibleInDataSelection_ = false;
    bool isVisibleInMenuBar_ = false;
    std::optional<Data> taskColor_;
    std::optional<std::string> taskDescription_;
    bool taskIsSelected_ = false;
    std::optional<std::string> taskName_;
    std::optional<std::string> uids_;
    std::optional<std::string> uuid_;
    bool running_ = false;
    std::int16_t rounding_ = -1;
    ZRCDTask* parentTask_ = nullptr;
    ObjectSet childTasks_;
    ObjectSet origins_;
    ObjectSet timings_;
    ObjectSet timingSets_;
    ZRCDTask* prevTask_ = nullptr;
    ZRCDTask* nextTask_ = nullptr;
};

}  // namespace ravelong

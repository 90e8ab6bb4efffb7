#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/ManagedObject.h"

namespace ravelong {

class CoreDataTimedEntry;
class CoreDataUniqueID;

// A task of the stores written by versions up to 1.2.4. Read only by the one-time upgrade of
// such a store; nothing else uses the legacy model.
class CoreDataTask : public ManagedObject {
public:
    enum Property : int {
        kTaskDescription,
        kTaskName,
        kIsVisibleInDataSelection,
        kIsVisibleDuringSearch,
        kIsVisibleInMenuBar,
        kViewPosition,
        kTaskColor,
        kTaskIsSelected,
        kCreatedDay,
        kTaskID,
        kIsArchived,
        kParentTask,
        kChildTasks,
        kTimedEntries,
        kUniqueIDs,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    const std::optional<std::string>& taskDescription() const { return taskDescription_; }
    void setTaskDescription(std::optional<std::string> value);
    const std::optional<std::string>& taskName() const { return taskName_; }
    void setTaskName(std::optional<std::string> value);
    bool isVisibleInDataSelection() const { return isVisibleInDataSelection_; }
    void setIsVisibleInDataSelection(bool value);
    bool isVisibleDuringSearch() const { return isVisibleDuringSearch_; }
    void setIsVisibleDuringSearch(bool value);
    bool isVisibleInMenuBar() const { return isVisibleInMenuBar_; }
    void setIsVisibleInMenuBar(bool value);
    // Position among its siblings in the old task list (0 first).
    std::int64_t viewPosition() const { return viewPosition_; }
    void setViewPosition(std::int64_t value);
    // The colour as the old program archived it; the upgrade decodes it.
    const std::optional<Data>& taskColor() const { return taskColor_; }
    void setTaskColor(std::optional<Data> value);
    bool taskIsSelected() const { return taskIsSelected_; }
    void setTaskIsSelected(bool value);
    // ZRYearMonthDay of the creation day.
    std::int32_t createdDay() const { return createdDay_; }
    void setCreatedDay(std::int32_t value);
    // The task's number in the old program.
    std::int64_t taskID() const { return taskID_; }
    void setTaskID(std::int64_t value);
    bool isArchived() const { return isArchived_; }
    void setIsArchived(bool value);
    CoreDataTask* parentTask() const { return parentTask_; }
    void setParentTask(CoreDataTask* value);
    ToMany<CoreDataTask> childTasks() const { return ToMany<CoreDataTask>(childTasks_); }
    ToMany<CoreDataTimedEntry> timedEntries() const {
        return ToMany<CoreDataTimedEntry>(timedEntries_);
    }
    ToMany<CoreDataUniqueID> uniqueIDs() const { return ToMany<CoreDataUniqueID>(uniqueIDs_); }

private:
    friend class EntityBuilder<CoreDataTask>;
    CoreDataTask() : ManagedObject(entityDescription()) {}
    CoreDataTask(const CoreDataTask&) = default;

    std::optional<std::string> taskDescription_;
    std::optional<std::string> taskName_;
    bool isVisibleInDataSelection_ = true;
    bool isVisibleDuringSearch_ = false;
    bool isVisibleInMenuBar_ = true;
    std::int64_t viewPosition_ = 0;
    std::optional<Data> taskColor_;
    bool taskIsSelected_ = true;
    std::int32_t createdDay_ = 0;
    std::int64_t taskID_ = 0;
    bool isArchived_ = false;
    CoreDataTask* parentTask_ = nullptr;
    ObjectSet childTasks_;
    ObjectSet timedEntries_;
    ObjectSet uniqueIDs_;
};

}  // namespace ravelong

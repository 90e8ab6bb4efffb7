#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ZRCDOrigin;
class ZRCDTiming;
class ZRCDTimingSet;

// A task: a node of the task tree and a link of the display chain.
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
    };

    static EntityDescription& entityDescription();

    std::int32_t createdDay() const { return createdDay_; }
    void setCreatedDay(std::int32_t value);
    std::optional<Instant> date() const { return date_; }
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

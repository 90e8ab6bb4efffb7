#include "sync/ZRMergeConflictMessage.h"

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "sync/SyncTexts.h"

namespace ravelong {

namespace t = sync_texts;

std::string formatWithObjects(std::string_view format,
                              std::initializer_list<std::string_view> arguments) {
    std::string out;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '@') {
            if (next != arguments.end())
                out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

namespace {

std::string fullName(const ZRCDTask* task) {
    return task ? task->getFullTaskName() : "";
}

std::string taskMessage(const ZRCDTask& task, std::string_view type,
                        const ZRMergeConflictMessage::Value& value) {
    const std::string full = task.getFullTaskName();
    if (type == "taskName") {
        const std::string* local = std::get_if<std::string>(&value);
        return formatWithObjects(t::kTaskNameConflict,
                                 {task.taskName().value_or(""), local ? *local : ""});
    }
    if (type == "taskDescription")
        return formatWithObjects(t::kTaskDescriptionConflict, {full});
    if (type == "taskColor")
        return formatWithObjects(t::kTaskColorConflict, {full});
    if (type == "parentTask") {
        std::string cloud = task.parentTask()
                                ? formatWithObjects(t::kCloudParent, {fullName(task.parentTask())})
                                : std::string(t::kCloudNoParent);
        std::string local(t::kLocalNoParent);
        const std::string* uuid = std::get_if<std::string>(&value);
        if (uuid && task.managedObjectContext())
            if (auto* parent =
                    ZRCDTask::getCoreDataTaskWithUUID(*uuid, *task.managedObjectContext()))
                local = formatWithObjects(t::kLocalParent, {fullName(parent)});
        return formatWithObjects(t::kParentTaskConflict, {full, cloud, local});
    }
    if (type == "date")
        return formatWithObjects(t::kTaskDateConflict, {task.taskName().value_or("")});
    if (type == "isArchived") {
        const bool* archived = std::get_if<bool>(&value);
        bool localArchived = archived && *archived;
        return formatWithObjects(t::kTaskArchivedConflict,
                                 {full, localArchived ? t::kNotArchived : t::kArchived,
                                  localArchived ? t::kArchived : t::kNotArchived});
    }
    if (type == "merged")
        return formatWithObjects(t::kTaskMergedConflict, {full});
    if (type == "rounding")
        return formatWithObjects(t::kTaskRoundingConflict, {full});
    return std::string(t::kTaskOtherConflict);
}

std::string timingMessage(const ZRCDTiming& timing, std::string_view type,
                          const ZRMergeConflictMessage::Value& value) {
    const std::string full = fullName(timing.task());
    if (type == "date")
        return formatWithObjects(t::kTimingDateConflict, {full});
    if (type == "note")
        return formatWithObjects(t::kTimingNoteConflict, {full});
    if (type == "task") {
        const ZRCDTask* const* local = std::get_if<const ZRCDTask*>(&value);
        return formatWithObjects(t::kTimingTaskConflict,
                                 {full, fullName(local ? *local : nullptr)});
    }
    if (type == "timezone")
        return formatWithObjects(t::kTimingTimezoneConflict, {full});
    if (type == "newDay")
        return formatWithObjects(t::kTimingNewDayConflict, {full});
    return std::string(t::kTimingOtherConflict);
}

}  // namespace

std::string ZRMergeConflictMessage::getMergeConflictMessageForObject(const ManagedObject* object,
                                                                     std::string_view type,
                                                                     const Value& value) {
    if (auto* task = dynamic_cast<const ZRCDTask*>(object))
        return taskMessage(*task, type, value);
    if (auto* timing = dynamic_cast<const ZRCDTiming*>(object))
        return timingMessage(*timing, type, value);
    return std::string(t::kOtherConflict);
}

}  // namespace ravelong

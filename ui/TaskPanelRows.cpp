#include "ui/TaskPanelRows.h"

#include <algorithm>
#include <unordered_set>

#include "core/chain/TaskChain.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/TaskTotals.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

int tierOf(const ZRCDTask& task) {
    int tier = 0;
    // Three levels at most; the bound also ends a parent loop a damaged store might hold.
    for (const ZRCDTask* parent = task.parentTask(); parent && tier < 8;
         parent = parent->parentTask())
        ++tier;
    return tier;
}

}  // namespace

std::vector<TaskPanelRow> taskPanelRows(ManagedObjectContext& context) {
    const std::vector<ZRCDTask*> tasks = task_chain::sortArrayOfTasksByViewPosition(
        ZRCDTask::getAllUnarchivedTasks_inContext(context), context);
    std::unordered_set<const ZRCDTask*> running;
    for (const ZRCDTask* task : ZRCDTask::getTasksThatHaveRunningTimings_inContext(context))
        running.insert(task);

    std::vector<TaskPanelRow> rows;
    rows.reserve(tasks.size());
    for (const ZRCDTask* task : tasks) {
        TaskPanelRow row;
        row.uuid = task->uuid().value_or("");
        row.name = task->taskName().value_or("");
        row.tier = tierOf(*task);
        row.leaf = task->childTasks().empty();
        row.running = running.contains(task);
        rows.push_back(std::move(row));
    }
    return rows;
}

TrayStatus trayStatus(ManagedObjectContext& context) {
    TrayStatus status;
    const ZRCDTask* current = nullptr;
    const std::vector<ZRCDTiming*> timings =
        ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context);
    if (!timings.empty() && timings.front()->task()) {
        current = timings.front()->task();
        status.running = true;
    } else {
        current = ZRCDTask::getLastModifiedUnarchivedLeafTask_inContext(context);
    }
    if (!current) {
        status.taskName = std::string(ui_texts::kNoTask);
        return status;
    }
    status.taskName = current->taskName().value_or("");
    status.todayTotal = number_additions::getStringRepresentationOfSeconds_hm_roundDown(
        task_totals::getTimeTodayExcludingRunningTimings(*current, false));
    return status;
}

}  // namespace ravelong

#include "stats/ChartRequestBuilder.h"

#include <algorithm>

#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/PeriodDays.h"
#include "core/calendar/ZRCalendar.h"
#include "core/chain/TaskChain.h"
#include "core/model/ZRCDTask.h"
#include "core/totals/TaskRounding.h"
#include "foundation/UserDefaults.h"
#include "stats/ChartTexts.h"
#include "stats/TaskSelection.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {
namespace {

std::vector<ZRCDTask*> selectedTasks(ManagedObjectContext& context, std::int64_t state,
                                     std::int64_t showTasks) {
    std::vector<ZRCDTask*> tasks;
    if (state == 1) {
        const auto uuid = ZRUserDefaults2::selectedTaskInDataSelection();
        if (uuid && !uuid->empty())
            if (ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUID(*uuid, context);
                task && ZRCDTask::passesArchiveFilter(*task, showTasks))
                tasks.push_back(task);
    } else if (state == 2) {
        tasks = ZRCDTask::getSelectedCoreDataTasks_inContext(context);
    } else if (state == 3) {
        tasks = ZRCDTask::getAllCoreDataTasks_inContext(context);
    }
    return task_chain::sortArrayOfTasksByViewPosition(tasks, context);
}

int visibleChildren(const ZRCDTask& task, std::int64_t showTasks) {
    int count = 0;
    for (const ZRCDTask* child : getChildTasksConsideringArchiveState(task, showTasks))
        if (child->isVisibleInDataSelection())
            ++count;
    return count;
}

std::vector<ChartSource> sourcesOf(const ZRCDTask& task, std::int64_t showTasks) {
    auto source = [](const ZRCDTask& t) {
        return ChartSource{t.uuid().value_or(""), task_totals::getProperRounding(t)};
    };
    if (task.childTasks().empty())
        return {source(task)};
    std::vector<ChartSource> sources;
    for (const ZRCDTask* child : getChildTasksConsideringArchiveState(task, showTasks)) {
        if (child->childTasks().empty()) {
            sources.push_back(source(*child));
            continue;
        }
        for (const ZRCDTask* grandchild : getChildTasksConsideringArchiveState(*child, showTasks))
            sources.push_back(source(*grandchild));
    }
    return sources;
}

}  // namespace

std::vector<ZRCDTask*> getChildTasksConsideringArchiveState(const ZRCDTask& task,
                                                            std::int64_t showTasks) {
    std::vector<ZRCDTask*> children;
    // Under the archive filter a subtask of an archived task counts as archived with it.
    bool archivedAbove = false;
    for (const ZRCDTask* t = &task; t; t = t->parentTask())
        archivedAbove = archivedAbove || t->isArchived();
    for (ZRCDTask* child : task.childTasks()) {
        bool counts = false;
        switch (showTasks) {
            case 1:
                counts = archivedAbove || ZRCDTask::passesArchiveFilter(*child, 1);
                break;
            case 2:
                counts = !child->isArchived();
                break;
            case 3:
                counts = true;
                break;
            default:
                break;
        }
        if (counts)
            children.push_back(child);
    }
    return children;
}

std::int64_t chartDayOfStoredDay(std::int64_t stored) {
    if (stored <= 0)
        return 0;
    if (stored >= kAllTimeEnd)
        return kAllTimeEnd;
    return date_additions::zrDateFromZRYearMonthDay(static_cast<ZRYearMonthDay>(stored));
}

ChartRequest buildChartRequest(ChartKind kind, ManagedObjectContext& context,
                               const UserDefaults& defaults, bool roundingEnabled) {
    ChartRequest request;
    const std::int64_t state = ZRUserDefaults2::selectionState();
    const std::int64_t showTasks = ZRUserDefaults2::showTasks();
    const std::vector<ZRCDTask*> selected = selectedTasks(context, state, showTasks);

    for (ZRCDTask* task : selected) {
        if (task->uuid())
            request.extentTasks.push_back(*task->uuid());
        for (ZRCDTask* descendant : task_selection::descendantsOf(*task))
            if (descendant->uuid())
                request.extentTasks.push_back(*descendant->uuid());
        const bool takesPart =
            state == 3 ? task->isVisibleInDataSelection() && visibleChildren(*task, showTasks) == 0
                       : !task_selection::hasASelectedDescendantTask(*task);
        if (!takesPart || !task->uuid())
            continue;
        ChartSegment segment;
        segment.uuid = *task->uuid();
        segment.name = task->taskName().value_or("");
        segment.fullName = task->getFullTaskName();
        segment.hasColor = task->taskColor().has_value();
        segment.color = task->getTaskColor();
        segment.roundsTimes = task_totals::thisTaskOrAnyDescendantRoundsTimes(*task);
        segment.sources = sourcesOf(*task, showTasks);
        request.segments.push_back(std::move(segment));
    }

    request.roundingEnabled = roundingEnabled;
    request.today = date_additions::zrDateTodayWithHourCutoff(new_day_hour::current());
    request.start = chartDayOfStoredDay(ZRUserDefaults2::generalStartDate());
    request.end = chartDayOfStoredDay(ZRUserDefaults2::generalEndDate());
    switch (kind) {
        case ChartKind::pie:
            if (state == 3) {
                request.start =
                    defaults.exists(kZRGeneralStartDate)
                        ? chartDayOfStoredDay(defaults.integerForKey(kZRGeneralStartDate))
                        : 0;
                request.end = defaults.exists(kZRGeneralEndDate)
                                  ? chartDayOfStoredDay(defaults.integerForKey(kZRGeneralEndDate))
                                  : kAllTimeEnd;
            }
            request.dontUseRounding = defaults.boolForKey(kZRPieChartDontUseRounding, false);
            request.pieViewOption = defaults.integerForKey(kZRPieChartViewOption, 0);
            request.pieFullName = defaults.boolForKey(kZRPieChartFullTaskName, false);
            break;
        case ChartKind::bar: {
            request.dontUseRounding = defaults.boolForKey(kZRBarChartDontUseRounding, false);
            const std::string period = ZRUserDefaults2::verticalBarChartMeasuringPeriod();
            request.period = period == kMonthly  ? BarPeriod::monthly
                             : period == kDaily  ? BarPeriod::daily
                             : period == kYearly ? BarPeriod::yearly
                                                 : BarPeriod::weekly;
            const std::string highlight =
                defaults.stringForKey(kZRVerticalBarChartBackgroundHighlight, "");
            request.highlight = highlight == kHighlightWeeks      ? BarHighlight::weeks
                                : highlight == kHighlightWeekends ? BarHighlight::weekends
                                                                  : BarHighlight::none;
            request.firstWeekday = ZRCalendar::zrCalendar().firstWeekday();
            break;
        }
        case ChartKind::line:
            request.dontUseRounding = defaults.boolForKey(kZRLineChartDontUseRounding, false);
            break;
    }
    if (kind != ChartKind::pie)
        request.rangeFromData =
            request.end < request.start || request.start == 0 || request.end == kAllTimeEnd;
    return request;
}

}  // namespace ravelong

#include "menubar/TimedEntriesFilter.h"

#include <limits>

#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "menubar/MainWindowListTexts.h"

namespace ravelong {
namespace {

bool hasUuid(const ZRCDTask* task, const std::string& uuid) {
    return task && task->uuid() && *task->uuid() == uuid;
}
bool checked(const ZRCDTask* task) {
    return task && task->taskIsSelected();
}

}  // namespace

TimedEntriesFilter TimedEntriesFilter::fromPreferences() {
    TimedEntriesFilter filter;
    filter.selectionState = ZRUserDefaults2::selectionState();
    filter.showTasks = ZRUserDefaults2::showTasks();
    filter.chosenTaskUuid = ZRUserDefaults2::selectedTaskInDataSelection().value_or("");
    filter.firstDay = static_cast<ZRYearMonthDay>(ZRUserDefaults2::generalStartDate());
    filter.lastDay = static_cast<ZRYearMonthDay>(ZRUserDefaults2::generalEndDate());
    return filter;
}

bool TimedEntriesFilter::listsAnything() const {
    return selectionState >= 1 && selectionState <= 3 && showTasks >= 1 && showTasks <= 3;
}

ZRDate TimedEntriesFilter::firstDayNumber() const {
    if (firstDay <= 0)
        return std::numeric_limits<ZRDate>::min();
    return date_additions::zrDateFromZRYearMonthDay(firstDay);
}

ZRDate TimedEntriesFilter::lastDayNumber() const {
    if (lastDay >= 99999999)
        return std::numeric_limits<ZRDate>::max();
    if (lastDay <= 0)
        return std::numeric_limits<ZRDate>::min();
    return date_additions::zrDateFromZRYearMonthDay(lastDay);
}

bool TimedEntriesFilter::matchesTask(const ZRCDTask* task) const {
    if (!task || !listsAnything())
        return false;
    const ZRCDTask* parent = task->parentTask();
    const ZRCDTask* grandparent = parent ? parent->parentTask() : nullptr;
    if (selectionState == 1 && !(hasUuid(grandparent, chosenTaskUuid) ||
                                 hasUuid(parent, chosenTaskUuid) || hasUuid(task, chosenTaskUuid)))
        return false;
    if (selectionState == 2 && !(checked(task) || checked(parent) || checked(grandparent)))
        return false;
    if (showTasks == 1 && !task->isArchived())
        return false;
    if (showTasks == 2 && task->isArchived())
        return false;
    return true;
}

bool TimedEntriesFilter::matches(const ZRCDTiming& timing) const {
    if (!matchesTask(timing.task()))
        return false;
    const ZRDate first = firstDayNumber();
    const ZRDate last = lastDayNumber();
    bool fromFirst = false;
    bool toLast = false;
    for (const ZRCDTimingSet* set : timing.timingSets()) {
        fromFirst = fromFirst || set->absDay() >= first;
        toLast = toLast || set->absDay() <= last;
    }
    return fromFirst && toLast;
}

bool TimedEntriesFilter::matches(const ZRCDTimingSet& set) const {
    return matchesTask(set.task()) && set.absDay() >= firstDayNumber() &&
           set.absDay() <= lastDayNumber();
}

std::string TimedEntriesFilter::format(bool compact) const {
    if (!listsAnything())
        return std::string(compact ? kNoTimingSets : kNoTimings);
    std::string text;
    auto add = [&](std::string_view part) {
        if (!text.empty())
            text += kFilterAnd;
        text += part;
    };
    if (selectionState == 1)
        add(kEntriesOfChosenTask);
    else if (selectionState == 2)
        add(kEntriesOfSelectedTasks);
    if (showTasks == 1)
        add(kEntriesOfArchivedTasks);
    else if (showTasks == 2)
        add(kEntriesOfUnarchivedTasks);
    add(compact ? kTimingSetDays : kTimingDays);
    return text;
}

}  // namespace ravelong

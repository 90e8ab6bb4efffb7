#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/calendar/CalendarTypes.h"

namespace ravelong {

class ZRCDTask;
class ZRCDTiming;
class ZRCDTimingSet;

// Which records the timed entries list holds: the task part (by "ZRSelectionState": 1 the chosen
// task with its subtasks, 2 the checked tasks with theirs, 3 all), the archived part
// ("ZRShowTasks": 1 archived, 2 unarchived, 3 all) and the day part (the selected range), joined
// by AND. State 0, a filter outside 1...3, or an unknown state lists nothing.
//
// The range arrives as calendar days (ZRYearMonthDay, 0 and 99999999 for open ends) and is
// compared with the records' day numbers.
struct TimedEntriesFilter {
    std::int64_t selectionState = 3;
    std::int64_t showTasks = 2;
    std::string chosenTaskUuid;  // state 1
    ZRYearMonthDay firstDay = 0;
    ZRYearMonthDay lastDay = 99999999;

    // The filter of the preferences as they are now (ZRUserDefaults2).
    static TimedEntriesFilter fromPreferences();

    // False: nothing is listed.
    bool listsAnything() const;
    // The range as day numbers, open ends as the extremes.
    ZRDate firstDayNumber() const;
    ZRDate lastDayNumber() const;

    bool matchesTask(const ZRCDTask* task) const;
    bool matches(const ZRCDTiming& timing) const;
    bool matches(const ZRCDTimingSet& set) const;

    // The filter as text, "%@" and "%ld" left for the uuid and the days:
    // "task.isArchived == 0 AND absDay >= %ld AND absDay <= %ld".
    std::string format(bool compact) const;

    bool operator==(const TimedEntriesFilter&) const = default;
};

}  // namespace ravelong

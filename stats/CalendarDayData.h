#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "core/model/TaskColor.h"
#include "foundation/Error.h"

namespace ravelong {

class BackgroundReader;

// What the main window's calendar draws: the span of days on which the selected tasks have time,
// and per day of the visible months those tasks' time, from the day aggregates (ZRCDTimingSet) as
// last saved. The selected tasks are the checked tasks under the archive filter, each counted
// with its descendants.
struct CalendarTaskMark {
    std::string taskID;  // the task's uuid
    TaskColor color;
    double seconds = 0.0;  // stopped time of the task and its descendants on the day
    bool operator==(const CalendarTaskMark&) const = default;
};

struct CalendarDay {
    double seconds = 0.0;                 // all marks together, each aggregate counted once
    std::vector<CalendarTaskMark> tasks;  // by task uuid
    bool operator==(const CalendarDay&) const = default;
};

struct CalendarDayData {
    // First and last calendar day with time of the selected tasks; both 0 when there is none.
    ZRYearMonthDay earliest = 0;
    ZRYearMonthDay latest = 0;
    // Year * 12 + month of `earliest` (0 without days).
    std::int64_t absoluteNumberOfEarliestMonth = 0;
    std::map<ZRYearMonthDay, CalendarDay> days;  // only days with time
    bool operator==(const CalendarDayData&) const = default;
};

// The inputs of one computation, read on the main thread.
struct CalendarDayRequest {
    std::int64_t showTasks = 2;  // the archive filter, "ZRShowTasks"
    ZRDate firstVisibleDay = 0;  // day numbers of the visible months
    ZRDate lastVisibleDay = 0;
};

// Computes the data from the store's tables through a background connection, inside one
// snapshot. Stops early, returning a Status with code kCancelledCode, when `cancelled` becomes
// true; a failed read returns the store's Error. Any thread that owns `reader`.
inline constexpr int kCalendarDayDataCancelledCode = 1;
Result<CalendarDayData> computeCalendarDayData(BackgroundReader& reader,
                                               const CalendarDayRequest& request,
                                               const std::atomic<bool>& cancelled);

}  // namespace ravelong

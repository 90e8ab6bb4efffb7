#pragma once

#include "stats/ChartData.h"

namespace ravelong {

class ManagedObjectContext;
class UserDefaults;
class ZRCDTask;

// Reads what a chart computation needs from the main context and the settings, so that the
// background part touches neither. Main thread only.
//
// The selected tasks follow "ZRSelectionState" under the archive filter "ZRShowTasks": 1 the
// highlighted task ("ZRSelectedTaskInDataSelection") when it passes the filter, 2 the checked
// tasks, 3 all tasks; anything else none. A selected task takes part when (state 3) it is
// visible in the statistics task list without a visible child, or (other states) it has no
// checked descendant, so no time is counted twice. The range, the rounding and the chart's own
// settings come from `defaults` (the standard suite) as the chart kind reads them.
ChartRequest buildChartRequest(ChartKind kind, ManagedObjectContext& context,
                               const UserDefaults& defaults, bool roundingEnabled);

// The day number, as the chart data count days, of a stored end of the selected range: the range is
// stored as calendar days (ZRYearMonthDay, as the calendar writes it), with 0 for an open start
// and 99999999 (or more) for an open end, which stay as they are.
std::int64_t chartDayOfStoredDay(std::int64_t stored);

// The children that count under the archive filter: 3 all, 2 the unarchived ones, 1 the archived
// ones, those with an archived child, and all children of an archived task (or of a task under
// an archived one); anything else none.
std::vector<ZRCDTask*> getChildTasksConsideringArchiveState(const ZRCDTask& task,
                                                            std::int64_t showTasks);

}  // namespace ravelong

#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "core/model/TaskColor.h"
#include "foundation/Error.h"

namespace ravelong {

class BackgroundReader;

// The data behind the pie, bar and line charts, computed from the day aggregates
// (ZRCDTimingSet) as last saved; never from the timings. Seconds and day numbers throughout.

// A task whose day aggregates count for a segment, with its effective rounding code
// (task_totals::getProperRounding): an aggregate's cached rounded total is used only when it was
// made for that code.
struct ChartSource {
    std::string uuid;
    std::int16_t roundingCode = 0;
};

// One considered task taking part in a chart: one pie slice, one bar segment.
struct ChartSegment {
    std::string uuid;
    std::string name;      // taskName
    std::string fullName;  // getFullTaskName
    TaskColor color;
    bool hasColor = false;     // without a stored colour the slice is clear
    bool roundsTimes = false;  // thisTaskOrAnyDescendantRoundsTimes
    // The task itself when it has no children, else its children and grandchildren under the
    // archive filter (a parent's own aggregates are not read).
    std::vector<ChartSource> sources;
};

enum class ChartKind { pie, bar, line };
enum class BarPeriod { daily, weekly, monthly, yearly };
enum class BarHighlight { none, weeks, weekends };

// What one computation needs, read on the main thread (ChartRequestBuilder).
struct ChartRequest {
    std::vector<ChartSegment> segments;  // in the order of the task chain
    // Whose aggregates bound the range when it is taken from the data: the selected tasks with
    // their children and grandchildren, whatever their archive state.
    std::vector<std::string> extentTasks;
    std::int64_t start = 0;  // generalStartDate
    std::int64_t end = 0;    // generalEndDate
    // The range is the extent of the data when end < start, start == 0 or end == 99999999
    // (bar and line charts; the pie chart uses the range as given).
    bool rangeFromData = false;
    ZRDate today = 0;  // under the day cut-off; the end when the data have no extent
    bool roundingEnabled = false;
    bool dontUseRounding = false;  // the chart's own "...DontUseRounding"
    // Pie: "ZRPieChartViewOption" and "ZRPieChartFullTaskName".
    std::int64_t pieViewOption = 0;
    bool pieFullName = false;
    // Bar.
    BarPeriod period = BarPeriod::daily;
    BarHighlight highlight = BarHighlight::none;
    int firstWeekday = 1;  // 1 Sunday ... 7 Saturday
};

inline constexpr std::int64_t kAllTimeEnd = 99999999;

struct PieSlice {
    double value = 0.0;
    std::string uuid;  // the payload: which task the pointer highlights
    std::string label;
    std::string name;  // the task name or the full name, as the pie's setting asks
    std::string shortName;
    std::string fullName;
    TaskColor color;
    bool clear = false;  // the task has no colour
    bool operator==(const PieSlice&) const = default;
};

struct PieChartData {
    std::vector<PieSlice> slices;  // largest first; equal values keep the chain order
    double total = 0.0;
    bool hasRoundedTimes = false;
};

struct BarChartData {
    ZRDate earliest = 0;  // first day of the range
    BarPeriod period = BarPeriod::daily;
    int firstWeekday = 1;
    // values[c][k]: seconds of segment k in column c. A column lists only as far as its last
    // segment with time; a column without time is empty.
    std::vector<std::vector<double>> values;
    std::vector<ChartSegment> segments;  // colours, uuids and names by segment (no sources)
    std::vector<int> limitLines;         // column indexes of the background highlight
    std::vector<ZRDate> columnStarts;    // the first day of each column, for the axis labels
    double total = 0.0;
    bool dataAvailable = false;
    bool hasRoundedTimes = false;
    int columns() const { return static_cast<int>(values.size()); }
};

struct LineChartData {
    ZRDate earliest = 0;
    std::vector<double> daily;  // seconds per day from `earliest`
    double total = 0.0;
    bool dataAvailable = false;
    bool hasRoundedTimes = false;
    int days() const { return static_cast<int>(daily.size()); }
};

// Computations through a background connection, inside one snapshot. They return an Error with
// kChartDataCancelledCode when `cancelled` turns true, and the store's Error when a read fails.
// Any thread that owns `reader`.
inline constexpr int kChartDataCancelledCode = 1;
Result<PieChartData> computePieChartData(BackgroundReader& reader, const ChartRequest& request,
                                         const std::atomic<bool>& cancelled);
Result<BarChartData> computeBarChartData(BackgroundReader& reader, const ChartRequest& request,
                                         const std::atomic<bool>& cancelled);
Result<LineChartData> computeLineChartData(BackgroundReader& reader, const ChartRequest& request,
                                           const std::atomic<bool>& cancelled);

// The weighted moving average of `daily` over `period` days: for day i with m = min(i + 1, P)
// the newest day weighs 2m - 1, the oldest 1, and the sum is divided by m². A window without
// time gives -1.0. Empty (no average line) for a period below 1 or fewer than 2 days.
std::vector<double> weightedMovingAverage(const std::vector<double>& daily, std::int64_t period);

// The weekly column offset for a first weekday (1 Sunday ... 7 Saturday; anything else counts
// as Sunday): (day + offset) / 7 numbers the weeks.
int weeklyColumnOffset(int firstWeekday);

}  // namespace ravelong

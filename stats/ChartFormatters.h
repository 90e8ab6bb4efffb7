#pragma once

#include <cstdint>
#include <string>

#include "core/calendar/CalendarTypes.h"
#include "stats/ChartData.h"

// The texts the charts show: slice labels, values on columns and points, axis labels, and the
// proposed file name of a chart image. Dates in the user's locale (ZRCalendar::zrCalendar).
// Any thread.
namespace ravelong::chart_formatters {

// Marker (6 % or less of the total) + name + ", " + the value as the pie's view option asks:
// 2 the share "%.1f%%", 1 decimal hours, otherwise hours and minutes.
std::string pieSliceLabel(const std::string& name, double value, double total,
                          std::int64_t viewOption);

// The value on a column or point: empty for 0 or less; "1:05" style up to 55 points of column
// width, "1h 5m" style above.
std::string xyValueText(double seconds, double columnWidth);
// The y axis of the line chart: whole hours and "h".
std::string yAxisText(double seconds);
// The label of a bar column (a line break may separate month and year) for its width in points.
std::string barAxisLabel(const BarChartData& data, int column, double columnWidth);
// The label of a day of the line chart.
std::string dayAxisLabel(ZRDate day, double columnWidth);

// A date in the locale's pattern for an ICU skeleton ("MMM d yyyy", "MMMM, yyyy").
std::string formatDay(ZRDate day, const char* skeleton);

// "Ravelong Pie Chart (all time)", "Ravelong Bar Chart (Mar 4 - Mar 10 2024)".
std::string chartFileName(ChartKind kind, std::int64_t start, std::int64_t end);
// The range text of a file name; empty when none can be made.
std::string rangeText(std::int64_t start, std::int64_t end);

}  // namespace ravelong::chart_formatters

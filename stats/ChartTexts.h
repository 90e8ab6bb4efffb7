#pragma once

#include <string_view>

#include "app/AppStrings.h"  // kDaily, formatText

// Texts of the charts: their settings keys (the shared ones live in app/PreferenceKeys.h), the
// measuring periods and highlights of the bar chart, and the notifications the charts follow.
namespace ravelong {

inline constexpr std::string_view kZRBarChartDontUseRounding = "ZRBarChartDontUseRounding";
inline constexpr std::string_view kZRBarChartShowSettings = "ZRBarChartShowSettings";
inline constexpr std::string_view kZRLineChartCustomAveragePeriod =
    "ZRLineChartCustomAveragePeriod";
inline constexpr std::string_view kZRLineChartNoFill = "ZRLineChartNoFill";
inline constexpr std::string_view kZRLineChartFillAverage = "ZRLineChartFillAverage";
inline constexpr std::string_view kZRLineChartDontUseRounding = "ZRLineChartDontUseRounding";
inline constexpr std::string_view kZRLineChartShowSettings = "ZRLineChartShowSettings";

inline constexpr std::string_view kWeekly = "weekly";
inline constexpr std::string_view kMonthly = "monthly";
inline constexpr std::string_view kYearly = "yearly";
inline constexpr std::string_view kHighlightWeeks = "highlight weeks";
inline constexpr std::string_view kHighlightWeekends = "highlight weekends";

// Notifications that make every chart view compute afresh ("ZRRedrawDataDisplay",
// "ConsideredTasksChanged", "ZRTaskColorChangedNotification" and "ZRTaskNameDidChange" are in
// app/SavePathTexts.h).
inline constexpr std::string_view kTimeIntervalChanged = "TimeIntervalChanged";

// Put in front of the label of a slice of 6 % or less, which the drawing places outside.
inline constexpr std::string_view kSmallSliceMarker = "$§$§";

// Image export.
inline constexpr std::string_view kRavelongPieChart = "Ravelong Pie Chart";
inline constexpr std::string_view kRavelongLineChart = "Ravelong Line Chart";
inline constexpr std::string_view kRavelongBarChart = "Ravelong Bar Chart";
inline constexpr std::string_view kRavelongChart = "Ravelong Chart";
inline constexpr std::string_view kAllTimeFileName = "%@ (all time)";
inline constexpr std::string_view kRangeFileName = "%@ (%@)";
inline constexpr std::string_view kUntitled = "Untitled";
inline constexpr std::string_view kExportingPieChart = "Exporting Pie Chart";
inline constexpr std::string_view kExportingBarChart = "Exporting Bar Chart";
inline constexpr std::string_view kExportingLineChart = "Exporting Line Chart";
inline constexpr std::string_view kExportTimings = "Export Timings...";
inline constexpr std::string_view kExportChart = "Export Chart...";
inline constexpr std::string_view kExport = "Export...";

}  // namespace ravelong

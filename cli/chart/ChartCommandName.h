#pragma once

#include <string_view>

namespace ravelong::cli {

// The chart command as ravelong-cli lists it and as ravelong-cli-chart runs it.
inline constexpr std::string_view kChartCommand = "chart";
inline constexpr std::string_view kChartArguments =
    "--kind pie|bar|line --format pdf|png|jpeg [--from DATE] [--to DATE] OUT";
inline constexpr std::string_view kChartSummary =
    "Draw a chart of the selected tasks into a PDF, PNG or JPEG file";

}  // namespace ravelong::cli

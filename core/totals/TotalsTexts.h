#pragma once

#include <string_view>

// Texts, undo action names and notification names of task totals and rounding.
namespace ravelong {

// Undo action names of the rounding controls.
inline constexpr std::string_view kUndoSetTaskRoundingType = "Set Task Rounding Type";
inline constexpr std::string_view kUndoSetTaskRoundingMinutes = "Set Task Rounding Minutes";

// Posted after the user changed a task's rounding rule; views that show rounded totals reload.
inline constexpr std::string_view kZRRoundingModified = "ZRRoundingModified";

// Tool tips of a task's rounding control. "%hd" is the number of minutes.
inline constexpr std::string_view kRoundUpToNearestMinute = "Round up to nearest minute";
inline constexpr std::string_view kRoundUpToNearestMinutes = "Round up to nearest %hd minutes";
inline constexpr std::string_view kRoundToNearestMinute = "Round to nearest minute";
inline constexpr std::string_view kRoundToNearestMinutes = "Round to nearest %hd minutes";
inline constexpr std::string_view kRoundDownToNearestMinute = "Round down to nearest minute";
inline constexpr std::string_view kRoundDownToNearestMinutes = "Round down to nearest %hd minutes";
inline constexpr std::string_view kRoundUpToNearestMinutesInherited =
    "Round up to nearest %hd minutes\n(setting inherited from parent task)";
inline constexpr std::string_view kRoundToNearestMinutesInherited =
    "Round to nearest %hd minutes\n(setting inherited from parent task)";
inline constexpr std::string_view kRoundDownToNearestMinutesInherited =
    "Round down to nearest %hd minutes\n(setting inherited from parent task)";
inline constexpr std::string_view kContainsASubtaskThatUsesRounding =
    "Contains a subtask that uses rounding";

// The rule in running text, for the task information view: "no rounding", or one of the three
// beginnings followed by "minute" or "%hd minutes".
inline constexpr std::string_view kNoRounding = "no rounding";
inline constexpr std::string_view kRoundUpToNearestPrefix = "round up to nearest ";
inline constexpr std::string_view kRoundToNearestPrefix = "round to nearest ";
inline constexpr std::string_view kRoundDownToNearestPrefix = "round down to nearest ";
inline constexpr std::string_view kMinuteSuffix = "minute";
inline constexpr std::string_view kMinutesSuffix = "%hd minutes";

}  // namespace ravelong

#pragma once

#include <string_view>

// Texts of the statistics selection. Preference keys live in app/PreferenceKeys.h, the
// notifications "ConsideredTasksChanged" and "ZRRedrawDatePicker" in app/SavePathTexts.h.
namespace ravelong {

// The filters of the considered tasks, as the selection is described to users and in logs
// (ZRConsideredTasks::predicateFormat). "%@" stands for the highlighted task's uuid.
inline constexpr std::string_view kNoTaskPredicate = "taskIsSelected == 10";
inline constexpr std::string_view kHighlightedAllPredicate =
    "uuid = %@ OR parentTask.uuid = %@ OR parentTask.parentTask.uuid = %@";
inline constexpr std::string_view kHighlightedUnarchivedPredicate =
    "uuid = %@ OR (parentTask.uuid = %@ AND isArchived = 0) OR (parentTask.parentTask.uuid = %@ "
    "AND isArchived = 0)";
inline constexpr std::string_view kHighlightedArchivedPredicate =
    "uuid = %@ OR (isArchived == 1 AND parentTask.uuid = %@) OR (isArchived == 1 AND "
    "parentTask.parentTask.uuid = %@)";
inline constexpr std::string_view kCheckedAllPredicate =
    "taskIsSelected == 1 OR parentTask.taskIsSelected == 1 OR "
    "parentTask.parentTask.taskIsSelected == 1";
inline constexpr std::string_view kCheckedUnarchivedPredicate =
    "(taskIsSelected == 1 AND isArchived == 0) OR (parentTask.taskIsSelected == 1 AND isArchived "
    "== 0) OR (parentTask.parentTask.taskIsSelected == 1 AND isArchived == 0)";
inline constexpr std::string_view kCheckedArchivedPredicate =
    "(taskIsSelected = 1 AND isArchived = 1) OR (isArchived = 1 AND parentTask.taskIsSelected = "
    "1) OR (isArchived = 1 AND parentTask.parentTask.taskIsSelected = 1) OR ((taskIsSelected == 1 "
    "OR parentTask.taskIsSelected == 1) AND (isArchived == 1 OR ANY childTasks.isArchived == 1 OR "
    "0 != SUBQUERY(childTasks, $x, (0 != SUBQUERY($x.childTasks, $y, $y.isArchived == "
    "1).@count)).@count))";
inline constexpr std::string_view kVisibleAllPredicate = "isVisibleInDataSelection == 1";
inline constexpr std::string_view kVisibleUnarchivedPredicate =
    "isVisibleInDataSelection == 1 && isArchived == 0";
inline constexpr std::string_view kVisibleArchivedPredicate =
    "isVisibleInDataSelection == 1 && isArchived == 1";

// The calendar's interval selector.
inline constexpr std::string_view kIntervalCustom = "custom";
inline constexpr std::string_view kIntervalAll = "all";

}  // namespace ravelong

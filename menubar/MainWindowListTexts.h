#pragma once

#include <string_view>

// Texts of the main window's lists: the statistics task list and the timed entries list.
// Preference keys are in app/PreferenceKeys.h, the tree editing's undo names in
// core/tree/TreeTexts.h.
namespace ravelong {

// --- Statistics task list: which tasks each archive filter lists ---
inline constexpr std::string_view kListedVisibleTasks = "isVisibleInDataSelection == 1";
inline constexpr std::string_view kListedVisibleUnarchivedTasks =
    "isVisibleInDataSelection == 1 AND isArchived == 0";
inline constexpr std::string_view kListedArchivedTasks = "isArchived == 1";
inline constexpr std::string_view kListedNoTasks = "taskIsSelected == 10";

// --- Timed entries list: the parts of its filter, joined by kFilterAnd ---
inline constexpr std::string_view kFilterAnd = " AND ";
inline constexpr std::string_view kEntriesOfChosenTask =
    "(task.parentTask.parentTask.uuid = %@ OR task.parentTask.uuid = %@ OR task.uuid = %@)";
inline constexpr std::string_view kEntriesOfSelectedTasks =
    "(task.taskIsSelected == 1 OR task.parentTask.taskIsSelected == 1 OR "
    "task.parentTask.parentTask.taskIsSelected == 1)";
inline constexpr std::string_view kEntriesOfArchivedTasks = "task.isArchived == 1";
inline constexpr std::string_view kEntriesOfUnarchivedTasks = "task.isArchived == 0";
inline constexpr std::string_view kTimingSetDays = "absDay >= %ld AND absDay <= %ld";
inline constexpr std::string_view kTimingDays =
    "ANY timingSets.absDay >= %ld AND ANY timingSets.absDay <= %ld";
inline constexpr std::string_view kNoTimings = "task = 0";
inline constexpr std::string_view kNoTimingSets = "task.taskIsSelected == 10";

// --- Timed entries list: summary line under the list ---
inline constexpr std::string_view kSummarySelectedOfListed = "%lu of %ld timings - %@";
inline constexpr std::string_view kSummaryOneTiming = "1 timing - %@";
inline constexpr std::string_view kSummaryTimings = "%ld timings - %@";

// --- Timed entries list: undo step names ---
inline constexpr std::string_view kUndoDeleteTiming = "Delete Timing";
inline constexpr std::string_view kUndoDeleteTimings = "Delete Timings";
inline constexpr std::string_view kUndoModifyTiming = "Modify Timing";
inline constexpr std::string_view kUndoAddTiming = "Add Timing";
inline constexpr std::string_view kUndoEditTimingNotes = "Edit Timing Notes";
inline constexpr std::string_view kUndoAssignToTask = "Assign to Task";
inline constexpr std::string_view kUndoAssignToRecentTask = "Assign to recent Task";

// --- Timed entries list: refused edits (Error descriptions) ---
inline constexpr std::string_view kEditNothingChosen = "Choose the entries to change first.";
inline constexpr std::string_view kEditTimeDoesNotExist =
    "That time does not exist on that day: the clocks were put forward then. Choose a time "
    "outside the skipped hour.";
inline constexpr std::string_view kEditEndBeforeStart = "An entry cannot end before it starts.";
inline constexpr std::string_view kEditTooLong = "An entry cannot last longer than ten years.";
inline constexpr std::string_view kEditDurationUnreadable =
    "The duration could not be read. Type it as 1:30, 1:30:00, 1.5 or 1h 30m.";
inline constexpr std::string_view kEditDurationNotPositive = "The duration must be above zero.";
inline constexpr std::string_view kEditRunningTimingEnd =
    "The timer of this entry is still running: stop it before changing its end or duration.";
inline constexpr std::string_view kEditRunningStartTooEarly =
    "A running timer can be moved back by at most 96 hours.";
inline constexpr std::string_view kEditRunningStartInFuture =
    "A running timer cannot start in the future.";
inline constexpr std::string_view kEditCompactRows =
    "Rows that sum up a day cannot be edited one by one: turn off the compact list first.";
inline constexpr std::string_view kEditTaskNotAssignable =
    "Entries can only be assigned to another task without subtasks.";
inline constexpr std::string_view kEditDateOutOfRange =
    "The start must lie between 1 January 2001 and two years from now.";
inline constexpr std::string_view kEditRestrictedMode =
    "Ravelong cannot add entries while it cannot save its data.";

}  // namespace ravelong

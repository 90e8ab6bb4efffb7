#pragma once

#include <string_view>

// Texts, notification names and undo step names of the tray item and its stack menu.
namespace ravelong::menu_bar_texts {

// --- The tray item ---

// Shown as the task name when there is no current task.
inline constexpr std::string_view kNoTask = "No Task";
// What the item holds internally instead of a task name when there is no current task.
inline constexpr std::string_view kNoTaskMarker = "No T&$i";
// The badge from ten running timers on (FULLWIDTH PLUS SIGN).
inline constexpr std::string_view kManyTimersBadge = "\uFF0B";

// The tool tip line naming the total the item shows, by "ZRStatusIconDuration" (1 to 11).
inline constexpr std::string_view kTotalCurrentTimer = "Current timer: %@";
inline constexpr std::string_view kTotalTaskToday = "Today: %@";
inline constexpr std::string_view kTotalTaskWeek = "This week: %@";
inline constexpr std::string_view kTotalTaskMonth = "This month: %@";
inline constexpr std::string_view kTotalTaskYear = "This year: %@";
inline constexpr std::string_view kTotalTaskEver = "All time: %@";
inline constexpr std::string_view kTotalAllToday = "All tasks today: %@";
inline constexpr std::string_view kTotalAllWeek = "All tasks this week: %@";
inline constexpr std::string_view kTotalAllMonth = "All tasks this month: %@";
inline constexpr std::string_view kTotalAllYear = "All tasks this year: %@";
inline constexpr std::string_view kTotalAllEver = "All tasks, all time: %@";
// The tool tip line with the number of running timers (two or more).
inline constexpr std::string_view kTimersRunning = "%@ timers running";
// The length of a timing just stopped some minutes ago, shown once.
inline constexpr std::string_view kTimerStoppedAfter = "Timer stopped after %@";

// --- The stack menu ---

// The first item: its title while timers run, and while none does.
inline constexpr std::string_view kRunningTimersHeading = "Running Timers";
inline constexpr std::string_view kRecentTasksHeading = "Start a Recent Task";
// Title of a running timing's entry: the task's name and the time it has run.
inline constexpr std::string_view kRunningTimingTitle = "%@ \u2014 %@";
// The alternate of a recent task's entry (the Control key), shown as a submenu item here.
inline constexpr std::string_view kShowInTaskList = "Show %@ in the Task List";

// Menus where an item with a submenu cannot be chosen itself carry the entry's own action (the
// stop of the running timing) as the first item of its submenu.
inline constexpr std::string_view kStopTimerNow = "Stop Timer Now";
inline constexpr std::string_view kShowTasks = "Show Tasks";
inline constexpr std::string_view kPreferences = "Preferences…";
inline constexpr std::string_view kImportCsv = "Import CSV…";

inline constexpr std::string_view kAddNoteToTiming = "Add note to Timing";
inline constexpr std::string_view kEditNoteOfTiming = "Edit note of Timing";
inline constexpr std::string_view kAssignToTask = "Assign to Task";
inline constexpr std::string_view kRecentTasksHeader = "Recent tasks:";
inline constexpr std::string_view kMoveStartBackInTime = "Move start back in time";
inline constexpr std::string_view kStopTimer = "Stop timer";
inline constexpr std::string_view kDeleteTimingAndStop = "Delete Timing";
inline constexpr std::string_view kQuitRavelong = "Quit Ravelong";
inline constexpr std::string_view kShowMainWindow = "Show Main Window";
inline constexpr std::string_view kUndo = "Undo";
inline constexpr std::string_view kRedo = "Redo";
inline constexpr std::string_view kUndoNamed = "Undo %@";
inline constexpr std::string_view kRedoNamed = "Redo %@";

// Fixed offsets: "%@ minutes" back, "%@ minutes ago".
inline constexpr std::string_view kOneMinute = "1 minute";
inline constexpr std::string_view kMinutes = "%@ minutes";
inline constexpr std::string_view kOneMinuteAgo = "1 minute ago";
inline constexpr std::string_view kMinutesAgo = "%@ minutes ago";

// Special entries. Each comes in three forms: minutes and seconds, seconds only (when the
// minutes part is 0), and hours, minutes and seconds (from one hour on).
inline constexpr std::string_view kEndOfLastTimingMS = "%lum %lus (end of last timing)";
inline constexpr std::string_view kEndOfLastTimingS = "%lu seconds (end of last timing)";
inline constexpr std::string_view kEndOfLastTimingHMS = "%luh %lum %lus (end of last timing)";
inline constexpr std::string_view kLastWakeMS = "%lum %lus (last system wake)";
inline constexpr std::string_view kLastWakeS = "%lu seconds (last system wake)";
inline constexpr std::string_view kLastWakeHMS = "%luh %lum %lus (last system wake)";
inline constexpr std::string_view kAgoLastSleepMS = "%lum %lus ago (last system sleep)";
inline constexpr std::string_view kAgoLastSleepS = "%lu seconds ago (last system sleep)";
inline constexpr std::string_view kAgoLastSleepHMS = "%luh %lum %lus ago (last system sleep)";
inline constexpr std::string_view kAgoLastWakeMS = "%lum %lus ago (last system wake)";
inline constexpr std::string_view kAgoLastWakeS = "%lu seconds ago (last system wake)";
inline constexpr std::string_view kAgoLastWakeHMS = "%luh %lum %lus ago (last system wake)";

// Joins a task's uuid and a timing's uuid in an "Assign to Task" entry.
inline constexpr std::string_view kAssignSeparator = "|||||";

// --- Undo step names ---

inline constexpr std::string_view kUndoMoveStartBack = "Move Start of Timer Back %ld Minutes";
inline constexpr std::string_view kUndoDeleteTiming = "Delete Timing";
inline constexpr std::string_view kUndoAssignTask = "Assign Task";

// --- Notifications ---

// Object: the chosen ZRCDTask or ZRCDTiming; userInfo "uuid" (std::string) and "isTiming" (bool).
inline constexpr std::string_view kZRRecentTaskClicked = "ZRRecentTaskClicked";
// Object: the chosen ZRCDTask; userInfo "uuid" (std::string).
inline constexpr std::string_view kZRRecentTaskAlternateClicked = "ZRRecentTaskAlternateClicked";
inline constexpr std::string_view kUserInfoUuid = "uuid";
inline constexpr std::string_view kUserInfoIsTiming = "isTiming";

}  // namespace ravelong::menu_bar_texts

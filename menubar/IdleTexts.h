#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "menubar/MainWindowListTexts.h"  // "Add Timing", "Edit Timing Notes"

// Texts and names of the idle panel, the sleep and wake handling and the add-note panel.
namespace ravelong {

// Idle panel texts; each %@ is filled in order.
inline constexpr std::string_view kIdleSinceText = "Your computer has been idle since %@ (%@).";
inline constexpr std::string_view kIdleStopOptionText = "   Stop the timer at %@";
inline constexpr std::string_view kIdleStopStartOptionText =
    "   Stop the timer at %@ and start a new timer now";
inline constexpr std::string_view kSelectTaskItem = "Select task...";
inline constexpr std::string_view kRecentTasksItem = "Recent tasks:";

// Identifiers of the panel's options, in the order of their stored numbers 0...3.
inline constexpr std::string_view kIdleOptionContinue = "continue";
inline constexpr std::string_view kIdleOptionStopStart = "stopstart";
inline constexpr std::string_view kIdleOptionStop = "stop";
inline constexpr std::string_view kIdleOptionPut = "put";

// Undo action names of the resolutions and of sleep.
inline constexpr std::string_view kUndoAddTimings = "Add Timings";
inline constexpr std::string_view kUndoStopAndRestartTiming = "Stop and Restart Timing";
inline constexpr std::string_view kUndoStopAndRestartTimings = "Stop and Restart Timings";
inline constexpr std::string_view kUndoPutAwayTiming =
    "Stop Timing, Assign Idle Time to Task, and Restart Timing";
inline constexpr std::string_view kUndoPutAwayTimings =
    "Stop Timings, Assign Idle Time to Task, and Restart Timings";
inline constexpr std::string_view kUndoSleepStopTimer = "Stop Timer When Computer Went to Sleep";
inline constexpr std::string_view kUndoSleepStopTimers = "Stop Timers When Computer Went to Sleep";

// Posted after waking when the running rows of the task list must be redrawn.
inline constexpr std::string_view kMenuBarTableViewNeedsToReloadConcernedRows =
    "MenuBarTableViewNeedsToReloadConcernedRows";

// Add-note timing list: the entry for no timing, and the time parts after a task name.
inline constexpr std::string_view kNoTimingEntry = "--";
inline constexpr std::string_view kRunningTimingSuffix = " | %@ - now";
inline constexpr std::string_view kEndedTimingSuffix = " | %@ - %@";

// Fills each "%@" of `format` with the next of `values`, in order; missing values leave "".
std::string fillPlaceholders(std::string_view format, std::initializer_list<std::string> values);

}  // namespace ravelong

#pragma once

#include <string_view>

// Notification names, undo names and texts of the task list panel. The preference keys live in
// app/PreferenceKeys.h, the notifications the preferences post in app/AppStrings.h.
namespace ravelong {

// Rows of the list whose tasks changed; the user info "rows" holds a std::vector<int> of rows.
inline constexpr std::string_view kMenuBarTableViewNeedsToReloadConcernedRows =
    "MenuBarTableViewNeedsToReloadConcernedRows";
inline constexpr std::string_view kMenuBarTableViewNeedsToReloadAfterNewDayBegun =
    "MenuBarTableViewNeedsToReloadAfterNewDayBegun";

// Posted by the tray's menu of running and recent tasks. The user info holds the chosen entry
// under "object": a ZRCDTask* or a ZRCDTiming* (a running timing), or under "uuid" a task's uuid
// (std::string).
inline constexpr std::string_view kZRRecentTaskClicked = "ZRRecentTaskClicked";
inline constexpr std::string_view kZRRecentTaskAlternateClicked = "ZRRecentTaskAlternateClicked";
inline constexpr std::string_view kRecentTaskObjectKey = "object";
inline constexpr std::string_view kRecentTaskUuidKey = "uuid";
inline constexpr std::string_view kConcernedRowsKey = "rows";

// Undo step names of the edits made in the list.
inline constexpr std::string_view kUndoRenameTask = "Rename Task";
inline constexpr std::string_view kUndoEditTask = "Edit Task";

// The question before a merge by drop: the dragged task's name, then the target's.
inline constexpr std::string_view kMergeTasksQuestion = "Merge \"%@\" into \"%@\"?";
inline constexpr std::string_view kMergeTasksInformative =
    "The timings, subtasks and description of the dragged task move to the other task, and the "
    "dragged task is deleted. Undo restores both.";
inline constexpr std::string_view kMergeButton = "Merge";
inline constexpr std::string_view kMergeCancelButton = "Cancel";

}  // namespace ravelong

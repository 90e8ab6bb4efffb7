#pragma once

#include <string_view>

// Texts of the task tree editing: names of new tasks, undo action names, the delete question.
namespace ravelong {

inline constexpr std::string_view kUntitledTask = "Untitled Task";
inline constexpr std::string_view kUntitledSubtask = "Untitled Subtask";
// Given to a task that has lost its name, and to the task that takes in timings left without one.
inline constexpr std::string_view kRecoveredTask = "Recovered Task";

inline constexpr std::string_view kUndoAddTask = "Add Task";
inline constexpr std::string_view kUndoAddSubtask = "Add Subtask";
inline constexpr std::string_view kUndoArchiveTask = "Archive Task";
inline constexpr std::string_view kUndoUnarchiveTask = "Unarchive Task";
inline constexpr std::string_view kUndoArchiveSubtasks = "Archive Subtasks";
inline constexpr std::string_view kUndoUnarchiveSubtasks = "Unarchive Subtasks";
inline constexpr std::string_view kUndoRearrangeTask = "Rearrange Task";
inline constexpr std::string_view kUndoMergeTasks = "Merge Tasks";

// Deleting a task that has archived subtasks.
inline constexpr std::string_view kDeleteArchivedSubtaskMessage =
    "You are about to delete an archived task";
inline constexpr std::string_view kDeleteArchivedSubtaskInformative =
    "Deleting this task will also delete one archived subtask. To display this task open the main "
    "window and select 'Show archived tasks' from the view menu.";
inline constexpr std::string_view kDeleteArchivedSubtasksMessage =
    "You are about to delete archived tasks";
// %ld: the number of archived subtasks.
inline constexpr std::string_view kDeleteArchivedSubtasksInformative =
    "Deleting this task will also delete %ld archived subtasks. To display these tasks open the "
    "main window and select 'Show archived tasks' from the view menu.";
inline constexpr std::string_view kDeleteButton = "Delete";
inline constexpr std::string_view kCancelButton = "Cancel";

// The user default that keeps the search text of the menu-bar task list.
inline constexpr std::string_view kMenuBarSearchTermDefaultsKey = "ZRMenuBarSearchTerm";

// Merged names and descriptions: "%@ + %@" and "%@\n\n%@".
inline constexpr std::string_view kMergedNameSeparator = " + ";
inline constexpr std::string_view kMergedDescriptionSeparator = "\n\n";

}  // namespace ravelong

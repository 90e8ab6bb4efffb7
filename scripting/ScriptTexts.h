#pragma once

#include <string_view>

namespace ravelong {

// Undo action names of the changes scripts make.
inline constexpr std::string_view kAddTaskScript = "Add Task (Script)";
inline constexpr std::string_view kAddTimingScript = "Add Timing (Script)";
inline constexpr std::string_view kRenameTaskScript = "Rename Task (Script)";
inline constexpr std::string_view kRearrangeTaskScript = "Rearrange Task (Script)";
inline constexpr std::string_view kEditNoteScript = "Edit Note (Script)";

// The error a command reports when it was sent without any arguments.
inline constexpr int kScriptParameterErrorNumber = -50;
inline constexpr std::string_view kScriptParameterErrorText =
    "Parameter Error: A Parameter is expected for the verb 'lookup' (You have to specify _what_ "
    "you want to lookup!).";

// The longest identifier (task or timing uuid, older task identifier) a script may pass, in
// characters; identifiers hold no spaces or control characters.
inline constexpr int kMaxScriptIdentifierLength = 256;

// Argument keys of the commands.
inline constexpr const char* kArgName = "name";
inline constexpr const char* kArgParentTaskID = "parentTaskID";
inline constexpr const char* kArgDescription = "description";
inline constexpr const char* kArgTaskID = "taskID";
inline constexpr const char* kArgStartDate = "startDate";
inline constexpr const char* kArgEndDate = "endDate";
inline constexpr const char* kArgNote = "note";
inline constexpr const char* kArgIncludeArchived = "includeArchived";

}  // namespace ravelong

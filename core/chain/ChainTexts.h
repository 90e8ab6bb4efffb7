#pragma once

#include <string_view>

// Undo action names of the tree changes that keep the display chain in order.
namespace ravelong {

inline constexpr std::string_view kUndoDeleteTask = "Delete Task";
inline constexpr std::string_view kUndoDeleteTasks = "Delete Tasks";

}  // namespace ravelong

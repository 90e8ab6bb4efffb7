#pragma once

#include <string_view>

// User defaults the records read.
namespace ravelong {

// Length of the recent-task list (1...20; anything else means 10).
inline constexpr std::string_view kZRNumberOfRecentTasks = "ZRNumberOfRecentTasks";
// Names the user gave this computer and themself; empty or absent means the system's names.
inline constexpr std::string_view kZRDeviceName = "ZRDeviceName";
inline constexpr std::string_view kZRUserName = "ZRUserName";
// Archive filter of the statistics task list: 1 archived only, 2 unarchived only, 3 all.
inline constexpr std::string_view kZRShowTasks = "ZRShowTasks";

}  // namespace ravelong

#pragma once

#include <cstdint>
#include <string_view>

namespace ravelong {

// The period of the first total of each task list row ("ZRMenuBarCustomDuration"): 0 today,
// 1 this week, 2 this month, 3 this year.
enum class MenuBarPeriod : int { today = 0, week = 1, month = 2, year = 3 };

namespace menu_bar_period {

// A stored value as a period; anything out of range reads as today.
MenuBarPeriod fromStored(std::int64_t value);
// The period after `period` when the user clicks a row's totals: today, week, month, year, today.
MenuBarPeriod next(MenuBarPeriod period);
// "today", "this week", "this month" or "this year".
std::string_view label(MenuBarPeriod period);

}  // namespace menu_bar_period

}  // namespace ravelong

#include "menubar/MenuBarPeriod.h"

namespace ravelong::menu_bar_period {

MenuBarPeriod fromStored(std::int64_t value) {
    return value >= 0 && value <= 3 ? static_cast<MenuBarPeriod>(value) : MenuBarPeriod::today;
}

MenuBarPeriod next(MenuBarPeriod period) {
    return fromStored((static_cast<int>(period) + 1) % 4);
}

std::string_view label(MenuBarPeriod period) {
    switch (period) {
        case MenuBarPeriod::today:
            return "today";
        case MenuBarPeriod::week:
            return "this week";
        case MenuBarPeriod::month:
            return "this month";
        case MenuBarPeriod::year:
            return "this year";
    }
    return "today";
}

}  // namespace ravelong::menu_bar_period

#pragma once

#include <string>

namespace ravelong {

// What the tray item shows at one moment, as plain texts the drawing code puts on screen. Empty
// texts are not shown.
struct StatusItemDisplay {
    // The current task's name, "No Task" without one; empty when names are not shown.
    std::string taskName;
    // The same whether or not names are shown: the tool tip always names the task.
    std::string currentTaskName;
    // The chosen total (hours and minutes); empty when "ZRStatusIconDuration" is 0.
    std::string timeText;
    // The seconds counter of a timer that started less than the seconds limit ago.
    std::string secondsText;
    // The number of running timers from two on, the full-width plus sign from ten on.
    std::string badgeText;
    // The length of a timing just stopped some minutes ago, for one drawing only.
    std::string lastStopText;
    // A timer runs.
    bool running = false;

    // The text beside the icon where the host shows one: name, total and seconds counter.
    std::string labelText() const;
    // Name, total and any note in lines: what the icon's tool tip says.
    std::string toolTipText() const;
    // The same total line as the tool tip ("Today: 1h 5m"); set by the item.
    std::string totalLine;
    // "3 timers running" from two on.
    std::string runningLine;

    bool operator==(const StatusItemDisplay&) const = default;
};

}  // namespace ravelong

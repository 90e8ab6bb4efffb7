#pragma once

#include <cstdint>
#include <string_view>

#include "core/services/AlertSound.h"

// Names and numbers of the timer controller that other parts of the program match on.
namespace ravelong {

// Posted (object: the timer controller) on every tick and after over-long timers were split;
// every view that shows a running time refreshes on it.
inline constexpr std::string_view kZRTimeUpdate = "ZRTimeUpdate";

// Undo action names.
inline constexpr std::string_view kUndoStartTimer = "Start Timer";
inline constexpr std::string_view kUndoStopAndStartTimer = "Stop and Start Timer";
inline constexpr std::string_view kUndoStopTimer = "Stop Timer";
inline constexpr std::string_view kUndoStopTimers = "Stop Timers";

// User defaults the controller reads. The idle limit in seconds (0 or less: no idle check), and
// when the add-note panel opens on its own: 0 never, 1 after a stop, 2 after a start, 3 after
// both.
inline constexpr std::string_view kZRIdleTime = "ZRIdleTime";
inline constexpr std::string_view kZRShowAddNoteToTiming = "ZRShowAddNoteToTiming";

// Appended to a timing's uuid for the timing that continues it after an over-long stretch.
inline constexpr std::string_view kOvertimeUuidSuffix = "-001";

// How the add-note panel follows a stop or start (`override` of the stop and toggle calls).
inline constexpr std::int64_t kNoteOverrideNone = 0;         // the panel's own rule decides
inline constexpr std::int64_t kNoteOverrideAlternative = 1;  // the panel opens regardless
inline constexpr std::int64_t kNoteOverrideNoPanel = 2;      // no panel at all

// Types of the add-note panel requests.
inline constexpr int kNotePanelAfterStart = 2;
inline constexpr int kNotePanelAfterStop = 3;
inline constexpr int kNotePanelAfterStartAlways = 5;
inline constexpr int kNotePanelAfterStopAlways = 6;

// Delays in seconds: the panel after a stop and after a start wait for the action (and the
// menus it came from) to finish first.
inline constexpr double kNotePanelDelayAfterStop = 0.3;
inline constexpr double kNotePanelDelayAfterStart = 0.75;
// The tick of the running displays.
inline constexpr double kTimeUpdateInterval = 60.0;

// A stop that would leave less than this many seconds deletes the timing instead.
inline constexpr double kShortestTiming = 10.0;
// Running timers are cut into pieces of this length (96 hours).
inline constexpr double kLongestTiming = 345600.0;
// A timing stopped some time ago is shown on the menu bar item only below this length.
inline constexpr double kLongestLastStopShown = 345570.0;

}  // namespace ravelong

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ravelong {

// One item of the tray item's stack menu, as plain values the drawing code turns into a menu.
// Entries name their records by uuid, so an entry chosen after its record went away finds
// nothing (and the action is refused) instead of touching a stale record.
struct StackMenuEntry {
    enum class Kind {
        heading,  // the first item, disabled
        separator,
        runningTiming,    // uuid: the timing; has the timing submenu
        recentTask,       // uuid: the task; alternateTitle: its Control-key alternate
        addNote,          // uuid: the timing
        assignToTask,     // uuid: the timing; submenu filled when it opens
        assignHeader,     // "Recent tasks:", disabled
        assignTarget,     // assignment: "task uuid|||||timing uuid"
        moveStartBack,    // uuid: the timing; submenu of offsets
        moveStartBackBy,  // uuid: the timing; tag: seconds
        stopTimer,        // uuid: the timing; submenu of offsets
        stopTimerAgo,     // uuid: the timing; tag: seconds
        deleteTiming,     // uuid: the timing
        undo,
        redo,
        showMainWindow,
        quit,
    };

    Kind kind = Kind::separator;
    std::string title;
    // The title of the Control-key alternate (recent tasks only).
    std::string alternateTitle;
    // "1" to "9" and "0" for the first ten records; empty otherwise.
    std::string keyEquivalent;
    // Offsets in seconds for the move-back and stop entries.
    std::int64_t tag = 0;
    bool enabled = true;
    std::string uuid;
    std::string assignment;
    std::vector<StackMenuEntry> submenu;

    bool operator==(const StackMenuEntry&) const = default;
};

}  // namespace ravelong

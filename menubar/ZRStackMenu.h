#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "foundation/Instant.h"
#include "menubar/StackMenuEntry.h"

namespace ravelong {

class Clock;
class ManagedObjectContext;
class UserDefaults;
class ZRCDTask;
class ZRCDTiming;

// The contents of the tray item's stack menu, built anew each time it opens:
//
//   heading ("Running Timers" / "Start a Recent Task")
//   one entry per running timing, then per recent task, digits "1".."9", "0" on the first ten
//     a running timing's submenu: add or edit note, "Assign to Task" ("Recent tasks:" and the
//     tasks, filled when opened), "Move start back in time", "Stop timer", "Delete Timing"
//   Undo <name>, Redo <name>
//   "Quit Ravelong"
//
// The special entries of the move-back and stop submenus depend on the previous timing's end,
// the machine's last sleep and wake (given by the caller) and `timingWhenSleeping`. Instants are
// seconds since 2001; main thread only.
class ZRStackMenu {
public:
    using Record = std::variant<ZRCDTiming*, ZRCDTask*>;

    // The sleep and wake instants come from the tray item (nullopt: not since launch).
    struct SleepTimes {
        std::optional<Instant> lastPutToSleep;
        std::optional<Instant> lastWakeFromSleep;
    };

    ZRStackMenu(ManagedObjectContext& context, const UserDefaults& defaults, const Clock& clock);

    // Offsets of the "Move start back in time" and "Stop timer" submenus, in minutes.
    static const std::vector<int>& fixedMinuteOffsets();

    // Running timings (most recently modified first), then the recent tasks that have no running
    // timing listed before them.
    static std::vector<Record> getRunningTimingsAndMostRecentTasks_inContext(
        const ManagedObjectContext& context);

    // Seconds from the end of the latest timing that ended within the last 24 hours to the start
    // of `timing`; nullopt when there is none or it ended after `timing` started.
    static std::optional<double> secondsBetweenEndDateOfLatestTimingAndStartDateOfTiming(
        const ZRCDTiming& timing, const ManagedObjectContext& context, Instant now);

    // The menu for the current store state.
    std::vector<StackMenuEntry> menuWillOpen(const SleepTimes& sleep) const;
    std::vector<StackMenuEntry> createStackMenuWithRunningTimingsAndMostRecentTasks(
        const std::vector<Record>& records, const SleepTimes& sleep) const;

    // The special entries for one running timing (zero to two of each).
    std::vector<StackMenuEntry> setupSetAheadSpecialMenuItemsForRunningTiming(
        const ZRCDTiming& timing, const SleepTimes& sleep) const;
    std::vector<StackMenuEntry> setupStopTimerSpecialMenuItemsForRunningTiming(
        const ZRCDTiming& timing, const SleepTimes& sleep) const;

    // The "Assign to Task" submenu of the timing with `timingUuid`: "Recent tasks:" and the
    // recent tasks, then every unarchived task in list order (those with subtasks disabled).
    // Empty when the timing is gone.
    std::vector<StackMenuEntry> assignToTaskSubmenu(const std::string& timingUuid) const;

    // The title of a special entry for `seconds`: `ms` below an hour when the minutes part is not
    // 0, `s` when it is, `hms` from an hour on.
    static std::string specialTitle(std::int64_t seconds, std::string_view ms, std::string_view s,
                                    std::string_view hms);

private:
    StackMenuEntry timingEntry(const ZRCDTiming& timing, const SleepTimes& sleep,
                               Instant now) const;
    StackMenuEntry undoEntry(bool redo) const;

    ManagedObjectContext& context_;
    const UserDefaults& defaults_;
    const Clock& clock_;
};

}  // namespace ravelong

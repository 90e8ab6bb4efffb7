#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ravelong {

// Typed access to the most used settings of this computer, in UserDefaults::standard().
//
// A read returns the default given below when the key has no value, or holds a value of
// another type (a settings file edited by hand); it never fails. Every write is followed by a
// synchronize, whose failure is logged by UserDefaults and retried with the next write.
//
// The day ranges hold calendar days as ZRYearMonthDay (20240310); the whole history is 0 to
// 99999999. Main thread, like the rest of the settings logic.
class ZRUserDefaults2 {
public:
    ZRUserDefaults2() = delete;

    // "ZRVersion", -1: the last build number that ran (the launch's version gate).
    static std::int64_t versionNumber();
    static void setVersionNumber(std::int64_t value);

    // "ZRSelectionState", 3: which tasks the statistics consider.
    static std::int64_t selectionState();
    static void setSelectionState(std::int64_t value);

    // "ZRShowTasks", 2: archive filter of the statistics task list.
    static std::int64_t showTasks();
    static void setShowTasks(std::int64_t value);

    // "ZRCustomStartDate" 0, "ZRCustomEndDate" 99999999: the range last chosen by hand.
    static std::int64_t customStartDate();
    static void setCustomStartDate(std::int64_t value);
    static std::int64_t customEndDate();
    static void setCustomEndDate(std::int64_t value);

    // "ZRGeneralStartDate" 0, "ZRGeneralEndDate" 99999999: the selected range.
    static std::int64_t generalStartDate();
    static void setGeneralStartDate(std::int64_t value);
    static std::int64_t generalEndDate();
    static void setGeneralEndDate(std::int64_t value);
    // Both ends, with one synchronize.
    static void setGeneralStartAndEndDate(std::int64_t start, std::int64_t end);

    // "ZRTimeIntervalDuration", 2: the kind of the selected interval.
    static std::int64_t timeIntervalDuration();
    static void setTimeIntervalDuration(std::int64_t value);
    // Whether today (under the day cut-off, new_day_hour::current()) lies in the selected range.
    static bool todayIsWithinSelectedTimeInterval();

    // "ZRAutoBackupEnabled", true.
    static bool autoBackupEnabled();
    static void setAutoBackupEnabled(bool value);
    // "ZRAutoBackupCount", 4: backups kept. Only 2, 4, 6, 8, 16 and 32 are valid; any other
    // stored value reads as 4.
    static std::int64_t autoBackupCount();
    static void setAutoBackupCount(std::int64_t value);

    // "ZROpenMainWindowAtStart", false.
    static bool openMainWindowAtStart();
    static void setOpenMainWindowAtStart(bool value);
    // "ZRTimingWhenSleeping", true: timers keep running while the computer sleeps.
    static bool timingWhenSleeping();
    static void setTimingWhenSleeping(bool value);
    // "ZRShowTaskNameInStatusIcon", true.
    static bool showTaskNameInStatusIcon();
    static void setShowTaskNameInStatusIcon(bool value);
    // "ZRDidQuit", false: the last run ended in an orderly quit (the crash check).
    static bool didQuitProperly();
    static void setDidQuitProperly(bool value);

    // "ZRVerticalBarChartMeasuringPeriod", "daily".
    static std::string verticalBarChartMeasuringPeriod();
    static void setVerticalBarChartMeasuringPeriod(std::string_view value);
    // "ZRSelectedTaskInDataSelection", absent: uuid of the task highlighted in the statistics.
    static std::optional<std::string> selectedTaskInDataSelection();
    static void setSelectedTaskInDataSelection(const std::optional<std::string>& value);
    // "ZRMenuBarSearchTerm", absent: the search text of the menu-bar panel.
    static std::optional<std::string> menuBarSearchTerm();
    static void setMenuBarSearchTerm(const std::optional<std::string>& value);

    // True once the program has run here: "ZRShowTasks" has a value.
    static bool exists();

    // Repairs the stored day ranges and the seconds option, writing only what changes:
    //   a start below 0 becomes 0, an end of 100000000 or more becomes 99999999, and a range
    //   whose start is after its end becomes 0...99999999 (general and custom range alike);
    //   "ZRStatusIconShowSecondsDuration" outside 0, 60, 120, 180, 300, 600 becomes 0.
    // True when a range was reset because its start was after its end.
    static bool fixUserDefaults();
};

}  // namespace ravelong

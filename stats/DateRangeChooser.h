#pragma once

#include <cstdint>
#include <optional>

#include "core/calendar/CalendarTypes.h"

namespace ravelong {

// The range of days the main window works on, as the calendar and its interval selector choose
// it. The range lives in the preferences (ZRUserDefaults2: "ZRGeneralStartDate" and
// "ZRGeneralEndDate", calendar days as ZRYearMonthDay, 0 and 99999999 for open ends), with the
// last range chosen by hand ("ZRCustomStartDate"/"ZRCustomEndDate") and the interval kind
// ("ZRTimeIntervalDuration": 1 a chosen range, 2 all days, or the latest offered day for the
// selector's first segment). Every choice below writes them; "today" is the day under the
// cut-off (new_day_hour::current()).
//
// The calendar offers the days between two bounds (setOfferedDays); clicks outside them, and
// days that do not exist (20240230), change nothing. Main thread only.
class DateRangeChooser {
public:
    // Keyboard modifiers held during a click (the same bits as the task lists use).
    enum ModifierKey : unsigned {
        kShiftKey = 1u << 0,
        kControlKey = 1u << 1,
        kOptionKey = 1u << 2,
        kCommandKey = 1u << 3,
    };

    // Offered days default to 2001-01-01 up to today; `first` after `last` is refused (false).
    bool setOfferedDays(ZRYearMonthDay first, ZRYearMonthDay last);
    ZRYearMonthDay firstOfferedDay() const { return firstOffered_; }
    ZRYearMonthDay lastOfferedDay() const;

    enum class DayClick { rangeChanged, showDayInformation, showDayTasks, ignored };
    // A click on a day. Control alone asks for the day's task information; while
    // "ZRDataDisplayHidden" is set a day with tasks only shows its tasks. Otherwise the range
    // becomes the day, or with exactly one of Shift, Option, Command the day replaces the start
    // when before it, else the end.
    DayClick clickDay(ZRYearMonthDay day, unsigned modifierKeys, bool dayHasTasks);
    // The side labels: a whole month (1 to 12) or year, clipped to the offered days; with Shift
    // the current range grows by it instead. False when nothing of it is offered.
    bool clickMonth(int year, int month, bool shift);
    bool clickYear(int year, bool shift);

    // The interval selector's segments: 0 the latest offered day, 1 "custom" (the range last
    // chosen by hand), 2 "all" (the whole history). Other segments change nothing (false).
    // After "custom" the calendar scrolls to the range's first day kScrollToCustomRangeDelay
    // seconds later; after segment 0 to its last row.
    bool timeIntervalDurationSelected(int segment);
    static constexpr double kScrollToCustomRangeDelay = 0.4;

    enum class Preset {
        today,
        yesterday,
        thisWeek,
        lastWeek,
        thisMonth,
        lastMonth,
        thisYear,
        lastYear,
        last7Days,
        last30Days,
    };
    // The preset's days (under the cut-off), and choosing them as a range by hand.
    static ZRDateRange presetDays(Preset preset);
    void selectPreset(Preset preset);

private:
    void chooseRange(ZRYearMonthDay start, ZRYearMonthDay end);
    bool chooseSpan(ZRYearMonthDay first, ZRYearMonthDay last, bool shift);

    ZRYearMonthDay firstOffered_ = 20010101;
    std::optional<ZRYearMonthDay> lastOffered_;  // today when absent
};

}  // namespace ravelong

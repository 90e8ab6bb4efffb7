#include "stats/DateRangeChooser.h"

#include <algorithm>
#include <bit>

#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/PeriodDays.h"
#include "foundation/UserDefaults.h"

namespace ravelong {
namespace {

using namespace date_additions;

constexpr ZRYearMonthDay kOpenStart = 0;
constexpr ZRYearMonthDay kOpenEnd = 99999999;

// A calendar day that exists: 20240229 does, 20230229 and 20241301 do not.
bool isRealDay(ZRYearMonthDay day) {
    return day > 0 && zrYearMonthDayFromZRDate(zrDateFromZRYearMonthDay(day)) == day;
}

ZRYearMonthDay today() {
    return zrYearMonthDayFromZRDate(zrDateTodayWithHourCutoff(new_day_hour::current()));
}

ZRYearMonthDay ymd(ZRDate date) {
    return zrYearMonthDayFromZRDate(date);
}

}  // namespace

bool DateRangeChooser::setOfferedDays(ZRYearMonthDay first, ZRYearMonthDay last) {
    if (!isRealDay(first) || !isRealDay(last) || first > last)
        return false;
    firstOffered_ = first;
    lastOffered_ = last;
    return true;
}

ZRYearMonthDay DateRangeChooser::lastOfferedDay() const {
    return lastOffered_ ? *lastOffered_ : std::max(today(), firstOffered_);
}

void DateRangeChooser::chooseRange(ZRYearMonthDay start, ZRYearMonthDay end) {
    ZRUserDefaults2::setTimeIntervalDuration(1);
    ZRUserDefaults2::setCustomStartDate(start);
    ZRUserDefaults2::setCustomEndDate(end);
    ZRUserDefaults2::setGeneralStartAndEndDate(start, end);
}

DateRangeChooser::DayClick DateRangeChooser::clickDay(ZRYearMonthDay day, unsigned modifierKeys,
                                                      bool dayHasTasks) {
    if (!isRealDay(day) || day < firstOffered_ || day > lastOfferedDay())
        return DayClick::ignored;
    const unsigned keys = modifierKeys & (kShiftKey | kControlKey | kOptionKey | kCommandKey);
    if (keys == kControlKey)
        return DayClick::showDayInformation;
    if (dayHasTasks && UserDefaults::standard().boolForKey(kZRDataDisplayHidden))
        return DayClick::showDayTasks;
    ZRYearMonthDay start = day;
    ZRYearMonthDay end = day;
    // One of Shift, Option or Command alone extends the range; Shift with another key does not.
    if (std::popcount(keys) == 1 && keys != kControlKey) {
        start = static_cast<ZRYearMonthDay>(ZRUserDefaults2::generalStartDate());
        end = static_cast<ZRYearMonthDay>(ZRUserDefaults2::generalEndDate());
        if (day < start)
            start = day;
        else
            end = day;
    }
    chooseRange(start, end);
    return DayClick::rangeChanged;
}

bool DateRangeChooser::chooseSpan(ZRYearMonthDay first, ZRYearMonthDay last, bool shift) {
    first = std::max(first, firstOffered_);
    last = std::min(last, lastOfferedDay());
    if (first > last)
        return false;
    if (shift) {
        const auto start = static_cast<ZRYearMonthDay>(ZRUserDefaults2::generalStartDate());
        const auto end = static_cast<ZRYearMonthDay>(ZRUserDefaults2::generalEndDate());
        if (first < start)
            chooseRange(first, end);
        else
            chooseRange(start, std::max(last, start));
        return true;
    }
    chooseRange(first, last);
    return true;
}

bool DateRangeChooser::clickMonth(int year, int month, bool shift) {
    if (month < 1 || month > 12 || year < 1 || year > 9999)
        return false;
    const ZRYearMonthDay first = year * 10000 + month * 100 + 1;
    const int days = numberOfDaysInMonthWithZRDate(zrDateFromZRYearMonthDay(first));
    return chooseSpan(first, first + days - 1, shift);
}

bool DateRangeChooser::clickYear(int year, bool shift) {
    if (year < 1 || year > 9999)
        return false;
    return chooseSpan(year * 10000 + 101, year * 10000 + 1231, shift);
}

bool DateRangeChooser::timeIntervalDurationSelected(int segment) {
    switch (segment) {
        case 0:
            ZRUserDefaults2::setTimeIntervalDuration(lastOfferedDay());
            return true;
        case 1:
            ZRUserDefaults2::setTimeIntervalDuration(1);
            ZRUserDefaults2::setGeneralStartAndEndDate(ZRUserDefaults2::customStartDate(),
                                                       ZRUserDefaults2::customEndDate());
            return true;
        case 2:
            // "All" must also reach the lists and charts, which read the range alone.
            ZRUserDefaults2::setTimeIntervalDuration(2);
            ZRUserDefaults2::setGeneralStartAndEndDate(kOpenStart, kOpenEnd);
            return true;
        default:
            return false;
    }
}

ZRDateRange DateRangeChooser::presetDays(Preset preset) {
    const int cutoff = new_day_hour::current();
    const ZRDate now = zrDateTodayWithHourCutoff(cutoff);
    switch (preset) {
        case Preset::today:
            return {now, now};
        case Preset::yesterday:
            return {now - 1, now - 1};
        case Preset::thisWeek: {
            const ZRDate first = zrDateFirstDayOfCurrentWeekWithHourCutoff(cutoff);
            return {first, first + 6};
        }
        case Preset::lastWeek: {
            const ZRDate first = zrDateFirstDayOfWeekWithZRDate(
                zrDateFirstDayOfCurrentWeekWithHourCutoff(cutoff) - 1);
            return {first, first + 6};
        }
        case Preset::thisMonth: {
            const ZRDate first = zrDateFirstDayOfCurrentMonthWithHourCutoff(cutoff);
            return {first, first + numberOfDaysInMonthWithZRDate(first) - 1};
        }
        case Preset::lastMonth: {
            const ZRDate last = zrDateFirstDayOfCurrentMonthWithHourCutoff(cutoff) - 1;
            return {zrDateFirstDayOfMonthWithZRDate(last), last};
        }
        case Preset::thisYear:
            return {zrDateFirstDayOfCurrentYearWithHourCutoff(cutoff),
                    zrDateLastDayOfCurrentYearWithHourCutoff(cutoff)};
        case Preset::lastYear: {
            const ZRDate last = zrDateFirstDayOfCurrentYearWithHourCutoff(cutoff) - 1;
            return {zrDateFirstDayOfYearWithZRDate(last), last};
        }
        case Preset::last7Days:
            return {now - 6, now};
        case Preset::last30Days:
            return {now - 29, now};
    }
    return {now, now};
}

void DateRangeChooser::selectPreset(Preset preset) {
    const ZRDateRange days = presetDays(preset);
    chooseRange(ymd(days.first), ymd(days.last));
}

}  // namespace ravelong

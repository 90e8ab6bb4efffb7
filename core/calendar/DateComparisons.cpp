#include "core/calendar/DateComparisons.h"

#include <cmath>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/CivilDays.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/InstantSeconds.h"
#include "core/calendar/TimeZones.h"

namespace ravelong::date_additions {

namespace {

bool isInDay(Instant other, Instant beginning, Instant end) {
    return other >= beginning && other <= end;
}

}  // namespace

bool isBetweenDate_andDate(Instant date, Instant start, Instant end) {
    return start <= date && date <= end;
}

int64_t isOnDayXBetweenDate_andDate(Instant date, Instant start, Instant end) {
    if (!isBetweenDate_andDate(date, start, end)) {
        return -1;
    }
    const double seconds = std::trunc(date - start);
    if (!std::isfinite(seconds) || seconds > instant_seconds::kLimit) {
        return -1;
    }
    return static_cast<int64_t>(seconds) / kSecondsPerDay;
}

bool isSameDayAs_withHourCutoff(Instant date, Instant other, int hourCutoff) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    return isInDay(other, beginningOfDayWithHourCutoff_andCalendar(date, hourCutoff, calendar),
                   endOfDayWithHourCutoff_andCalendar(date, hourCutoff, calendar));
}

bool isSameDayAs_forTiming(Instant date, Instant other, std::string_view timingTimeZone,
                           int32_t timingNewDayOffset) {
    const ZRCalendar calendar = ZRCalendar::defaultGregorian(timingTimeZone);
    const int hourCutoff = timingNewDayOffset / 3600;
    return isInDay(other, beginningOfDayWithHourCutoff_andCalendar(date, hourCutoff, calendar),
                   endOfDayWithHourCutoff_andCalendar(date, hourCutoff, calendar));
}

bool isOnAnEarlierDayAs_withHourCutoff(Instant date, Instant other, int hourCutoff) {
    return date < beginningOfDayWithHourCutoff(other, hourCutoff);
}

bool isInAnEarlierWeekAs_withHourCutoff(Instant date, Instant other, int hourCutoff) {
    return date < beginningOfWeekWithHourCutoff(other, hourCutoff);
}

bool isInAnEarlierMonthAs_withHourCutoff(Instant date, Instant other, int hourCutoff) {
    return date < beginningOfMonthWithHourCutoff(other, hourCutoff);
}

bool isInAnEarlierYearAs_withHourCutoff(Instant date, Instant other, int hourCutoff) {
    return date < beginningOfYearWithHourCutoff(other, hourCutoff);
}

bool isSameDayAsIgnoringZRNewDay_inTimeZone(Instant date, Instant other, const ZoneRules& zone) {
    const auto a = instant_seconds::split(date).whole;
    const auto b = instant_seconds::split(other).whole;
    return civil::floorDiv(a + zone.offsetAt(a), kSecondsPerDay) ==
           civil::floorDiv(b + zone.offsetAt(b), kSecondsPerDay);
}

bool isSameMonthAs(Instant date, Instant other) {
    return isSameXAs(date, other) >= 2;
}

bool isSameYearAs(Instant date, Instant other) {
    return isSameXAs(date, other) >= 1;
}

int isSameXAs(Instant date, Instant other) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    const YearMonthDay a = civil::civilFromDays(calendar.localTime(date).days);
    const YearMonthDay b = civil::civilFromDays(calendar.localTime(other).days);
    if (a.year != b.year) {
        return 0;
    }
    if (a.month != b.month) {
        return 1;
    }
    return a.day == b.day ? 3 : 2;
}

int64_t daysWithinEraFromDate_toDate_usingCalendar(std::optional<Instant> from,
                                                   std::optional<Instant> to,
                                                   const ZRCalendar& calendar) {
    if (!from || !to) {
        return 0;
    }
    return calendar.localTime(*to).days - calendar.localTime(*from).days;
}

}  // namespace ravelong::date_additions

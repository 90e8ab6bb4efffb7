#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/calendar/ZRCalendar.h"
#include "core/calendar/ZoneRules.h"
#include "foundation/Instant.h"

// Comparisons of instants by day, week, month and year. The receiver of each question is the
// first argument. Without a calendar argument the user's calendar as of the call is used. Safe to
// call from any thread.
namespace ravelong::date_additions {

// start <= date <= end.
bool isBetweenDate_andDate(Instant date, Instant start, Instant end);

// -1 when the date lies outside [start, end]; otherwise the number of whole 24-hour periods from
// start to the date (whole seconds, then truncated), 0 for the first.
int64_t isOnDayXBetweenDate_andDate(Instant date, Instant start, Instant end);

// Whether `other` lies in the receiver's day under the hour cut-off, both boundaries included.
bool isSameDayAs_withHourCutoff(Instant date, Instant other, int hourCutoff);

// The same for a timing's day: counted in the timing's zone (`timingTimeZone`, unknown names as
// GMT) with its cut-off (`timingNewDayOffset` seconds, taken in whole hours).
bool isSameDayAs_forTiming(Instant date, Instant other, std::string_view timingTimeZone,
                           int32_t timingNewDayOffset);

// Whether the receiver lies before the beginning of the day, week, month or year of `other`.
bool isOnAnEarlierDayAs_withHourCutoff(Instant date, Instant other, int hourCutoff);
bool isInAnEarlierWeekAs_withHourCutoff(Instant date, Instant other, int hourCutoff);
bool isInAnEarlierMonthAs_withHourCutoff(Instant date, Instant other, int hourCutoff);
bool isInAnEarlierYearAs_withHourCutoff(Instant date, Instant other, int hourCutoff);

// Calendar comparisons without cut-off.
bool isSameDayAsIgnoringZRNewDay_inTimeZone(Instant date, Instant other, const ZoneRules& zone);
bool isSameMonthAs(Instant date, Instant other);
bool isSameYearAs(Instant date, Instant other);

// How much of the calendar date two instants share: 0 different years, 1 the same year only, 2
// the same month but another day, 3 the same day.
int isSameXAs(Instant date, Instant other);

// Calendar days from `from` to `to` in the calendar (negative when `to` is earlier); 0 when either
// is absent.
int64_t daysWithinEraFromDate_toDate_usingCalendar(std::optional<Instant> from,
                                                   std::optional<Instant> to,
                                                   const ZRCalendar& calendar);

}  // namespace ravelong::date_additions

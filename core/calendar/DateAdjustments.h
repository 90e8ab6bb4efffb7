#pragma once

#include <cstdint>

#include "core/calendar/ZRCalendar.h"
#include "foundation/Instant.h"

// Small moves of an instant in the user's calendar (as of the call) unless another calendar or a
// fixed offset is given. Safe to call from any thread.
//
// Moves that keep the receiver's calendar day set wall-clock fields; a wall time that occurs twice
// keeps the receiver's offset when it can, and one the clocks skip becomes the first instant after
// the jump. Moves to the start of a period land on its local midnight.
namespace ravelong::date_additions {

// Same year, month, day and hour; minutes, seconds and fractions 0.
Instant setMinutesSecondsToZero(Instant date);
// Rounded down to a whole minute counted from the reference date.
Instant setSecondsToZero(Instant date);
// Rounded down to a whole second.
Instant setMillisecondsToZero(Instant date);
// Local midnight plus 12 hours of elapsed time (11:00 or 13:00 on a day the clocks change).
Instant setToMiddleOfDay(Instant date);
// The given hour, minute 0, second 0 of the same calendar day; hours beyond the day roll over.
Instant setToHourOfCurrentDayIgnoringZRNewDay(Instant date, int hour);
Instant setToHourOfCurrentDayIgnoringZRNewDay_usingTimeZoneOffset(Instant date, int hour,
                                                                  int32_t timeZoneOffset);
// The next full hour of the wall clock: hour + 1, minutes and seconds 0.
Instant dateByMovingToNextFullHour(Instant date);

// Calendar arithmetic: the same wall-clock time so many days later (earlier when negative), or
// plain elapsed hours.
Instant addNumberOfDays(Instant date, int numberOfDays);
Instant addNumberOfDaysDate(Instant date, int numberOfDays, const ZRCalendar& calendar);
Instant addNumberOfHours(Instant date, int numberOfHours);

// Midnight of the first day of the year, the following or the previous year.
Instant cc_dateByMovingToBeginningOfYear(Instant date);
Instant cc_dateByMovingToBeginningOfTheFollowingYear(Instant date);
Instant cc_dateByMovingToBeginningOfThePreviousYear(Instant date);
// Midnight of the first day of the month, the previous or the following month, or the month
// `numberOfMonths` after the receiver's (before, when negative).
Instant cc_dateByMovingToFirstDayOfTheMonth(Instant date);
Instant cc_dateByMovingToFirstDayOfThePreviousMonth(Instant date);
Instant cc_dateByMovingToFirstDayOfTheFollowingMonth(Instant date);
Instant dateByMovingToFirstDayOfTheNthMonthAfter(Instant date, int numberOfMonths);
// Midnight of the first day of the week (the calendar's first weekday).
Instant cc_dateByMovingToFirstDayOfTheWeek(Instant date);

}  // namespace ravelong::date_additions

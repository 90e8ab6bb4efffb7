#pragma once

#include <cstdint>
#include <string_view>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/ZRCalendar.h"
#include "foundation/Instant.h"

// The instants at which days, weeks, months and years begin and end.
//
// Hour cut-offs are whole hours after local midnight (the "new day" preference); values outside
// 0...23 are taken as the nearest of the two. Functions without a calendar argument use the
// user's calendar as of the call. Everything here is safe to call from any thread.
//
//   cut-off 4, Berlin:      2 Mar 04:00           3 Mar 04:00           4 Mar 04:00
//                               |---- day of 2 Mar ---|---- day of 3 Mar ---|
//   3 Mar 03:59:59 lies in the day of 2 March; 3 Mar 04:00:00 starts the day of 3 March.
namespace ravelong::date_additions {

// The day `date` (a day number) of a timing counted in the named zone (unknown names count as
// GMT) with its cut-off in seconds after local midnight. endOfDayForZRDate(d) equals
// beginningOfDayForZRDate(d + 1) for every d, so days tile time without gap or overlap; across a
// change of summer time a day lasts 23 or 25 hours. A cut-off landing in an hour the clocks skip
// moves on to the first wall time after the change. A date the zone skipped whole (Pacific/Apia,
// 30 December 2011) begins at the jump and lasts until its cut-off on the following date: with
// cut-off 2 its day lasts two hours, with cut-off 0 it is empty.
Instant beginningOfDayForZRDate(ZRDate date, std::string_view timeZoneName, int32_t newDayOffset);
Instant endOfDayForZRDate(ZRDate date, std::string_view timeZoneName, int32_t newDayOffset);

// The day under an hour cut-off that contains the instant: its first instant, and the first
// instant of the next day. The day contains [beginning, end).
Instant beginningOfDayWithHourCutoff(Instant date, int hourCutoff);
Instant endOfDayWithHourCutoff(Instant date, int hourCutoff);
Instant beginningOfDayWithHourCutoff_andTimeZoneName(Instant date, int hourCutoff,
                                                     std::string_view timeZoneName);
Instant endOfDayWithHourCutoff_andTimeZoneName(Instant date, int hourCutoff,
                                               std::string_view timeZoneName);
Instant beginningOfDayWithHourCutoff_andCalendar(Instant date, int hourCutoff,
                                                 const ZRCalendar& calendar);
Instant endOfDayWithHourCutoff_andCalendar(Instant date, int hourCutoff,
                                           const ZRCalendar& calendar);

// The week (from the calendar's first weekday), month and year that hold the instant's day under
// the cut-off, beginning at the cut-off hour of its first day: Monday 01:00 with cut-off 4 lies on
// Sunday's day and so in the week before. The period is found from that day, not from the instant
// moved back by cut-off hours of real time, so it agrees with the day around changes of the
// clocks.
Instant beginningOfWeekWithHourCutoff(Instant date, int hourCutoff);
Instant beginningOfMonthWithHourCutoff(Instant date, int hourCutoff);
Instant beginningOfYearWithHourCutoff(Instant date, int hourCutoff);

// Local midnight of the instant's calendar day and of the following day: in the user's zone, or
// in a zone fixed at `timeZoneOffset` seconds east of GMT.
Instant beginningOfDayIgnoringZRNewDay(Instant date);
Instant endOfDayIgnoringZRNewDay(Instant date);
Instant beginningOfDayIgnoringZRNewDayUsingTimezoneOffset(Instant date, int32_t timeZoneOffset);
Instant endOfDayIgnoringZRNewDayUsingTimezoneOffset(Instant date, int32_t timeZoneOffset);

// An hour cut-off limited to 0...23.
int clampedHourCutoff(int hourCutoff);

}  // namespace ravelong::date_additions

#pragma once

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/ZRCalendar.h"
#include "core/calendar/ZoneRules.h"
#include "foundation/Instant.h"

// The fields of an instant's local date and time, in the user's calendar (as of the call) unless
// a zone or calendar is given. Weekdays are 1 = Sunday to 7 = Saturday. Safe from any thread.
namespace ravelong::date_additions {

YearMonthDay cc_componentsForMonthDayAndYear(Instant date);
YearMonthDay componentsForMonthDayAndYearInTimeZone(Instant date, const ZoneRules& zone);

// Week of the year and the year that week belongs to, by the calendar's locale rules (first
// weekday and minimal days in the first week, as ICU counts them).
WeekComponents componentsForWeek(Instant date);

// The day's position in its week counted from the calendar's first weekday: 1 for the first day.
int cc_weekday(Instant date);
// The weekday itself, 1 = Sunday to 7 = Saturday, whatever the first weekday.
int cc_weekdayIndependent(Instant date);

int cc_numberOfDaysInMonth(Instant date);

int getHourComponentInTimeZone(Instant date, const ZoneRules& zone);
int getHourComponentUsingCalendar(Instant date, const ZRCalendar& calendar);

}  // namespace ravelong::date_additions

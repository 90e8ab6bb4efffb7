#pragma once

#include <string_view>

#include "core/calendar/CalendarTypes.h"
#include "foundation/Instant.h"

// Reference values for the calendar tests, computed with ICU's own GregorianCalendar rather than
// with the code under test.
namespace ravelong::testing {

// The instant at which the wall clock in `zone` reads the given time. A wall time that occurs
// twice gives the first occurrence unless `laterOccurrence` is set.
Instant wallTime(std::string_view zone, int year, int month, int day, int hour = 0, int minute = 0,
                 int second = 0, bool laterOccurrence = false);

// The day number of a calendar day (days since 1970-01-01).
ZRDate dayNumber(int year, int month, int day);

}  // namespace ravelong::testing

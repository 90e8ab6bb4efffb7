#pragma once

#include <string>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/ZRCalendar.h"

namespace ravelong::csv {

// The file name proposed for an export of the days [start, end] (YYYYMMDD; 0 and 99999999 stand
// for all time), in the calendar's locale, without extension: "Ravelong Export (May 1-31, 2024)",
// "Ravelong Export (all time)".
std::string getFileNameString(ZRYearMonthDay start, ZRYearMonthDay end, const ZRCalendar& calendar);

}  // namespace ravelong::csv

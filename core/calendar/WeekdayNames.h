#pragma once

#include <string>

// Names of weekdays. Weekdays are 1 = Sunday to 7 = Saturday; any other number gives "". The
// localized forms use the user's locale as of the call. Safe to call from any thread.
namespace ravelong::zr_calendar {

// "Sunday" ... "Saturday", whatever the locale (for stored and exported texts).
std::string getEnglishWeekdayStringFromInteger(int weekday);

// The locale's narrow ("M"), abbreviated ("Mon", "Mo.") and full ("Monday", "Montag") names.
std::string veryShortLocalizedWeekdayStringForWeekday(int weekday);
std::string shortLocalizedWeekdayStringForWeekday(int weekday);
std::string fullLocalizedWeekdayStringForWeekday(int weekday);

}  // namespace ravelong::zr_calendar

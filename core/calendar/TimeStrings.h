#pragma once

#include <string>
#include <string_view>

#include "core/calendar/ZoneRules.h"
#include "foundation/Instant.h"

// Times of day as text, in the user's locale (digits, am/pm symbols) as of the call. Safe to call
// from any thread.
namespace ravelong::date_additions {

// "HH:mm" in the user's zone, or "HH:mm" and "HH:mm:ss" in the given zone; always 24-hour.
std::string getTimeStringHoursAndMinutesInCurrentLocaleAndTimezone(Instant date);
std::string getTimeStringHoursAndMinutesInTimeZone(Instant date, const ZoneRules& zone);
std::string getTimeStringHoursAndMinutesAndSecondsInTimeZone(Instant date, const ZoneRules& zone);

// Whether the user's locale writes times on a 24-hour clock (de_DE, en_GB) rather than with
// am/pm (en_US).
bool timeIs24HourFormat();

// A formatted time (UTF-8) with its am/pm marker rewritten. Markers are the words "AM", "a.m.",
// "A.M.", "am", "PM", "p.m.", "P.M." and "pm" standing apart from letters, so "Samstag" and "AMD"
// stay untouched. Whatever separates the marker from the time is kept: ICU writes a narrow
// no-break space (U+202F) there in English. The first form uses the markers of the user's locale
// ("PM" for en_US, "pm" for en_GB, "p.m." for en_CA); the second writes "AM" and "PM".
std::string convertDateTimeStringToAMPMFormatSetInSystemPrefs(std::string_view text);
std::string convertDateTimeStringToCapitalLetterAMPMFormet(std::string_view text);

}  // namespace ravelong::date_additions

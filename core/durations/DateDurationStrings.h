#pragma once

#include <cstdint>
#include <string>

// Duration texts from a duration in seconds (a double). "Nearest" rounds halves up, "down"
// truncates; hours are never limited to a day. Seconds below 0 or NaN count as 0 (see
// DurationForms.h). Texts are fixed English forms except the decimal-hours one, which uses the
// user's decimal separator. Safe to call from any thread.
namespace ravelong::date_additions {

// Whole seconds (nearest): "1h 2m 3s", "1 hours 2 minutes 3 seconds", "1:02:03".
std::string getStringOfDuration_hms(double seconds);
std::string getStringOfDuration_hoursMinutesSeconds(double seconds);
std::string getStringOfDuration_hhmmss(double seconds);

// Whole minutes, nearest or down: "1h 2m", "1 hours 2 minutes", "01:02" (hours padded below ten
// hours), "1:02".
std::string getStringOfDuration_hm_roundNearest(double seconds);
std::string getStringOfDuration_hm_roundDown(double seconds);
std::string getStringOfDuration_hoursMinutes_roundNearest(double seconds);
std::string getStringOfDuration_hoursMinutes_roundDown(double seconds);
std::string getStringOfDuration_hhmm_roundNearest(double seconds);
std::string getStringOfDuration_hhmm_roundDown(double seconds);
std::string getStringOfDuration_hmm_roundNearest(double seconds);
std::string getStringOfDuration_hmm_roundDown(double seconds);

// Hours with two decimals and the user's decimal separator, no unit: 5400 s -> "1.50" or "1,50".
std::string getStringOfDuration_decimalHours(double seconds);

// Below one hour minutes and seconds ("5m 07s"), from one hour hours and minutes ("1h 05m"),
// each rounded to the nearest. The hour is counted after rounding to whole seconds, so 3599.6 s
// is "1h 00m" rather than "60m 00s".
std::string getStringOfDuration_hm_ms(double seconds);

// Whole minutes (nearest): "1h 5m", or "59m" below one hour.
std::string getStringOfDuration_hm_m_trunc0(double seconds);

// Whole minutes, nearest or down.
int64_t getMinutesOfDuration_roundNearest(double seconds);
int64_t getMinutesOfDuration_roundDown(double seconds);

// Hours rounded to two decimals: 5000 s -> 1.39.
double getHoursOfDuration_decimalHours(double seconds);

}  // namespace ravelong::date_additions

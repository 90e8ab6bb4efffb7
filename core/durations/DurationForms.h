#pragma once

#include <cstdint>
#include <string>

// The arithmetic and the text forms shared by every duration text. Durations are seconds as a
// double; a duration below 0 or NaN counts as 0 (no real duration is negative, and a negative
// value must not turn into a huge unsigned one), and one above kLargestSeconds (infinity
// included) counts as kLargestSeconds, the largest count of seconds a double holds exactly.
namespace ravelong::duration_forms {

inline constexpr double kLargestSeconds = 9007199254740992.0;  // 2^53

// The duration with the rule above applied.
double sanitized(double seconds);

// Whole seconds: rounded to the nearest (halves up), or truncated as a number receiver reads
// its value.
uint64_t secondsNearest(double seconds);
uint64_t wholeSeconds(double seconds);

// Whole minutes: round(seconds / 60) with halves up, or seconds / 60 truncated.
uint64_t minutesNearest(double seconds);
uint64_t minutesDown(double seconds);

// A part of a clock-like text: "7" -> "07", "12" -> "12".
std::string twoDigits(uint64_t part);

// Texts of a count of minutes M: hours M / 60 and the minute part M mod 60.
std::string hm(uint64_t minutes);            // "2h 5m"
std::string hoursMinutes(uint64_t minutes);  // "2 hours 5 minutes"
std::string hmm(uint64_t minutes);           // "2:05"
std::string hhmm(uint64_t minutes);          // "02:05", "10:05" (two-digit hours below 10)
std::string hmOrM(uint64_t minutes);         // "2h 5m", or "59m" below one hour

// Texts of a count of seconds S: hours S / 3600, minute part (S / 60) mod 60, second part S mod 60.
std::string hms(uint64_t seconds);                  // "2h 5m 9s"
std::string hoursMinutesSeconds(uint64_t seconds);  // "2 hours 5 minutes 9 seconds"
std::string hmmss(uint64_t seconds);                // "2:05:09"

// A decimal with two decimals, the separator being the user's: 1.5 -> "1.50" or "1,50".
std::string localizedTwoDecimals(double value);

}  // namespace ravelong::duration_forms

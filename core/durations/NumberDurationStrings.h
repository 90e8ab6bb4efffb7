#pragma once

#include <cstdint>
#include <string>

// Duration texts from a number of seconds or of minutes. The number is read as a whole count
// (truncated), as a stored count of seconds is; only the decimal-hours text and the
// minutes-and-seconds text read the exact value. Below 0 or NaN counts as 0 (see
// DurationForms.h). "Nearest" rounds halves up, "down" truncates. Safe from any thread.
namespace ravelong::number_additions {

// --- From seconds ---

// Hours and minutes ("99h 59m") below 100 or 1000 hours (counted after rounding), hours only
// from there ("100h").
std::string getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundNearest(
    double seconds);
std::string getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundDown(
    double seconds);
std::string getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt1000_roundNearest(
    double seconds);
std::string getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt1000_roundDown(
    double seconds);

// Decimal hours with the unit and the user's separator: "1.25h", "1.5h" (a second decimal of 0
// is dropped), "2.0h" (one decimal is always kept); above 1000 hours whole hours ("1001h").
std::string getStringRepresentationOfSecondsInDecimalHours_truncAt1000_roundNearest(double seconds);

// Whole minutes: "1h 5m", "1 hours 5 minutes", "1:05", "01:05" (hours padded below 10 hours).
std::string getStringRepresentationOfSeconds_hm_roundNearest(double seconds);
std::string getStringRepresentationOfSeconds_hm_roundDown(double seconds);
std::string getStringRepresentationOfSeconds_hoursMinutes_roundNearest(double seconds);
std::string getStringRepresentationOfSeconds_hoursMinutes_roundDown(double seconds);
std::string getStringRepresentationOfSeconds_hmm_roundNearest(double seconds);
std::string getStringRepresentationOfSeconds_hmm_roundDown(double seconds);
std::string getStringRepresentationOfSeconds_hhmm_roundNearest(double seconds);
std::string getStringRepresentationOfSeconds_hhmm_roundDown(double seconds);

// Whole seconds: "1h 5m 9s", "1 hours 5 minutes 9 seconds", "1:05:09".
std::string getStringRepresentationOfSeconds_hms(double seconds);
std::string getStringRepresentationOfSeconds_hoursMinutesSeconds(double seconds);
std::string getStringRepresentationOfSeconds_hmmss(double seconds);

// "9h 59m 59s" below ten hours; from ten hours "10h 1m", the minute rounded up from a second part
// of 31 (carrying into the hours: 10:59:45 is "11h 0m").
std::string getStringRepresentationOfSeconds_hms_truncAt10h(double seconds);

// Total minutes and the second part, the exact value rounded down: 3725.9 -> "62m 5s".
std::string getStringRepresentationOfSeconds_ms_roundDown(double seconds);

// The running counter: "59s" (kind 0), "59m 59s" (kind 1), "1h 0m" (kind 2). `kind` may be null.
std::string getStringRepresentationOfSecondsForCounter(double seconds, int32_t* kind);

// Whole minutes (nearest), then with `minutes` added (saturating at the int64 limits).
int64_t convertSecondsToMinutes(double seconds);
int64_t convertSecondsToMinutesAndAddMinutes(double seconds, int64_t minutes);

// --- From minutes ---

// "1h 5m"; "1h 5m" or "59m" below one hour; "1 hours 5 minutes"; "1:05"; "01:05".
std::string getStringRepresentationOfMinutes_hm(double minutes);
std::string getStringRepresentationOfMinutes_hm2(double minutes);
std::string getStringRepresentationOfMinutes_hoursMinutes(double minutes);
std::string getStringRepresentationOfMinutes_hmm(double minutes);
std::string getStringRepresentationOfMinutes_hhmm(double minutes);

}  // namespace ravelong::number_additions

#pragma once

#include <string_view>

#include "core/services/AlertSound.h"

// The fixed texts of durations: the patterns every duration text is built from, the words the
// duration parser understands, and the names the duration picker uses. Patterns follow our
// FormatPattern rules ("%lu" a whole number, "%@" a text, "%.2f" a decimal).
namespace ravelong {

// Hours, minutes and seconds.
inline constexpr std::string_view kDurationPattern_hms = "%luh %lum %lus";
inline constexpr std::string_view kDurationPattern_hoursMinutesSeconds =
    "%lu hours %lu minutes %lu seconds";
inline constexpr std::string_view kDurationPattern_hmmss = "%lu:%@:%@";

// Hours and minutes.
inline constexpr std::string_view kDurationPattern_hm = "%luh %lum";
inline constexpr std::string_view kDurationPattern_hoursMinutes = "%lu hours %lu minutes";
inline constexpr std::string_view kDurationPattern_hmm = "%lu:%@";
inline constexpr std::string_view kDurationPattern_hhmm = "%@:%@";
inline constexpr std::string_view kDurationPattern_h_zero_m = "%luh 0%lum";

// Minutes and seconds, minutes only, seconds only, hours only.
inline constexpr std::string_view kDurationPattern_ms = "%lum %lus";
inline constexpr std::string_view kDurationPattern_m_zero_s = "%lum 0%lus";
inline constexpr std::string_view kDurationPattern_m = "%lum";
inline constexpr std::string_view kDurationPattern_s = "%lus";
inline constexpr std::string_view kDurationPattern_h = "%luh";

// A part of a clock-like text ("05" in "2:05").
inline constexpr std::string_view kDurationPattern_twoDigitPart = "%lu";
inline constexpr std::string_view kDurationPattern_paddedPart = "0%lu";

// Decimal hours; the separator is the user's.
inline constexpr std::string_view kDurationPattern_decimalHours = "%.2f";
inline constexpr std::string_view kDurationPattern_decimalHoursUnit = "%.2fh";
inline constexpr std::string_view kDurationPattern_decimalHoursShortUnit = "%.1fh";
// Endings of a decimal-hours text that get one decimal instead of two.
inline constexpr std::string_view kDecimalHoursEnding_zeroDecimals = ".00h";
inline constexpr std::string_view kDecimalHoursEnding_zeroSecondDecimal = "0h";

// Words of the unit notation and the letters they stand for, in the order they are replaced
// ("hours" before "hour", "mins" before "min", so the longer word wins).
struct DurationUnitWord {
    std::string_view word;
    std::string_view letter;
};
inline constexpr DurationUnitWord kDurationUnitWords[] = {
    {"hours", "h"}, {"hour", "h"},    {"minutes", "m"}, {"minute", "m"},
    {"mins", "m"},  {"seconds", "s"}, {"second", "s"},  {"secs", "s"},
    {"hrs", "h"},   {"hr", "h"},      {"min", "m"},     {"sec", "s"},
};
// The characters a unit-notation text may hold besides digits.
inline constexpr std::string_view kDurationUnitCharacters = "hms. ";

// Identifiers of the picker's fields, and of the picker and the time pickers beside it in the
// menu-bar panel.
inline constexpr std::string_view kDurationPickerHoursField = "hours";
inline constexpr std::string_view kDurationPickerMinutesField = "minutes";
inline constexpr std::string_view kDurationPickerMenuBarIdentifier = "menubar";
inline constexpr std::string_view kTimeStartIdentifier = "time start";
inline constexpr std::string_view kTimeEndIdentifier = "time end";

}  // namespace ravelong

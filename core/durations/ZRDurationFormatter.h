#pragma once

#include <cstdint>
#include <string_view>

namespace ravelong {

// Reads typed or imported durations in one of the forms the user chose (the duration column of a
// CSV import, for one). The form is a code:
//
//    1  decimal hours, "." as separator             "1.75"        -> 6300
//    2  decimal hours, "." or ","                   "1,75"        -> 6300
//   10  hours:minutes                               "1:45"        -> 6300
//   11  hours:minutes:seconds                       "1:45:30"     -> 6330
//   20  units h, m, s (or words)                    "1h 45m 30s"  -> 6330
//   30  decimal seconds, "." as separator           "320.5"       -> 320.5
//   31  decimal seconds, "." or ","                 "320,5"       -> 320.5
//
// Surrounding characters that cannot belong to the form are ignored ("1.75 h", "\"1:45\""), but
// none may stand inside it. Only the digits 0-9 count as digits.
//
// durationFromString gives seconds (finite, 0 or more, at most kLongestDuration), or -1.0 when
// the text does not match the form. That includes: an unknown code; a text without any digit
// (empty, blank, "inf", "nan"); a plus or minus sign anywhere (a sign must never be dropped to
// turn -2 hours into 2); digits of other scripts ("١٥", "１５"); a malformed number ("1.2.3",
// "1e5"); anything longer than kLongestText bytes or not valid UTF-8. It never throws.
//
// Not thread-safe for setDurationFormat; durationFromString is const and may run concurrently.
class ZRDurationFormatter {
public:
    static constexpr int64_t kDecimalHoursWithPoint = 1;
    static constexpr int64_t kDecimalHoursWithPointOrComma = 2;
    static constexpr int64_t kHoursMinutes = 10;
    static constexpr int64_t kHoursMinutesSeconds = 11;
    static constexpr int64_t kUnits = 20;
    static constexpr int64_t kDecimalSecondsWithPoint = 30;
    static constexpr int64_t kDecimalSecondsWithPointOrComma = 31;

    // A million hours, over a century: longer results are typing or data errors.
    static constexpr double kLongestDuration = 3600000000.0;
    // No duration text is this long; longer ones are refused before any work is done.
    static constexpr size_t kLongestText = 1024;

    static constexpr double kInvalid = -1.0;

    ZRDurationFormatter() = default;  // code 0: every text is invalid until a form is chosen
    explicit ZRDurationFormatter(int64_t durationFormat) : durationFormat_(durationFormat) {}

    void setDurationFormat(int64_t durationFormat) { durationFormat_ = durationFormat; }
    int64_t durationFormat() const { return durationFormat_; }

    double durationFromString(std::string_view text) const;

private:
    int64_t durationFormat_ = 0;
};

}  // namespace ravelong

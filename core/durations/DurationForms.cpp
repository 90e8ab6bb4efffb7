#include "core/durations/DurationForms.h"

#include <cmath>

#include "core/durations/DecimalSeparator.h"
#include "core/durations/DurationConstants.h"
#include "core/durations/FormatPattern.h"

namespace ravelong::duration_forms {

namespace {

using format_pattern::apply;

}  // namespace

double sanitized(double seconds) {
    if (!(seconds > 0.0)) {
        return 0.0;
    }
    return seconds > kLargestSeconds ? kLargestSeconds : seconds;
}

uint64_t secondsNearest(double seconds) {
    return static_cast<uint64_t>(std::round(sanitized(seconds)));
}

uint64_t wholeSeconds(double seconds) {
    return static_cast<uint64_t>(sanitized(seconds));
}

uint64_t minutesNearest(double seconds) {
    return static_cast<uint64_t>(std::round(sanitized(seconds) / 60.0));
}

uint64_t minutesDown(double seconds) {
    return static_cast<uint64_t>(sanitized(seconds) / 60.0);
}

std::string twoDigits(uint64_t part) {
    return apply(part > 9 ? kDurationPattern_twoDigitPart : kDurationPattern_paddedPart, {part});
}

std::string hm(uint64_t minutes) {
    return apply(kDurationPattern_hm, {minutes / 60, minutes % 60});
}

std::string hoursMinutes(uint64_t minutes) {
    return apply(kDurationPattern_hoursMinutes, {minutes / 60, minutes % 60});
}

std::string hmm(uint64_t minutes) {
    return apply(kDurationPattern_hmm, {minutes / 60, twoDigits(minutes % 60)});
}

std::string hhmm(uint64_t minutes) {
    const uint64_t hours = minutes / 60;
    const std::string hoursText =
        minutes < 600 ? apply(kDurationPattern_paddedPart, {hours}) : std::to_string(hours);
    return apply(kDurationPattern_hhmm, {hoursText, twoDigits(minutes % 60)});
}

std::string hmOrM(uint64_t minutes) {
    return minutes > 59 ? hm(minutes) : apply(kDurationPattern_m, {minutes});
}

std::string hms(uint64_t seconds) {
    return apply(kDurationPattern_hms, {seconds / 3600, seconds / 60 % 60, seconds % 60});
}

std::string hoursMinutesSeconds(uint64_t seconds) {
    return apply(kDurationPattern_hoursMinutesSeconds,
                 {seconds / 3600, seconds / 60 % 60, seconds % 60});
}

std::string hmmss(uint64_t seconds) {
    return apply(kDurationPattern_hmmss,
                 {seconds / 3600, twoDigits(seconds / 60 % 60), twoDigits(seconds % 60)});
}

std::string localizedTwoDecimals(double value) {
    return apply(kDurationPattern_decimalHours, {value}, decimal_separator::ofUser());
}

}  // namespace ravelong::duration_forms

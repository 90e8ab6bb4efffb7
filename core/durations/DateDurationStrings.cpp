#include "core/durations/DateDurationStrings.h"

#include <charconv>

#include "core/durations/DurationConstants.h"
#include "core/durations/DurationForms.h"
#include "core/durations/FormatPattern.h"

namespace ravelong::date_additions {

using namespace duration_forms;

std::string getStringOfDuration_hms(double seconds) {
    return hms(secondsNearest(seconds));
}

std::string getStringOfDuration_hoursMinutesSeconds(double seconds) {
    return hoursMinutesSeconds(secondsNearest(seconds));
}

std::string getStringOfDuration_hhmmss(double seconds) {
    return hmmss(secondsNearest(seconds));
}

std::string getStringOfDuration_hm_roundNearest(double seconds) {
    return hm(minutesNearest(seconds));
}

std::string getStringOfDuration_hm_roundDown(double seconds) {
    return hm(minutesDown(seconds));
}

std::string getStringOfDuration_hoursMinutes_roundNearest(double seconds) {
    return hoursMinutes(minutesNearest(seconds));
}

std::string getStringOfDuration_hoursMinutes_roundDown(double seconds) {
    return hoursMinutes(minutesDown(seconds));
}

std::string getStringOfDuration_hhmm_roundNearest(double seconds) {
    return hhmm(minutesNearest(seconds));
}

std::string getStringOfDuration_hhmm_roundDown(double seconds) {
    return hhmm(minutesDown(seconds));
}

std::string getStringOfDuration_hmm_roundNearest(double seconds) {
    return hmm(minutesNearest(seconds));
}

std::string getStringOfDuration_hmm_roundDown(double seconds) {
    return hmm(minutesDown(seconds));
}

std::string getStringOfDuration_decimalHours(double seconds) {
    return localizedTwoDecimals(sanitized(seconds) / 3600.0);
}

std::string getStringOfDuration_hm_ms(double seconds) {
    using format_pattern::apply;
    const uint64_t wholeSeconds = secondsNearest(seconds);
    if (wholeSeconds < 3600) {
        const uint64_t secondPart = wholeSeconds % 60;
        return apply(secondPart < 10 ? kDurationPattern_m_zero_s : kDurationPattern_ms,
                     {wholeSeconds / 60, secondPart});
    }
    const uint64_t minutes = minutesNearest(seconds);
    const uint64_t minutePart = minutes % 60;
    return apply(minutePart < 10 ? kDurationPattern_h_zero_m : kDurationPattern_hm,
                 {minutes / 60, minutePart});
}

std::string getStringOfDuration_hm_m_trunc0(double seconds) {
    return hmOrM(minutesNearest(seconds));
}

int64_t getMinutesOfDuration_roundNearest(double seconds) {
    return static_cast<int64_t>(minutesNearest(seconds));
}

int64_t getMinutesOfDuration_roundDown(double seconds) {
    return static_cast<int64_t>(minutesDown(seconds));
}

double getHoursOfDuration_decimalHours(double seconds) {
    // Rounded through the text so that the number is exactly what a two-decimal text shows.
    const std::string text =
        format_pattern::apply(kDurationPattern_decimalHours, {sanitized(seconds) / 3600.0});
    double hours = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), hours);
    return hours;
}

}  // namespace ravelong::date_additions

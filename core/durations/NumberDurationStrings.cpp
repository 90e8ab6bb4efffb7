#include "core/durations/NumberDurationStrings.h"

#include <cmath>
#include <limits>

#include "core/durations/DecimalSeparator.h"
#include "core/durations/DurationConstants.h"
#include "core/durations/DurationForms.h"
#include "core/durations/FormatPattern.h"

namespace ravelong::number_additions {

using namespace duration_forms;
using format_pattern::apply;

namespace {

// A number receiver holding seconds reads as whole seconds, so its minutes are counted from
// those: (S + 30) / 60 is round(S / 60) with halves up.
uint64_t nearestMinutesOfNumber(double seconds) {
    return (wholeSeconds(seconds) + 30) / 60;
}

uint64_t downMinutesOfNumber(double seconds) {
    return wholeSeconds(seconds) / 60;
}

// Minutes are counts too; they share the bounds of seconds.
uint64_t wholeMinutes(double minutes) {
    return wholeSeconds(minutes);
}

std::string hmTruncatedAt(uint64_t minutes, uint64_t limitMinutes) {
    return minutes < limitMinutes ? hm(minutes) : apply(kDurationPattern_h, {minutes / 60});
}

constexpr uint64_t k100HoursInMinutes = 6000;
constexpr uint64_t k1000HoursInMinutes = 60000;

}  // namespace

std::string getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundNearest(
    double seconds) {
    return hmTruncatedAt(nearestMinutesOfNumber(seconds), k100HoursInMinutes);
}

std::string getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundDown(
    double seconds) {
    return hmTruncatedAt(downMinutesOfNumber(seconds), k100HoursInMinutes);
}

std::string getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt1000_roundNearest(
    double seconds) {
    return hmTruncatedAt(nearestMinutesOfNumber(seconds), k1000HoursInMinutes);
}

std::string getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt1000_roundDown(
    double seconds) {
    return hmTruncatedAt(downMinutesOfNumber(seconds), k1000HoursInMinutes);
}

std::string getStringRepresentationOfSecondsInDecimalHours_truncAt1000_roundNearest(
    double seconds) {
    const double hours = sanitized(seconds) / 3600.0;
    if (hours > 1000.0) {
        return apply(kDurationPattern_h, {std::round(hours)});
    }
    // Decide on the point form, then write the user's separator: "1.50h" becomes "1.5h" and
    // "2.00h" becomes "2.0h", while "1.25h" keeps both decimals.
    const std::string pointText = apply(kDurationPattern_decimalHoursUnit, {hours});
    const bool shorten = pointText.ends_with(kDecimalHoursEnding_zeroDecimals) ||
                         pointText.ends_with(kDecimalHoursEnding_zeroSecondDecimal);
    return apply(
        shorten ? kDurationPattern_decimalHoursShortUnit : kDurationPattern_decimalHoursUnit,
        {hours}, decimal_separator::ofUser());
}

std::string getStringRepresentationOfSeconds_hm_roundNearest(double seconds) {
    return hm(nearestMinutesOfNumber(seconds));
}

std::string getStringRepresentationOfSeconds_hm_roundDown(double seconds) {
    return hm(downMinutesOfNumber(seconds));
}

std::string getStringRepresentationOfSeconds_hoursMinutes_roundNearest(double seconds) {
    return hoursMinutes(nearestMinutesOfNumber(seconds));
}

std::string getStringRepresentationOfSeconds_hoursMinutes_roundDown(double seconds) {
    return hoursMinutes(downMinutesOfNumber(seconds));
}

std::string getStringRepresentationOfSeconds_hmm_roundNearest(double seconds) {
    return hmm(nearestMinutesOfNumber(seconds));
}

std::string getStringRepresentationOfSeconds_hmm_roundDown(double seconds) {
    return hmm(downMinutesOfNumber(seconds));
}

std::string getStringRepresentationOfSeconds_hhmm_roundNearest(double seconds) {
    return hhmm(nearestMinutesOfNumber(seconds));
}

std::string getStringRepresentationOfSeconds_hhmm_roundDown(double seconds) {
    return hhmm(downMinutesOfNumber(seconds));
}

std::string getStringRepresentationOfSeconds_hms(double seconds) {
    return hms(wholeSeconds(seconds));
}

std::string getStringRepresentationOfSeconds_hoursMinutesSeconds(double seconds) {
    return hoursMinutesSeconds(wholeSeconds(seconds));
}

std::string getStringRepresentationOfSeconds_hmmss(double seconds) {
    return hmmss(wholeSeconds(seconds));
}

std::string getStringRepresentationOfSeconds_hms_truncAt10h(double seconds) {
    const uint64_t whole = wholeSeconds(seconds);
    if (whole < 36000) {
        return hms(whole);
    }
    // Seconds stop counting at ten hours; a second part of 31 or more makes the next minute.
    const uint64_t minutes = whole / 60 + (whole % 60 >= 31 ? 1 : 0);
    return hm(minutes);
}

std::string getStringRepresentationOfSeconds_ms_roundDown(double seconds) {
    const uint64_t whole = wholeSeconds(seconds);
    return apply(kDurationPattern_ms, {whole / 60, whole % 60});
}

std::string getStringRepresentationOfSecondsForCounter(double seconds, int32_t* kind) {
    const uint64_t whole = wholeSeconds(seconds);
    int32_t counterKind = 2;
    std::string text;
    if (whole < 60) {
        counterKind = 0;
        text = apply(kDurationPattern_s, {whole});
    } else if (whole < 3600) {
        counterKind = 1;
        text = apply(kDurationPattern_ms, {whole / 60, whole % 60});
    } else {
        text = apply(kDurationPattern_hm, {whole / 3600, whole / 60 % 60});
    }
    if (kind != nullptr) {
        *kind = counterKind;
    }
    return text;
}

int64_t convertSecondsToMinutes(double seconds) {
    return static_cast<int64_t>(nearestMinutesOfNumber(seconds));
}

int64_t convertSecondsToMinutesAndAddMinutes(double seconds, int64_t minutes) {
    int64_t sum = 0;
    if (__builtin_add_overflow(convertSecondsToMinutes(seconds), minutes, &sum)) {
        return minutes < 0 ? std::numeric_limits<int64_t>::min()
                           : std::numeric_limits<int64_t>::max();
    }
    return sum;
}

std::string getStringRepresentationOfMinutes_hm(double minutes) {
    return hm(wholeMinutes(minutes));
}

std::string getStringRepresentationOfMinutes_hm2(double minutes) {
    return hmOrM(wholeMinutes(minutes));
}

std::string getStringRepresentationOfMinutes_hoursMinutes(double minutes) {
    return hoursMinutes(wholeMinutes(minutes));
}

std::string getStringRepresentationOfMinutes_hmm(double minutes) {
    return hmm(wholeMinutes(minutes));
}

std::string getStringRepresentationOfMinutes_hhmm(double minutes) {
    return hhmm(wholeMinutes(minutes));
}

}  // namespace ravelong::number_additions

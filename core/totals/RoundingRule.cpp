#include "core/totals/RoundingRule.h"

#include <cmath>

namespace ravelong::rounding_rule {

int roundingType(std::int16_t code) {
    return code < 0 ? -1 : code / 100;
}

int roundingMinutes(std::int16_t code) {
    return code < 0 ? 0 : code % 100;
}

bool roundsDurations(std::int16_t code) {
    const int type = roundingType(code);
    return code >= 101 && type >= kRoundUp && type <= kRoundDown && roundingMinutes(code) > 0;
}

double roundDuration(double seconds, std::int16_t code) {
    if (!roundsDurations(code) || !std::isfinite(seconds))
        return seconds;
    const double unit = roundingMinutes(code) * 60.0;
    // Whole milliseconds first: instants are doubles of seconds since 2001, whose differences
    // carry a few hundred nanoseconds of noise.
    const double units = std::round(seconds * 1000.0) / 1000.0 / unit;
    switch (roundingType(code)) {
        case kRoundUp:
            return std::ceil(units) * unit;
        case kRoundNearest:
            return std::round(units) * unit;
        default:
            return std::floor(units) * unit;
    }
}

}  // namespace ravelong::rounding_rule

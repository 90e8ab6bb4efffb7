#pragma once

#include <cmath>
#include <cstdint>

#include "foundation/Instant.h"

// Splitting instants into whole Unix seconds for the zone tables. Instants come from stored data
// and other computers, so a NaN or an absurd value must not reach an integer conversion.
namespace ravelong::instant_seconds {

// About three million years either side of 1970: far beyond any real date, small enough that day
// numbers fit in 32 bits and seconds convert to integers without overflow.
inline constexpr double kLimit = 1.0e14;

struct UnixSeconds {
    int64_t whole = 0;      // rounded down, so -0.5 is second -1
    double fraction = 0.0;  // 0 <= fraction < 1
};

// True for an instant the calendar can place: finite and within kLimit of 1970.
inline bool isUsable(Instant instant) {
    const double unix = unixTimeFromInstant(instant);
    return std::isfinite(unix) && std::fabs(unix) < kLimit;
}

// Unusable instants are pinned: NaN to 1970, the rest to the nearest limit.
inline UnixSeconds split(Instant instant) {
    double unix = unixTimeFromInstant(instant);
    if (std::isnan(unix)) {
        unix = 0.0;
    }
    unix = std::fmax(-kLimit, std::fmin(kLimit, unix));
    const double whole = std::floor(unix);
    return {static_cast<int64_t>(whole), unix - whole};
}

inline Instant toInstant(int64_t unixSeconds, double fraction = 0.0) {
    return instantFromUnixTime(static_cast<double>(unixSeconds)) + fraction;
}

}  // namespace ravelong::instant_seconds

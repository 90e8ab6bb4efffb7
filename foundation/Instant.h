#pragma once

namespace ravelong {

// An instant is a number of seconds since 2001-01-01 00:00:00 UTC. Stored dates, the clock and
// every calendar operation use it; Unix time appears only at the edges (system clock, files).
using Instant = double;

// Seconds from 1970-01-01 (Unix epoch) to 2001-01-01 (our reference date).
inline constexpr double kSecondsFromUnixEpochToReferenceDate = 978307200.0;

// The reference date itself: the end date of a timing that is still running.
inline constexpr Instant kSentinelDate = 0.0;

constexpr Instant instantFromUnixTime(double unixSeconds) {
    return unixSeconds - kSecondsFromUnixEpochToReferenceDate;
}

constexpr double unixTimeFromInstant(Instant instant) {
    return instant + kSecondsFromUnixEpochToReferenceDate;
}

}  // namespace ravelong

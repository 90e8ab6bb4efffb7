#pragma once

#include <cstdint>
#include <span>
#include <vector>

// How a timing's rounded duration is handed to the days it touches. Pure arithmetic; the caller
// measures the timing's part of each day (seconds) and rounds its whole duration to `units`.
namespace ravelong::rounded_day_shares {

// Hands out `units` whole rounding units over the parts (consecutive days, earliest first) in
// proportion to each part, by largest remainder: every part first gets the whole units of its
// exact quota, and the units left over go one each to the parts with the largest fractional
// quotas, ties to the earlier day. Parts of `minimumPart` seconds or less take no units (they do
// not count on their day at all). The result always sums to `units` unless no part counts (then
// it is all zeros), so a week's total of a rounded timing is the rounded timing itself:
//
//   23:30 to 00:30, nearest 60 min: 1 unit over 1800 s + 1800 s   -> quotas 0.5, 0.5 -> 1 + 0
//   23:00 to 01:00, up to 60 min:   2 units over 3600 s + 3600 s  -> quotas 1, 1     -> 1 + 1
//   23:30 to 00:45, up to 60 min:   2 units over 1800 s + 2700 s  -> quotas 0.8, 1.2 -> 1 + 1
//
// Parts are compared to the millisecond, so quotas that are equal on paper tie exactly.
std::vector<std::int64_t> largestRemainderUnits(std::int64_t units, std::span<const double> parts,
                                                double minimumPart);

}  // namespace ravelong::rounded_day_shares

#pragma once

#include <cstdint>

// The rounding code of a task (`ZRCDTask::rounding`) and the arithmetic it stands for.
//
// A code is type * 100 + minutes. Type 1 rounds up, 2 to the nearest (halves away from zero),
// 3 down, each to a whole multiple of minutes * 60 seconds. Type 0 with minutes is "explicitly no
// rounding" (a subtask overriding its parent), and a negative code inherits the parent's rule.
// Every other combination (codes up to 100, minutes 0, types above 3) leaves durations as they
// are. Durations are seconds.
namespace ravelong::rounding_rule {

inline constexpr std::int16_t kInheritRounding = -1;
inline constexpr int kRoundUp = 1;
inline constexpr int kRoundNearest = 2;
inline constexpr int kRoundDown = 3;

// code / 100 and code mod 100; a negative (inheriting) code has type -1 and minutes 0.
int roundingType(std::int16_t code);
int roundingMinutes(std::int16_t code);

// Whether the code changes durations at all: type 1, 2 or 3 with minutes 1 to 99.
bool roundsDurations(std::int16_t code);

// A duration rounded by a code; unchanged when the code does not round. Durations a millisecond
// or less from a whole unit count as that unit, so that the noise of subtracting two instants
// (15 minutes coming out as 900.0000001 seconds) cannot round a quarter of an hour up to half an
// hour.
//
//   minutes 15 (900 s):   901 s -> 1800 up, 900 nearest, 900 down;   1350 s -> 1800 nearest
double roundDuration(double seconds, std::int16_t code);

}  // namespace ravelong::rounding_rule

#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "store/Value.h"

namespace ravelong {

// A task's colour. Channels run from 0 to 1; alpha is always 1 for stored colours.
struct TaskColor {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;

    bool operator==(const TaskColor&) const = default;
};

// The stored form of a task colour, `taskColor`: four bytes holding the unsigned 32-bit value
// red << 16 | green << 8 | blue in little-endian order, each channel round(component * 255) of
// the component limited to 0...1 (a NaN counts as 0). The top byte is 0.
//
//   red 1.0, green 0.5, blue 0.0  ->  0x00FF8000  ->  bytes 00 80 FF 00
Data encodeTaskColor(const TaskColor& color);

// The colour of stored data. Absent data reads as black; so does data that is not exactly four
// bytes (the archived colours of older stores are converted by the store repairs, and anything
// else is not a colour).
TaskColor decodeTaskColor(const std::optional<Data>& data);

// A random colour for a new task: red, green and blue each an independent uniform 32-bit value
// divided by 2^32, alpha 1. Without a source the bits come from a generator seeded by the
// system's random device; tests pass their own source.
TaskColor randomTaskColor(const std::function<std::uint32_t()>& random32 = {});

}  // namespace ravelong

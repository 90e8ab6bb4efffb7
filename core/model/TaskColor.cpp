#include "core/model/TaskColor.h"

#include <cmath>
#include <random>

namespace ravelong {

namespace {

std::uint32_t channelByte(double component) {
    if (!(component > 0.0))  // also catches NaN
        return 0;
    if (component >= 1.0)
        return 255;
    return static_cast<std::uint32_t>(std::lround(component * 255.0));
}

std::uint32_t systemRandom32() {
    // One generator per thread, seeded once from the kernel: colours made at the same moment in
    // two threads or two processes do not repeat each other.
    thread_local std::mt19937 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937(seed);
    }();
    return static_cast<std::uint32_t>(generator());
}

}  // namespace

Data encodeTaskColor(const TaskColor& color) {
    const std::uint32_t value =
        channelByte(color.red) << 16 | channelByte(color.green) << 8 | channelByte(color.blue);
    return Data{static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

TaskColor decodeTaskColor(const std::optional<Data>& data) {
    if (!data || data->size() != 4)
        return TaskColor{};
    const std::uint32_t value = std::uint32_t{(*data)[0]} | std::uint32_t{(*data)[1]} << 8 |
                                std::uint32_t{(*data)[2]} << 16 | std::uint32_t{(*data)[3]} << 24;
    return TaskColor{((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0,
                     (value & 0xFF) / 255.0, 1.0};
}

TaskColor randomTaskColor(const std::function<std::uint32_t()>& random32) {
    constexpr double kTwoToThe32 = 4294967296.0;
    auto next = [&] { return (random32 ? random32() : systemRandom32()) / kTwoToThe32; };
    TaskColor color;
    color.red = next();
    color.green = next();
    color.blue = next();
    return color;
}

}  // namespace ravelong

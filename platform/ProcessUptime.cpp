#include "platform/ProcessUptime.h"

#include <time.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <fstream>
#include <string>

namespace ravelong::process_uptime {

namespace {

// The start time is field 22, counted from the pid; the command (field 2) ends at the last ')',
// and a blank precedes each of the 20 fields from the state (field 3) to the start time.
constexpr int kBlanksFromCommandToStartTime = 20;

std::optional<double> startTimeSinceBoot() {
    std::ifstream in("/proc/self/stat");
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    const std::optional<unsigned long long> ticks = startTimeTicksFromStat(line);
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (!ticks || ticksPerSecond <= 0)
        return std::nullopt;
    return static_cast<double>(*ticks) / static_cast<double>(ticksPerSecond);
}

}  // namespace

std::optional<unsigned long long> startTimeTicksFromStat(std::string_view statLine) {
    const std::size_t commandEnd = statLine.rfind(')');
    if (commandEnd == std::string_view::npos)
        return std::nullopt;
    std::size_t position = commandEnd + 1;
    for (int field = 0; field < kBlanksFromCommandToStartTime; ++field) {
        position = statLine.find(' ', position);
        if (position == std::string_view::npos)
            return std::nullopt;
        ++position;
    }
    unsigned long long value = 0;
    const char* first = statLine.data() + position;
    const char* last = statLine.data() + statLine.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end == first || (end != last && *end != ' '))
        return std::nullopt;
    return value;
}

double secondsSinceProcessStart() {
    static const std::optional<double> start = startTimeSinceBoot();
    if (start) {
        timespec now{};
        if (::clock_gettime(CLOCK_BOOTTIME, &now) == 0) {
            const double boot =
                static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
            return boot > *start ? boot - *start : 0.0;
        }
    }
    static const auto firstCall = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - firstCall).count();
}

}  // namespace ravelong::process_uptime

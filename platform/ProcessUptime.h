#pragma once

#include <optional>
#include <string_view>

namespace ravelong::process_uptime {

// Seconds since this process started, measured like the kernel measures it: the start time in
// /proc/self/stat against CLOCK_BOOTTIME, so the time before main() (loading the program and its
// libraries) counts too. Resolution one clock tick (usually 0.01 s). Where /proc cannot be read,
// the seconds since the first call. Safe from any thread. This is a measurement for reports, not
// a clock for the program's logic (that is Clock::current()).
double secondsSinceProcessStart();

// The start time field of a /proc/<pid>/stat line, in clock ticks since boot. The command name
// in parentheses may itself hold blanks and parentheses.
std::optional<unsigned long long> startTimeTicksFromStat(std::string_view statLine);

}  // namespace ravelong::process_uptime

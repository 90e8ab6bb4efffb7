#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Instant.h"

namespace ravelong {

class ZRCalendar;

// Dates as scripts and the command line write them: ISO 8601 with an explicit offset.
namespace iso_dates {

// "2024-03-12T09:30:00+01:00" in the calendar's zone (the offset in force at the instant),
// with milliseconds (".500") only when the instant has a fraction of a second.
std::string format(Instant instant, const ZRCalendar& calendar);

// Reads "YYYY-MM-DDTHH:MM[:SS[.fff]]" (or a space for the "T") followed by "Z", "+HH:MM",
// "-HH:MM", "+HHMM" or "+HH". The offset is required: a date without one could mean any of
// several instants. Nothing (std::nullopt) for any other text, an impossible date or time, or
// an offset beyond 18 hours.
std::optional<Instant> parse(std::string_view text);

}  // namespace iso_dates
}  // namespace ravelong

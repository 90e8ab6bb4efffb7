#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/calendar/ZoneRules.h"

// Time zones by name, as timings store them. Every function is safe to call from any thread.
namespace ravelong::zones {

// The zone a timing names. Names come from other computers and old backups, so anything ICU does
// not know (a typo, an empty text, a zone removed from the database) resolves to GMT, with one
// warning logged per name rather than per call. Results are cached; a repeated lookup on the same
// thread costs a string compare. Never null.
ZoneRef named(std::string_view name);

// The zone ICU knows by this name, or nothing (and nothing logged): for settings, where an
// unknown name is an error the user should see rather than a silent GMT.
std::optional<ZoneRef> lookUp(std::string_view name);

// GMT itself.
ZoneRef gmt();

// The name under which a timing stores a fixed offset from GMT, as older backups give it:
// "GMT+0100", "GMT-0530", "GMT" for 0, and "GMT+010203" when the offset has seconds. An offset of
// a day or more cannot be a zone: it gives "GMT" and a logged warning.
std::string fixedOffsetTimeZoneName(int32_t offsetSeconds);

// The largest offset from GMT a fixed zone may have, in seconds (23:59:59).
inline constexpr int32_t kMaxFixedOffset = 86399;

// Number of names in the cache (for tests of its bound).
size_t cachedNameCount();

}  // namespace ravelong::zones

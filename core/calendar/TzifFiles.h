#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar/PosixZoneRule.h"
#include "foundation/Error.h"

// Zone data from the system's time zone database: the compiled zone files under
// /usr/share/zoneinfo (or $TZDIR), in the TZif format. Safe to call from any thread.
namespace ravelong::tzif {

// What one zone file says: the offset before the first change, every change, and the rule for
// instants after the last one. Instants are unix seconds, offsets seconds east of GMT.
struct ZoneData {
    std::vector<int64_t> transitions;  // strictly ascending
    // offsets[0] applies before transitions[0], offsets[i + 1] from transitions[i] on; summer[i]
    // tells whether offsets[i] is summer time.
    std::vector<int32_t> offsets;
    std::vector<bool> summer;
    std::optional<PosixZoneRule> footer;
};

// Decodes a zone file (version 1, or the 64-bit part of version 2 and later). Anything that is not
// a well-formed zone file (wrong magic, counts past the end, indices out of range, transitions out
// of order, offsets beyond 25 hours) gives an Error with code kMalformed.
inline constexpr int kMalformed = 1;
Result<ZoneData> decode(std::string_view bytes);

// The folder of the system's zone files: $TZDIR when set and not empty, else /usr/share/zoneinfo.
std::string zoneFolder();

// Whether `name` can name a zone file inside the folder: relative, no "." or ".." parts, only
// letters, digits and "_+-/", at most 255 characters. Keeps TZ and stored names from reaching
// files outside the database.
bool isZoneFileName(std::string_view name);

// The zone file for `name` in zoneFolder(), decoded; nothing when the name is not a zone file
// name, the file does not exist or is not a well-formed zone file.
std::optional<ZoneData> loadSystemZone(std::string_view name);

}  // namespace ravelong::tzif

#include "core/calendar/TimeZones.h"

#include <cstdlib>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "foundation/Log.h"

namespace ravelong::zones {

namespace {

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// Backups can carry any number of distinct made-up names; past this many the cache starts over
// rather than growing without bound.
constexpr size_t kMaxCachedNames = 2048;

struct Cache {
    std::shared_mutex mutex;
    std::unordered_map<std::string, ZoneRef, NameHash, std::equal_to<>> byName;
};

Cache& cache() {
    static Cache* instance = new Cache();  // never destroyed: worker threads may outlive main
    return *instance;
}

// The last zone this thread looked up. Day assignment of many timings asks for the same name
// over and over, and this saves the shared lock on the cache.
struct LastLookup {
    std::string name;
    ZoneRef zone;
};
thread_local LastLookup tLast;

// Unknown names are cached as GMT so that each is logged once; lookUp() asks with
// `logUnknown` off and must not leave such an entry behind either.
ZoneRef resolve(std::string_view name, bool logUnknown) {
    Cache& c = cache();
    {
        std::shared_lock lock(c.mutex);
        const auto found = c.byName.find(name);
        if (found != c.byName.end()) {
            return found->second;
        }
    }
    ZoneRef zone = ZoneRules::create(name);
    const bool known = zone != nullptr;
    if (!known) {
        if (!logUnknown) {
            return nullptr;
        }
        zone = gmt();
    }
    std::unique_lock lock(c.mutex);
    const auto [entry, inserted] = c.byName.try_emplace(std::string(name), zone);
    if (inserted && !known) {
        logWarning("time zone", "unknown time zone name \"" + std::string(name) +
                                    "\"; counting its days in GMT");
    }
    if (c.byName.size() > kMaxCachedNames) {
        ZoneRef kept = entry->second;
        c.byName.clear();
        return kept;
    }
    return entry->second;
}

std::string twoDigits(int value) {
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

}  // namespace

ZoneRef gmt() {
    static const ZoneRef zone = ZoneRules::fixed(0, "GMT");
    return zone;
}

ZoneRef named(std::string_view name) {
    LastLookup& last = tLast;
    if (last.zone && last.name == name) {
        return last.zone;
    }
    ZoneRef zone = resolve(name, true);
    last.name.assign(name);
    last.zone = zone;
    return zone;
}

std::optional<ZoneRef> lookUp(std::string_view name) {
    ZoneRef zone = resolve(name, false);
    // Only unknown names map to the shared GMT object; "GMT" and "UTC" get rules of their own.
    if (zone == nullptr || zone == gmt()) {
        return std::nullopt;
    }
    return zone;
}

std::string fixedOffsetTimeZoneName(int32_t offsetSeconds) {
    if (offsetSeconds == 0) {
        return "GMT";
    }
    if (offsetSeconds > kMaxFixedOffset || offsetSeconds < -kMaxFixedOffset) {
        logWarning("time zone", "offset of " + std::to_string(offsetSeconds) +
                                    " seconds from GMT is not a time zone; using GMT");
        return "GMT";
    }
    const int magnitude = std::abs(offsetSeconds);
    std::string name = offsetSeconds < 0 ? "GMT-" : "GMT+";
    name += twoDigits(magnitude / 3600) + twoDigits(magnitude / 60 % 60);
    if (magnitude % 60 != 0) {
        name += twoDigits(magnitude % 60);
    }
    return name;
}

size_t cachedNameCount() {
    Cache& c = cache();
    std::shared_lock lock(c.mutex);
    return c.byName.size();
}

}  // namespace ravelong::zones

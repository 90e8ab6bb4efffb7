#pragma once

#include <unicode/uversion.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar/PosixZoneRule.h"

U_NAMESPACE_BEGIN
class TimeZone;
U_NAMESPACE_END

namespace ravelong {

namespace tzif {
struct ZoneData;
}

// The UTC offsets of one time zone over time, read once into a table of transitions so that a
// lookup is a binary search. Times are whole seconds since 1970-01-01 00:00:00 UTC ("unix
// seconds"); offsets are seconds east of GMT. Immutable after creation: every member is safe to
// call from any thread at once.
//
// The offsets come from the system's time zone database (the zone files the desktop's clock and
// the C library read), so days here agree with the user's clock however recently the rules
// changed. ICU, which formats and computes weeks, is handed the same offsets (icuZone()).
class ZoneRules {
public:
    // Rules for `name`, looked for in this order: a zone file of the system database ("Europe/
    // Berlin", "UTC", "EST5EDT"); a zone only ICU knows, which covers the custom offsets stored
    // timings use ("GMT+0100", "GMT-05:30"); a rule in the form a TZ variable gives
    // ("CET-1CEST,M3.5.0,M10.5.0/3", "<+03>-3"). nullptr when none fits. Building reads a few
    // hundred transitions: callers cache the result (see zones::named).
    static std::shared_ptr<const ZoneRules> create(std::string_view name);

    // Rules from decoded zone data, called `name`.
    static std::shared_ptr<const ZoneRules> fromZoneData(std::string name,
                                                         const tzif::ZoneData& data);

    // A zone that is always `offsetSeconds` east of GMT, called `name`.
    static std::shared_ptr<const ZoneRules> fixed(int32_t offsetSeconds, std::string name);

    ~ZoneRules();
    ZoneRules(const ZoneRules&) = delete;
    ZoneRules& operator=(const ZoneRules&) = delete;

    // The name the zone was created with ("Europe/Berlin", "GMT+0100").
    const std::string& name() const { return name_; }
    bool isFixedOffset() const { return transitions_.empty() && fixedOffset_; }

    // The offset in force at the given instant.
    int32_t offsetAt(int64_t unixSeconds) const;

    // The same, and whether the offset took effect exactly at that instant (a change of the
    // clocks), in one lookup.
    struct OffsetChange {
        int32_t offset = 0;
        bool changesHere = false;
    };
    OffsetChange offsetChangeAt(int64_t unixSeconds) const;

    // The instant at which the wall clock of this zone reads `localSeconds` (seconds since
    // 1970-01-01 00:00:00 local time). A wall time the clocks skip (02:30 on the night summer
    // time starts) gives the first instant after the jump (03:00 summer time); a wall time that
    // occurs twice (02:30 on the night it ends) gives the first occurrence. These are the rules
    // that make day boundaries agree with day numbers: every instant from the boundary on reads
    // at least the boundary's wall time. They match an ICU calendar set to
    // UCAL_WALLTIME_NEXT_VALID for skipped and UCAL_WALLTIME_FIRST for repeated wall times.
    // Wall times after 2199 are resolved by a simpler rule (the offset at the wall time read as
    // UTC, corrected once); for zones only ICU knows, wall times before 1800 and after 2199 are
    // resolved by ICU's defaults.
    int64_t unixSecondsFromLocal(int64_t localSeconds) const;

    // The same, except that a wall time occurring twice takes the occurrence whose offset is
    // `preferredOffset` when there is one. Used when a time is moved within its own day, so that
    // 02:30 CEST (the first of two) set to minute 0 stays in CEST.
    int64_t unixSecondsFromLocal(int64_t localSeconds, int32_t preferredOffset) const;

    // ICU's object for this zone, for formatting and week computations: built from the same
    // offsets as this table (for zones only ICU knows, ICU's own).
    const icu::TimeZone& icuZone() const { return *icuZone_; }

private:
    ZoneRules(std::string name, std::unique_ptr<icu::TimeZone> zone);
    void readTransitions();
    void takeZoneData(const tzif::ZoneData& data);
    int32_t offsetOutsideTable(int64_t unixSeconds) const;
    int32_t icuOffsetAt(int64_t unixSeconds) const;
    int64_t icuUnixSecondsFromLocal(int64_t localSeconds) const;
    size_t periodAt(int64_t unixSeconds) const;

    std::string name_;
    std::unique_ptr<icu::TimeZone> icuZone_;
    bool fixedOffset_ = false;
    // True for zones the system database lacks and ICU knows: outside the table ICU answers.
    bool fromIcu_ = false;
    // The rule after the table's end, for zones read from the system database.
    std::optional<PosixZoneRule> laterRule_;
    // Offsets by period: offsets_[0] applies before transitions_[0], offsets_[i + 1] from
    // transitions_[i] on. Before tableStart_ the first offset applies (ICU answers for its own
    // zones), from tableEnd_ on laterRule_ (or ICU).
    std::vector<int64_t> transitions_;
    std::vector<int32_t> offsets_;
    int32_t minOffset_ = 0;
    int32_t maxOffset_ = 0;
    int64_t tableStart_ = 0;
    int64_t tableEnd_ = 0;
};

using ZoneRef = std::shared_ptr<const ZoneRules>;

}  // namespace ravelong

#pragma once

#include <optional>
#include <string>

#include "foundation/Instant.h"

namespace ravelong {

class ZRCDTiming;

// A timing as scripts see it, read-only. Made fresh on every read; holds the record, which
// must outlive it. Main thread (the context's thread) only.
class ZRScriptTiming {
public:
    static ZRScriptTiming initWithoutCreation(ZRCDTiming* timing) { return ZRScriptTiming(timing); }

    ZRCDTiming* timing() const { return timing_; }

    std::string uniqueID() const;
    // The task's uuid; empty for a timing without task.
    std::string relatedTaskID() const;
    // Instants; a running timing's end is the running marker (kSentinelDate).
    std::optional<Instant> startDate() const;
    std::optional<Instant> endDate() const;
    bool running() const;
    // Seconds, up to now for a running timing.
    double durationInSeconds() const;
    // Seconds, rounded by the rule of the timing's task.
    double durationIncludingRounding() const;

private:
    explicit ZRScriptTiming(ZRCDTiming* timing) : timing_(timing) {}
    ZRCDTiming* timing_;
};

}  // namespace ravelong

#pragma once

#include <optional>
#include <string>

#include "foundation/Error.h"
#include "foundation/Instant.h"

namespace ravelong {

class ZRCDTiming;

// A timing as scripts see it; only its note can be written. Made fresh on every read; holds the
// record, which must outlive it. Main thread (the context's thread) only.
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
    std::string note() const;
    // Replaces the note (empty removes it) as one undo step, and saves. An error, with nothing
    // changed, for a text longer than kMaxNoteBytes or not UTF-8, or a timing that is gone; an
    // error too when the save fails (the change then stays unsaved in the context).
    Status setNote(const std::string& note);

    // The longest note a script may write, in bytes of UTF-8.
    static constexpr std::size_t kMaxNoteBytes = 65536;
    // Why a text cannot be a note (too long, not UTF-8), or nothing when it can.
    static std::optional<std::string> noteProblem(const std::string& note);

private:
    explicit ZRScriptTiming(ZRCDTiming* timing) : timing_(timing) {}
    ZRCDTiming* timing_;
};

}  // namespace ravelong

#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "foundation/Clock.h"
#include "foundation/Error.h"
#include "sync/SyncAlerts.h"

namespace ravelong {

// What the sync driver asks of the engine: one merge pass (upload this computer's changes,
// download and apply the others'), reported once through `done` on the main loop. Progress is
// posted by the engine itself.
class SyncMerger {
public:
    virtual ~SyncMerger() = default;
    virtual void mergeWithOptions(std::uint64_t mergeOptions, std::function<void(Status)> done) = 0;

    // Asked, during the first merge of a computer that already held data, for each property of
    // one record that differs between this computer and the cloud (the text describes it); an
    // engine without an answerer lets the ordering key decide.
    using ConflictQuestion = std::function<SyncAlerts::ConflictAnswer(const std::string& message)>;
    virtual void setConflictQuestion(ConflictQuestion) {}
    // Told, with the time another computer's clock showed when it published something we just
    // read, so the driver can warn about clocks that disagree.
    virtual void setRemoteTimeObserver(std::function<void(Instant remoteNow)>) {}
};

}  // namespace ravelong

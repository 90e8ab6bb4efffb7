#pragma once

#include <cstdint>
#include <functional>

#include "foundation/Error.h"

namespace ravelong {

// What the sync driver asks of the engine: one merge pass (upload this computer's changes,
// download and apply the others'), reported once through `done` on the main loop. Progress is
// posted by the engine itself.
class SyncMerger {
public:
    virtual ~SyncMerger() = default;
    virtual void mergeWithOptions(std::uint64_t mergeOptions, std::function<void(Status)> done) = 0;
};

}  // namespace ravelong

#pragma once

#include "core/services/TimingEditSession.h"

namespace ravelong {

// Counts the requests, for tests.
class RecordingTimingEditSession final : public TimingEditSession {
public:
    void endTimingEditInProgress() override { ++endings_; }
    int endings() const { return endings_; }

private:
    int endings_ = 0;
};

}  // namespace ravelong

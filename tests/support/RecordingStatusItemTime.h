#pragma once

#include <vector>

#include "core/services/StatusItemTime.h"

namespace ravelong {

// Records the calls, for tests.
class RecordingStatusItemTime final : public StatusItemTime {
public:
    void setSecondsOfLastStopXMinutesAgo(double seconds) override {
        lastStopSeconds_.push_back(seconds);
    }
    void updateTime() override { ++updates_; }

    const std::vector<double>& lastStopSeconds() const { return lastStopSeconds_; }
    int updates() const { return updates_; }

private:
    std::vector<double> lastStopSeconds_;
    int updates_ = 0;
};

}  // namespace ravelong

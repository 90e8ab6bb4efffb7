#pragma once

#include <vector>

#include "core/services/IdleTimePanel.h"

namespace ravelong {

// Records the requests, for tests.
class RecordingIdleTimePanel final : public IdleTimePanel {
public:
    void showIdleTimePanel(Instant idleSince) override { shownSince_.push_back(idleSince); }
    void closeIdleTimePanel() override { ++closings_; }

    const std::vector<Instant>& shownSince() const { return shownSince_; }
    int closings() const { return closings_; }

private:
    std::vector<Instant> shownSince_;
    int closings_ = 0;
};

}  // namespace ravelong

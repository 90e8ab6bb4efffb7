#pragma once

#include <vector>

#include "core/services/AddNotePanel.h"

namespace ravelong {

// Records what was asked of the panel, for tests.
class RecordingAddNotePanel final : public AddNotePanel {
public:
    struct Opening {
        int type = 0;
        ZRCDTiming* timing = nullptr;
        bool considerModifierKeys = false;
        bool operator==(const Opening&) const = default;
    };

    void openAddTimingNotePanelWithType(int type, ZRCDTiming* timing,
                                        bool considerModifierKeys) override {
        openings_.push_back(Opening{type, timing, considerModifierKeys});
    }
    void setTiming(ZRCDTiming* timing) override {
        timing_ = timing;
        ++timingChanges_;
    }

    const std::vector<Opening>& openings() const { return openings_; }
    ZRCDTiming* timing() const { return timing_; }
    int timingChanges() const { return timingChanges_; }
    void clear() { openings_.clear(); }

private:
    std::vector<Opening> openings_;
    ZRCDTiming* timing_ = nullptr;
    int timingChanges_ = 0;
};

}  // namespace ravelong

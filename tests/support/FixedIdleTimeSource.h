#pragma once

#include <map>

#include "core/services/IdleTimeSource.h"

namespace ravelong {

// Answers set values (0 for a kind never set) and counts the questions, for tests.
class FixedIdleTimeSource final : public IdleTimeSource {
public:
    void setSeconds(IdleEventKind kind, double seconds) { seconds_[kind] = seconds; }
    void setAll(double seconds) {
        for (IdleEventKind kind : {IdleEventKind::mouseMoved, IdleEventKind::keyDown,
                                   IdleEventKind::modifierFlagsChanged, IdleEventKind::scrollWheel,
                                   IdleEventKind::leftMouseDragged}) {
            seconds_[kind] = seconds;
        }
    }
    double secondsSinceLastEvent(IdleEventKind kind) override {
        ++questions_;
        auto found = seconds_.find(kind);
        return found == seconds_.end() ? 0.0 : found->second;
    }
    int questions() const { return questions_; }

private:
    std::map<IdleEventKind, double> seconds_;
    int questions_ = 0;
};

}  // namespace ravelong

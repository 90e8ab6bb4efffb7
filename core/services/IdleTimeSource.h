#pragma once

#include <map>

namespace ravelong {

// Kinds of user input whose idle time the tick compares with the idle limit, in the order they
// are looked at.
enum class IdleEventKind {
    mouseMoved,
    keyDown,
    modifierFlagsChanged,
    scrollWheel,
    leftMouseDragged
};

// How long the user has left keyboard and mouse alone. The platform layer implements it (the
// desktop's idle monitor); a source that cannot tell event kinds apart answers the same for
// every kind. Main thread only.
class IdleTimeSource {
public:
    virtual ~IdleTimeSource() = default;
    // Seconds since the last input event of this kind (0 when unknown).
    virtual double secondsSinceLastEvent(IdleEventKind kind) = 0;
};

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

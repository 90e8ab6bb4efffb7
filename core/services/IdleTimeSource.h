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

}  // namespace ravelong

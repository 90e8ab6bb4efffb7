#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ravelong {

// The sound of a refused action.
inline constexpr std::string_view kFunkSound = "Funk";

// The system's alert sounds, played when an action is refused ("Funk"). The platform layer
// implements it (a sound theme event); code reaches it through the delegate of the object that
// refuses. Main thread only.
class AlertSound {
public:
    virtual ~AlertSound() = default;
    // Plays the named sound without waiting for it; an unknown name plays the default beep.
    virtual void playSound(std::string_view soundName) = 0;
};

}  // namespace ravelong

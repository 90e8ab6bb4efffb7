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

// Records the names of the sounds played, for tests.
class RecordingAlertSound final : public AlertSound {
public:
    void playSound(std::string_view soundName) override { played_.emplace_back(soundName); }
    const std::vector<std::string>& played() const { return played_; }

private:
    std::vector<std::string> played_;
};

}  // namespace ravelong

#pragma once

#include <functional>
#include <string_view>

#include "core/services/AlertSound.h"

struct ca_context;

namespace ravelong {

// The alert sounds through libcanberra, as events of the desktop's sound theme: "Funk", the
// sound of a refused action, is the freedesktop event "dialog-warning". When there is no sound
// server, no theme sound or an unknown name, the fallback (the desktop bell) is played instead,
// so a refusal is never silent. Main thread only.
class CanberraAlertSound final : public AlertSound {
public:
    explicit CanberraAlertSound(std::function<void()> fallbackBeep);
    ~CanberraAlertSound() override;
    CanberraAlertSound(const CanberraAlertSound&) = delete;
    CanberraAlertSound& operator=(const CanberraAlertSound&) = delete;

    void playSound(std::string_view soundName) override;

    // The theme event for a sound name; empty for names without one.
    static std::string_view eventIdForSound(std::string_view soundName);

private:
    bool playEvent(std::string_view eventId);

    std::function<void()> fallbackBeep_;
    ca_context* context_ = nullptr;
    bool contextFailed_ = false;
};

}  // namespace ravelong

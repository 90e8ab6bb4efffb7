#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/services/AlertSound.h"

namespace ravelong {

// Records the names of the sounds played, for tests.
class RecordingAlertSound final : public AlertSound {
public:
    void playSound(std::string_view soundName) override { played_.emplace_back(soundName); }
    const std::vector<std::string>& played() const { return played_; }

private:
    std::vector<std::string> played_;
};

}  // namespace ravelong

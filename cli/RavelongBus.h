#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "foundation/Error.h"

namespace ravelong::cli {

// The running Ravelong, reached through its scripting interface on the session bus
// (io.github.ravelong.Ravelong). Commands that change timers go through it, so that the
// program that owns the store makes the change; commands that only read use it while the
// program runs and open the store themselves otherwise.
class RavelongBus {
public:
    using Value = std::variant<std::string, bool, double>;
    using Map = std::map<std::string, Value>;

    // Connects to the session bus; running() tells whether Ravelong answers there.
    RavelongBus();
    ~RavelongBus();
    RavelongBus(const RavelongBus&) = delete;
    RavelongBus& operator=(const RavelongBus&) = delete;

    bool running() const { return running_; }

    // The calls of the interface; a D-Bus error comes back as an Error with its message.
    Result<bool> toggleTask(const std::string& taskID);
    Result<bool> setTimingNote(const std::string& timingID, const std::string& note);
    Result<std::vector<std::string>> getTaskIDs(const Map& arguments);
    Result<std::optional<Map>> getTaskWithID(const std::string& taskID);
    Result<std::vector<std::string>> getTimingIDs(const Map& arguments);
    Result<std::optional<Map>> getTimingWithID(const std::string& timingID);
    Result<std::optional<Map>> createTiming(const Map& arguments);
    Result<std::vector<std::string>> runningTaskIDs();

private:
    bool running_ = false;
};

// A text value of a map, or "".
std::string text(const RavelongBus::Map& map, const std::string& key);
double number(const RavelongBus::Map& map, const std::string& key);

}  // namespace ravelong::cli

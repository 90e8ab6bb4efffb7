#pragma once

#include <memory>
#include <string>

#include "core/timer/ZRTimerControllerOSX.h"
#include "scripting/ZRScriptApplication.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong::scripting_testing {

// The program's records on a real store file with a timer controller and the script
// application over them.
class ScriptWorld : public stats_testing::StatsWorld {
protected:
    ScriptWorld()
        : timer(std::make_unique<ZRTimerControllerOSX>(*delegate)), app(*context, *timer, true) {}

    static ScriptArguments direct(const std::string& value) {
        return ScriptArguments{{kDirectParameter, value}};
    }
    static ScriptValue at(Instant instant) { return ScriptDate{instant}; }
    std::string uuid(const std::string& task) { return tasks.at(task)->uuid().value_or(""); }

    std::unique_ptr<ZRTimerControllerOSX> timer;
    ZRScriptApplication app;
};

}  // namespace ravelong::scripting_testing

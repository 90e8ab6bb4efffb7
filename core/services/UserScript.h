#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ravelong {

// Handlers of the user's own script, called when a timer starts or stops.
inline constexpr std::string_view kTimerStartedForTiming = "timerStartedForTiming";
inline constexpr std::string_view kTimerStoppedForTiming = "timerStoppedForTiming";

// The script a user may install to be told about timer starts and stops. Whether one is
// installed is decided once at start-up by the implementation; send() runs a handler with one
// text argument, does not wait for the script, and reports a failure to the user itself.
//
// Until the application installs the real runner, current() is one that is never installed.
// current() and setCurrent() are safe from any thread; send() is called on the main thread.
class UserScript {
public:
    virtual ~UserScript() = default;
    virtual bool isInstalled() const = 0;
    virtual void send(std::string handlerName, std::string timingUuid) = 0;

    static UserScript& current();
    // nullptr restores the default (no script).
    static void setCurrent(UserScript* script);
};

// Tells the user script about a timing: when a script is installed and the uuid is present, the
// handler is called 0.2 s later on MainLoop::current() with a copy of the uuid as it is now.
// Scheduled calls are never cancelled and reach the script in the order they were scheduled.
void scheduleUserScriptCall(std::string_view handlerName,
                            const std::optional<std::string>& timingUuid);

// Installs a script as UserScript::current() for the lifetime of this object, then puts back
// the one installed before it.
class ScopedUserScript {
public:
    explicit ScopedUserScript(UserScript& script);
    ~ScopedUserScript();
    ScopedUserScript(const ScopedUserScript&) = delete;
    ScopedUserScript& operator=(const ScopedUserScript&) = delete;

private:
    UserScript* previous_;
};

}  // namespace ravelong

#include "core/services/UserScript.h"

#include <atomic>

#include "foundation/MainLoop.h"

namespace ravelong {

namespace {

class NoUserScript final : public UserScript {
public:
    bool isInstalled() const override { return false; }
    void send(std::string, std::string) override {}
};

NoUserScript gNoScript;
std::atomic<UserScript*> gCurrentScript{&gNoScript};

constexpr double kUserScriptDelay = 0.2;

}  // namespace

UserScript& UserScript::current() {
    return *gCurrentScript.load();
}

void UserScript::setCurrent(UserScript* script) {
    gCurrentScript.store(script ? script : &gNoScript);
}

void scheduleUserScriptCall(std::string_view handlerName,
                            const std::optional<std::string>& timingUuid) {
    if (!timingUuid || !UserScript::current().isInstalled())
        return;
    // The delay lets the action that started or stopped the timer finish (and save) before the
    // script looks at the store. The runner is looked up when the call is made, so a runner
    // replaced meanwhile is never called after it is gone.
    MainLoop::current().runAfter(
        kUserScriptDelay, [handler = std::string(handlerName), uuid = *timingUuid]() mutable {
            UserScript::current().send(std::move(handler), std::move(uuid));
        });
}

ScopedUserScript::ScopedUserScript(UserScript& script) : previous_(&UserScript::current()) {
    UserScript::setCurrent(&script);
}

ScopedUserScript::~ScopedUserScript() {
    UserScript::setCurrent(previous_);
}

}  // namespace ravelong

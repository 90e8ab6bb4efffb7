#pragma once

#include <map>
#include <string>
#include <vector>

#include "foundation/UserDefaults.h"
#include "menubar/GlobalHotKeyService.h"

namespace ravelong {

class HotKeyActions;

// Keeps the desktop's registrations in step with the five hot-key preferences: at start every
// key that holds a combination is registered, and a change of a key unregisters its old
// combination and registers the new one at once (a cleared key just unregisters). Pressing a
// shortcut calls its action. A stored value that cannot be read leaves that key unregistered and
// is reported by lastErrors(); the value itself stays untouched. Main thread only; every service
// must outlive the controller.
class HotKeyController {
public:
    HotKeyController(UserDefaults& defaults, GlobalHotKeyService& service, HotKeyActions& actions);
    ~HotKeyController();
    HotKeyController(const HotKeyController&) = delete;
    HotKeyController& operator=(const HotKeyController&) = delete;

    // The registration problems by defaults key, as of the last (re-)registration.
    const std::map<std::string, Error>& lastErrors() const { return errors_; }
    bool isRegistered(std::string_view defaultsKey) const;

private:
    void update(std::string_view defaultsKey, std::string_view identifier);

    UserDefaults& defaults_;
    GlobalHotKeyService& service_;
    HotKeyActions& actions_;
    std::vector<UserDefaults::ObserverId> observers_;
    std::map<std::string, Error> errors_;
    std::map<std::string, bool, std::less<>> registered_;
};

}  // namespace ravelong

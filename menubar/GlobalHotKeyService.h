#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "foundation/Error.h"
#include "menubar/HotKeyCombination.h"

namespace ravelong {

// The desktop's service for system-wide shortcuts (a key grab on X11, the desktop portal on
// Wayland). Main thread only.
class GlobalHotKeyService {
public:
    virtual ~GlobalHotKeyService() = default;
    // Whether shortcuts can be registered at all in this session; when not, the preferences offer
    // the command-line commands to bind in the desktop's own keyboard settings.
    virtual bool isAvailable() const = 0;
    // Registers `combination` under `identifier`, replacing what was registered under it. An
    // error says why (taken by another program, a key the service cannot grab); nothing stays
    // registered under the identifier then.
    virtual Status registerHotKey(std::string_view identifier,
                                  const HotKeyCombination& combination) = 0;
    virtual void unregisterHotKey(std::string_view identifier) = 0;
    // Called with the identifier whenever a registered shortcut is pressed.
    virtual void setActivationHandler(std::function<void(const std::string&)> handler) = 0;
};

}  // namespace ravelong

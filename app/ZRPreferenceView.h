#pragma once

#include <string>
#include <string_view>

namespace ravelong {

// What the preferences window shows of the values that ZRPreferenceController changes. The Qt
// window implements it; the controller calls it whenever a stored value changes what the window
// must show. Main thread.
class ZRPreferenceView {
public:
    virtual ~ZRPreferenceView() = default;

    virtual void showDeviceName(const std::string& name) = 0;
    virtual void showUserName(const std::string& name) = 0;
    // The "show seconds for" menu is usable only while the status item shows a total.
    virtual void setShowSecondsDurationEnabled(bool enabled) = 0;
    // The label of the second hot key, which depends on whether stopping asks for a note.
    virtual void setToggleTimerHotKeyLabel(std::string_view label) = 0;
    virtual void showStartAtLogin(bool enabled) = 0;
    // The two synced settings.
    virtual void showAllowSimultaneousTimers(bool allowed) = 0;
    virtual void showNewDay(int hour) = 0;
};

}  // namespace ravelong

#pragma once

#include <memory>
#include <optional>
#include <string>

namespace ravelong {

// Idle time from the X server's screen-saver extension: the milliseconds since the last key
// press or pointer motion the server saw. Works on X11 sessions (and for X clients under
// XWayland only while one of them has the input, so Wayland sessions use the desktop's D-Bus
// monitors first). One display connection, opened once. Main thread only.
class XScreenSaverIdleTime {
public:
    // Opens `displayName` (empty: $DISPLAY). nullptr when there is no X display or the server
    // lacks the extension.
    static std::unique_ptr<XScreenSaverIdleTime> open(const std::string& displayName = {});
    ~XScreenSaverIdleTime();
    XScreenSaverIdleTime(const XScreenSaverIdleTime&) = delete;
    XScreenSaverIdleTime& operator=(const XScreenSaverIdleTime&) = delete;

    // Seconds since the last input, or nothing when the server did not answer.
    std::optional<double> idleSeconds();

private:
    struct Connection;
    explicit XScreenSaverIdleTime(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection_;
};

}  // namespace ravelong

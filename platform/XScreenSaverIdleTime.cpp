#include "platform/XScreenSaverIdleTime.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace ravelong {

struct XScreenSaverIdleTime::Connection {
    Display* display = nullptr;
    XScreenSaverInfo* info = nullptr;
    ~Connection() {
        if (info)
            XFree(info);
        if (display)
            XCloseDisplay(display);
    }
};

std::unique_ptr<XScreenSaverIdleTime> XScreenSaverIdleTime::open(const std::string& displayName) {
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!connection->display)
        return nullptr;
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(connection->display, &eventBase, &errorBase))
        return nullptr;
    connection->info = XScreenSaverAllocInfo();
    if (!connection->info)
        return nullptr;
    return std::unique_ptr<XScreenSaverIdleTime>(new XScreenSaverIdleTime(std::move(connection)));
}

XScreenSaverIdleTime::XScreenSaverIdleTime(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

XScreenSaverIdleTime::~XScreenSaverIdleTime() = default;

std::optional<double> XScreenSaverIdleTime::idleSeconds() {
    if (!XScreenSaverQueryInfo(connection_->display, DefaultRootWindow(connection_->display),
                               connection_->info))
        return std::nullopt;
    return static_cast<double>(connection_->info->idle) / 1000.0;
}

}  // namespace ravelong

#include "platform/SessionAutostart.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace ravelong::session_autostart {

bool startedBySessionAutostart(const char* desktopAutostartId, std::string_view cgroupText) {
    if (desktopAutostartId && *desktopAutostartId)
        return true;
    return cgroupText.find("@autostart.service") != std::string_view::npos;
}

bool startedBySessionAutostart() {
    std::ifstream in("/proc/self/cgroup");
    std::stringstream text;
    if (in)
        text << in.rdbuf();
    return startedBySessionAutostart(std::getenv("DESKTOP_AUTOSTART_ID"), text.str());
}

}  // namespace ravelong::session_autostart

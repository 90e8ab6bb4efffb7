#pragma once

#include <string_view>

namespace ravelong::session_autostart {

// Whether the desktop session started this process from the autostart entry (as opposed to the
// user starting it), judged from what session managers leave behind:
//
// - DESKTOP_AUTOSTART_ID: set by gnome-session and xfce4-session for the programs they start at
//   login.
// - The cgroup: systemd's xdg-autostart generator (GNOME and KDE Plasma with systemd start-up)
//   runs each autostart entry in a unit named "app-<name>@autostart.service".
//
// At login the panel that hosts tray icons may still be starting, so the tray item waits a
// little for it in that case. The arguments are the variable's value (nullptr when unset) and
// the text of /proc/self/cgroup.
bool startedBySessionAutostart(const char* desktopAutostartId, std::string_view cgroupText);

// The same for this process.
bool startedBySessionAutostart();

}  // namespace ravelong::session_autostart

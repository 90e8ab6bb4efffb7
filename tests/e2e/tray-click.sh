#!/usr/bin/env bash
# The program in a real X session: an X server without a screen (Xvfb), trayer as the tray host,
# a private session bus. The icon docks in the tray, and a click on it opens the task panel just
# under the icon.
#
#   tray-click.sh <ravelong>
#
# The tray host needs a moment after its window appears before it takes icons, and the first
# click can race with the icon being mapped, so docking and clicking are tried a few times
# (each with a bounded wait) before the test gives up.
set -euo pipefail
program=$1
. "$(dirname "$0")/e2e-common.sh"

e2e_make_home
e2e_trap_cleanup
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# A program that ran here before (no first-run panel, no notice).
printf '{\n  "ZRShowTasks": 2,\n  "ZRDidQuit": true,\n  "ZRNoTrayNoticeShown": true\n}\n' \
  >"$XDG_CONFIG_HOME/ravelong/settings.json"

# The X server picks a free display and tells which.
e2e_start_xvfb

e2e_start_tray_host
e2e_start_docked "$program"

opened=""
for attempt in 1 2 3; do
  xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 1
  for i in $(seq 1 50); do
    grep -q "milestone panel-shown" "$out" && { opened=1; break; }
    sleep 0.1
  done
  [ -n "$opened" ] && break
  echo "click $attempt: no panel yet; clicking again" >&2
done
[ -n "$opened" ] || e2e_fail "a click on the tray icon did not open the panel"

# The panel is on screen, as a window of its own size, just under the tray icon.
e2e_find_window 100 100 || e2e_fail "no panel window is visible"
y=$py
[ "$y" -ge $((icon_y + icon_h - 2)) ] || e2e_fail "the panel (y $y) is not under the icon"
[ "$y" -le $((icon_y + icon_h + 40)) ] || e2e_fail "the panel (y $y) is far from the icon"

# A picture of the screen with the panel open, for a reviewer to look at.
shots=${E2E_SCREENSHOT_DIR:-$PWD/screenshots}
mkdir -p "$shots"
e2e_screenshot "tray-panel.png"

# A right click opens the stack menu; a picture of it too.
menu_shown=""
for attempt in 1 2 3; do
  xdotool key Escape
  sleep 0.3
  xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 3
  for i in $(seq 1 50); do
    grep -q "milestone stack-menu-shown" "$out" && { menu_shown=1; break; }
    sleep 0.1
  done
  [ -n "$menu_shown" ] && break
  echo "right click $attempt: no menu yet; clicking again" >&2
done
[ -n "$menu_shown" ] || e2e_fail "a right click on the tray icon did not open the stack menu"
e2e_screenshot "tray-stack-menu.png"
xdotool key Escape

kill -TERM "$program_pid"
e2e_wait_exit 30
[ "$exit_status" = 0 ] || e2e_fail "the program ended with status $exit_status"
echo "PASS tray click"

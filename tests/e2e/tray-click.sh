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
xvfb_pid="" trayer_pid=""
cleanup() {
  [ -n "${program_pid:-}" ] && kill -KILL "$program_pid" 2>/dev/null || true
  [ -n "$trayer_pid" ] && kill "$trayer_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${E2E_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# A program that ran here before (no first-run panel, no notice).
printf '{\n  "ZRShowTasks": 2,\n  "ZRDidQuit": true,\n  "ZRNoTrayNoticeShown": true\n}\n' \
  >"$XDG_CONFIG_HOME/ravelong/settings.json"

# The X server picks a free display and tells which.
e2e_start_xvfb

trayer --edge top --align right --widthtype pixel --width 120 --height 24 --SetDockType true \
  >"$work/trayer.log" 2>&1 &
trayer_pid=$!
tray_window=""
for i in $(seq 1 100); do
  tray_window=$(xwininfo -root -tree 2>/dev/null | awk '/\("panel" "trayer"\)/ {print $1; exit}')
  [ -n "$tray_window" ] && break
  sleep 0.1
done
[ -n "$tray_window" ] || e2e_fail "trayer did not start"
sleep 0.5

# The icon: a window of ours somewhere below trayer's panel window.
docked_icon() {
  xwininfo -tree -id "$tray_window" 2>/dev/null | awk '/\("ravelong" "Ravelong"\)/ {print $1; exit}'
}

icon=""
for attempt in 1 2 3; do
  e2e_start "attempt$attempt" "$program"
  e2e_wait_for "milestone tray-shown" 60
  for i in $(seq 1 100); do
    icon=$(docked_icon)
    [ -n "$icon" ] && break
    sleep 0.1
  done
  [ -n "$icon" ] && break
  echo "attempt $attempt: the icon did not dock; starting again" >&2
  kill -TERM "$program_pid"
  e2e_wait_exit 30
done
[ -n "$icon" ] || e2e_fail "the tray icon never docked"
e2e_wait_for "milestone repaired" 60

geometry() {  # x y width height of a window, on screen
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                           /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
read -r icon_x icon_y icon_w icon_h < <(geometry "$icon")

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
panel=""
for w in $(xdotool search --onlyvisible --name '^Ravelong$' 2>/dev/null); do
  read -r x y width height < <(geometry "$w")
  if [ "$width" -ge 100 ] && [ "$height" -ge 100 ]; then
    panel=$w
    break
  fi
done
[ -n "$panel" ] || e2e_fail "no panel window is visible"
[ "$y" -ge $((icon_y + icon_h - 2)) ] || e2e_fail "the panel (y $y) is not under the icon"
[ "$y" -le $((icon_y + icon_h + 40)) ] || e2e_fail "the panel (y $y) is far from the icon"

# A picture of the screen with the panel open, for a reviewer to look at.
shots=${E2E_SCREENSHOT_DIR:-$PWD/screenshots}
mkdir -p "$shots"
sleep 0.3
if xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shots/tray-panel.png" 2>/dev/null; then
  echo "screenshot: $shots/tray-panel.png"
else
  e2e_fail "could not take a screenshot of the open panel"
fi

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
sleep 0.3
if xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shots/tray-stack-menu.png" 2>/dev/null; then
  echo "screenshot: $shots/tray-stack-menu.png"
else
  e2e_fail "could not take a screenshot of the stack menu"
fi
xdotool key Escape

kill -TERM "$program_pid"
e2e_wait_exit 30
[ "$exit_status" = 0 ] || e2e_fail "the program ended with status $exit_status"
echo "PASS tray click"

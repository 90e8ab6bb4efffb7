#!/usr/bin/env bash
# A new user's first day from the tray, in a real X session (Xvfb, trayer as the tray host, a
# private session bus): a click on the icon opens the task panel, a click on its add control and
# typing name a task, a subtask is added, its timer started and stopped, the subtask renamed and
# the rename undone. After the quit the store holds the result. Pictures of the open panel and of
# the icon's menu go to $E2E_SCREENSHOT_DIR (default ./screenshots) for a reviewer.
#
#   panel-day.sh <ravelong> <ravelong-e2e-helper>
#
# Mouse clicks and typing are xdotool's; where a row's position on screen is not known to the
# script (the subtask's timer control, its name), the test commands do what the click does.
set -euo pipefail
program=$1
helper=$2
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
export QT_QPA_PLATFORM=xcb RAVELONG_TEST_COMMANDS=1
unset WAYLAND_DISPLAY
shots=${E2E_SCREENSHOT_DIR:-$PWD/screenshots}
mkdir -p "$shots"

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

docked_icon() {
  xwininfo -tree -id "$tray_window" 2>/dev/null | awk '/\("ravelong" "Ravelong"\)/ {print $1; exit}'
}
geometry() {  # x y width height of a window, on screen
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                           /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
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
read -r icon_x icon_y icon_w icon_h < <(geometry "$icon")

# A new user may find the panel open already (the first start shows it); otherwise a click on
# the icon opens it.
find_panel() {
  panel=""
  for w in $(xdotool search --onlyvisible --name '^Ravelong$' 2>/dev/null); do
    read -r px py pw ph < <(geometry "$w")
    if [ "$pw" -ge 200 ] && [ "$ph" -ge 200 ]; then
      panel=$w
      return 0
    fi
  done
  return 1
}
sleep 0.5
if ! find_panel; then
  for attempt in 1 2 3; do
    shown_before=$(grep -c "milestone panel-shown" "$out" || true)
    xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 1
    for i in $(seq 1 50); do
      [ "$(grep -c "milestone panel-shown" "$out" || true)" -gt "$shown_before" ] && break
      sleep 0.1
    done
    sleep 0.3
    find_panel && break
  done
fi
[ -n "$panel" ] || e2e_fail "no panel window is visible"

# The add control sits at the bottom left of the panel: a click there puts the new task's name
# into editing; the user types the name and presses Return.
xdotool mousemove $((px + 40)) $((py + ph - 16)) click 1
sleep 0.5
xdotool type --delay 20 "Write report"
xdotool key Return
sleep 0.5
e2e_screenshot "panel-new-task.png"

# The rest by command, in the panel the user has open.
e2e_command "add-subtask Write report => Draft"
e2e_command "click-task Draft"
e2e_screenshot "panel-running.png"
# Timers stopped within 10 seconds leave no timing behind.
sleep 11
e2e_command "click-task Draft"
e2e_command "rename-task Draft => Outline"
e2e_screenshot "panel-renamed.png"
e2e_command "undo"
e2e_screenshot "panel-after-undo.png"

# Escape closes the panel.
xdotool key Escape
sleep 0.5
! find_panel || e2e_fail "Escape did not close the panel"

# The icon's menu (right click), then away with it.
xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 3
sleep 0.8
e2e_screenshot "tray-menu.png"
xdotool key Escape

e2e_command "quit"
e2e_wait_exit 30
[ "$exit_status" = 0 ] || e2e_fail "the program ended with status $exit_status"

tree=$("$helper" tree "Write report") || e2e_fail "the store has no task \"Write report\""
expected=$'0 Write report\n1 Draft'
[ "$tree" = "$expected" ] || e2e_fail "the store holds the tree \"$tree\", not \"$expected\""
timings=$("$helper" timings Draft)
case "$timings" in
  "running=0 stopped=1 "*) ;;
  *) e2e_fail "the subtask's timings are \"$timings\"" ;;
esac
echo "PASS panel day"

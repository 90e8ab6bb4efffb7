#!/usr/bin/env bash
# Every window of the program once, in a real X session (Xvfb, trayer as the tray host, a private
# session bus), for a reviewer to look at: the preferences (from the icon's menu, then each pane)
# and the main window with its sheets (from the icon's menu), then each dialog, panel and alert
# through the test command "show-window", and last the question about running timers that a quit
# asks. Each must come up as a new window with its title, large enough, wholly on the screen and
# painted; a picture of it is taken (one file per window, named after it, in $E2E_SCREENSHOT_DIR,
# default ./screenshots) and the window is closed again. The program then quits with status 0
# and its timer stopped.
#
#   window-tour.sh <ravelong> <ravelong-e2e-helper>
set -euo pipefail
program=$1
helper=$2
. "$(dirname "$0")/e2e-common.sh"

e2e_make_home
for task in "Write report" "Review"; do
  "$helper" add-task "$task" || e2e_fail "could not prepare the store"
done
e2e_start_x_session
e2e_start_tray_host
e2e_start_docked "$program"
read -r screen_w screen_h < <(xwininfo -root | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w, h}')

# A running timer: the add-note panel, the idle panel and the quit question are about it.
e2e_command "click-task Write report"

visible_windows() {
  xdotool search --onlyvisible --name '' 2>/dev/null | sort -u
}

# new_window <title>: a visible window with exactly that title that was not in $before; sets
# window (empty when there is none).
new_window() {
  local w
  window=""
  for w in $(visible_windows); do
    grep -qx -- "$w" <<<"$before" && continue
    if [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ]; then
      window=$w
      return 0
    fi
  done
  return 1
}

# await_window <title> <min width> <min height>: waits for new_window, and checks that the window
# is at least that large and wholly on the screen.
await_window() {
  local title=$1 min_w=$2 min_h=$3 x y ww wh
  for _ in $(seq 1 100); do
    new_window "$title" && break
    sleep 0.1
  done
  [ -n "$window" ] || e2e_fail "no new window titled \"$title\" came up"
  read -r x y ww wh < <(e2e_geometry "$window")
  [ "$ww" -ge "$min_w" ] && [ "$wh" -ge "$min_h" ] ||
    e2e_fail "the window \"$title\" is only ${ww}x${wh}, not at least ${min_w}x${min_h}"
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + ww)) -le "$screen_w" ] &&
    [ $((y + wh)) -le "$screen_h" ] ||
    e2e_fail "the window \"$title\" (${ww}x${wh} at $x,$y) is not wholly on the screen"
}

# await_painted: waits until $window shows more than a couple of colours (a window that was just
# mapped is black until its first paint).
await_painted() {
  local colours
  for _ in $(seq 1 50); do
    colours=$(xwd -id "$window" -silent 2>/dev/null | xwdtopnm 2>/dev/null |
      ppmhist -noheader 2>/dev/null | wc -l)
    [ "$colours" -gt 2 ] && return 0
    sleep 0.1
  done
  e2e_fail "the window $window was never painted"
}

# window_picture <file>: a picture of $window alone into $shots. Under Xvfb a sheet over the main
# window stays black in a picture of the whole screen until something moves it, though it is
# painted; the window's own picture shows what it shows.
window_picture() {
  sleep 0.3
  xwd -id "$window" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shots/$1" 2>/dev/null ||
    e2e_fail "could not take the picture $1"
  echo "picture: $shots/$1"
}

# await_gone: waits until $window is no longer shown.
await_gone() {
  for _ in $(seq 1 50); do
    xwininfo -id "$window" 2>/dev/null | grep -q IsViewable || return 0
    sleep 0.1
  done
  e2e_fail "the window $window is still shown after it was closed"
}

# tour <name> <title> <min width> <min height>: opens the window with show-window, checks it,
# takes its picture <name>.png and closes it with close-window.
tour() {
  before=$(visible_windows)
  e2e_command "show-window $1"
  await_window "$2" "$3" "$4"
  await_painted
  window_picture "$1.png"
  e2e_command "close-window $1"
  await_gone
}

# from_tray_menu <title> <min width> <min height> <keys...>: opens the icon's menu with a right
# click and presses the keys (three tries), then awaits the window as await_window does.
from_tray_menu() {
  local title=$1 min_w=$2 min_h=$3
  shift 3
  before=$(visible_windows)
  for _ in 1 2 3; do
    # An open panel takes the first click for itself (it closes).
    xdotool key Escape
    xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 3
    sleep 0.8
    xdotool key "$@"
    for _ in $(seq 1 30); do
      new_window "$title" && break 2
      sleep 0.1
    done
  done
  await_window "$title" "$min_w" "$min_h"
}

# The icon's menu ends with "Show Main Window", "Show Tasks", "Preferences…" and "Quit Ravelong".
from_tray_menu "Ravelong Preferences" 400 300 Up Up Return
await_painted
for pane in General Timer "Idle and sleep" "Hot keys" Backups; do
  e2e_command "preferences $pane"
  slug=$(tr 'A-Z ' 'a-z-' <<<"$pane")
  window_picture "preferences-$slug.png"
done
e2e_command "close-window preferences"
await_gone

from_tray_menu "Ravelong" 700 400 Up Up Up Up Return
main=$window
tour csv-export "Export Timings" 300 200
tour chart-export "Ravelong" 200 100
window=$main
e2e_command "close-window main-window"
await_gone

tour task-edit "Edit Task" 250 150
tour add-timing "Add Timing" 200 150
tour add-note "Ravelong" 150 40
tour idle "Ravelong" 250 100
tour csv-import "CSV Import" 300 300
tour database-update "Ravelong" 200 60
tour restricted-mode "Ravelong" 200 60
tour sync-alert "Clocks Differ" 250 100
tour merge-conflict "Synchronisation Conflict" 250 100
tour cloud-data "Data Found in the Sync Folder" 250 100
tour releech "Synchronise Again" 250 100
tour finishing-sync "Ravelong" 250 50
tour alert "Ravelong" 200 80

# A quit with the timer running asks first; closing the question leaves the program running.
before=$(visible_windows)
e2e_command "quit"
await_window "Ravelong" 200 80
await_painted
window_picture "timers-running.png"
e2e_command "close-window timers-running"
await_gone
kill -0 "$program_pid" 2>/dev/null || e2e_fail "closing the question about running timers quit"

e2e_command "click-task Write report"
e2e_command "quit"
e2e_wait_exit 30
[ "$exit_status" = 0 ] || e2e_fail "the program ended with status $exit_status"
timings=$("$helper" timings "Write report")
case "$timings" in
  running=0\ *) ;;
  *) e2e_fail "the task's timings after the quit are \"$timings\"" ;;
esac
echo "PASS window tour"

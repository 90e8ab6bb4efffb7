#!/usr/bin/env bash
# The main window in a real X session (Xvfb, trayer as the tray host, a private session bus): a
# timer run from the panel leaves a timing; the icon's menu opens the main window; last week is
# chosen, a timing is added by hand, the timer's timing deleted; the store is read before and after
# the deletion, and after the quit it holds only the added timing. Pictures of the main window go
# to $E2E_SCREENSHOT_DIR (default ./screenshots): main-window.png and, with each chart in front,
# main-window-pie.png, main-window-bar.png and main-window-line.png.
#
#   main-window.sh <ravelong> <ravelong-e2e-helper>
set -euo pipefail
program=$1
helper=$2
. "$(dirname "$0")/e2e-common.sh"

e2e_make_home
"$helper" add-task "Write report" || e2e_fail "could not prepare the store"
e2e_start_x_session

e2e_start_tray_host
e2e_start_docked "$program"

main_window() {
  e2e_find_window 700 400 && echo "$found_window"
}

e2e_command "click-task Write report"
# Timers stopped within 10 seconds leave no timing behind.
sleep 11
e2e_command "click-task Write report"

# The icon's menu ends with "Show Main Window", "Show Tasks", "Preferences…" and "Quit Ravelong".
window=""
for attempt in 1 2 3; do
  xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 3
  sleep 0.8
  xdotool key Up Up Up Up Return
  for i in $(seq 1 30); do
    window=$(main_window) && break
    sleep 0.1
  done
  [ -n "$window" ] && break
  xdotool key Escape
done
[ -n "$window" ] || e2e_fail "the main window did not open from the tray menu"

e2e_command "main-window-preset Last Week"
# A day of last week whatever day the week starts on: three days before this week's Monday.
day=$(date -d "$(date +%F) -$(( $(date +%u) + 3 )) days" +%F)
e2e_command "add-timing Write report => $day 10:00 1:00"
e2e_command "main-window-preset All"
e2e_screenshot "main-window.png"

# The store itself, read beside the running program (SQLite's WAL lets a reader in): the task's
# stopped timings and their lengths in seconds, shortest first.
store=$(find "$XDG_DATA_HOME" -name RavelongDB.sqlite | head -n 1)
[ -n "$store" ] || e2e_fail "no store under $XDG_DATA_HOME"
stored_timings() {
  sqlite3 -readonly "$store" "SELECT group_concat(CAST(round(length) AS INTEGER), ' ') FROM
    (SELECT t.endDate - t.startDate AS length FROM ZRCDTiming t JOIN ZRCDTask k ON t.task = k.pk
     WHERE k.taskName = 'Write report' ORDER BY length)"
}
before=$(stored_timings) || e2e_fail "could not read the store"
set -- $before
[ $# = 2 ] && [ "$2" = 3600 ] || e2e_fail "before the deletion the store holds \"$before\""

# The charts tab with each chart, for a reviewer.
for chart in pie bar line; do
  e2e_command "main-window-chart $chart"
  sleep 1
  e2e_screenshot "main-window-$chart.png"
done

# Newest first: the timer's timing of today is the first row.
e2e_command "delete-timing 0"
after=$(stored_timings) || e2e_fail "could not read the store"
[ "$after" = 3600 ] || e2e_fail "after deleting the timer's timing the store holds \"$after\""

e2e_command "quit"
e2e_wait_exit 30
[ "$exit_status" = 0 ] || e2e_fail "the program ended with status $exit_status"

timings=$("$helper" timings "Write report")
[ "$timings" = "running=0 stopped=1 longest=3600" ] ||
  e2e_fail "the task's timings are \"$timings\", not only the one added by hand"
echo "PASS main window"

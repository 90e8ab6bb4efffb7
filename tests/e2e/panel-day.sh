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
e2e_start_x_session

e2e_start_tray_host
e2e_start_docked "$program"

# A new user may find the panel open already (the first start shows it); otherwise a click on
# the icon opens it.
find_panel() {
  panel=""
  e2e_find_window 200 200 && panel=$found_window
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

#!/usr/bin/env bash
# Two computers of one user synchronising through one synced folder, each a real Ravelong in a
# real X session (Xvfb, a private session bus) with its own data and settings folders. The folder
# is chosen in the settings beforehand; each run opens the preferences on the Sync pane and
# presses "Sync Now". Computer A sends its task, computer B takes it in and sends its own, and A,
# started again, takes in B's. Afterwards both stores hold both tasks, and the choice of folder is
# still stored. The picture of B's pane goes to $E2E_SCREENSHOT_DIR (default ./screenshots) as
# sync-pane.png.
#
#   sync-pane.sh <ravelong> <ravelong-e2e-helper>
set -euo pipefail
program=$1
helper=$2
. "$(dirname "$0")/e2e-common.sh"

e2e_make_home
synced="$work/Sync/Ravelong"
mkdir -p "$synced"

# computer <name>: switches the environment to that computer's own home.
computer() {
  export HOME="$work/$1/home" XDG_DATA_HOME="$work/$1/data" XDG_CONFIG_HOME="$work/$1/config"
  mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME/ravelong"
  settings="$XDG_CONFIG_HOME/ravelong/settings.json"
}
for name in a b; do
  computer $name
  "$helper" add-task "Task of $name" || e2e_fail "could not prepare the store of $name"
  printf '{"ZRConnectionState": 500, "RavelongSyncFolder": "%s"}\n' "$synced" >"$settings"
done

e2e_start_x_session

# sync_once <computer> <run name> [screenshot]: starts the computer's Ravelong, syncs, quits.
sync_once() {
  computer "$1"
  e2e_start "$2" "$program"
  e2e_wait_for "milestone repaired" 60
  e2e_command "preferences Sync"
  e2e_command "sync-now"
  e2e_wait_for "sync-ended ok" 30
  if grep -q "^sync-ended SE" "$out"; then e2e_fail "a sync of $1 failed"; fi
  [ -z "${3:-}" ] || e2e_screenshot "$3"
  e2e_command "quit"
  e2e_wait_exit 30
  [ "$exit_status" = 0 ] || e2e_fail "$1's program ended with status $exit_status"
  grep -q "\"RavelongSyncFolder\": *\"$synced\"" "$settings" ||
    e2e_fail "$1's synced folder is no longer stored: $(cat "$settings")"
}

sync_once a a-first
sync_once b b "sync-pane.png"
sync_once a a-again

for name in a b; do
  computer $name
  for wanted in "Task of a" "Task of b"; do
    found=$("$helper" tree "$wanted" 2>&1) || e2e_fail "$name lacks \"$wanted\": $found"
    [ "$(grep -c "^0 " <<<"$found")" = 1 ] || e2e_fail "$name holds \"$wanted\" twice: $found"
  done
done
ls "$synced"/events/*.event >/dev/null 2>&1 || e2e_fail "no event files in the synced folder"
echo "PASS two computers through a synced folder"

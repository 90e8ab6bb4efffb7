#!/usr/bin/env bash
# The Sync pane in a real X session (Xvfb, a private session bus), with a synced folder chosen in
# the settings beforehand: the program starts with that folder connected, the preferences open on
# the Sync pane, "Sync Now" runs a sync (which, without a merge engine in this build, ends with
# the error that says so), and after the quit the choice is still stored. The picture of the pane
# goes to $E2E_SCREENSHOT_DIR (default ./screenshots) as sync-pane.png.
#
#   sync-pane.sh <ravelong> <ravelong-e2e-helper>
set -euo pipefail
program=$1
helper=$2
. "$(dirname "$0")/e2e-common.sh"

e2e_make_home
"$helper" add-task "Write report" || e2e_fail "could not prepare the store"
synced="$work/Sync/Ravelong"
mkdir -p "$synced"
settings="$XDG_CONFIG_HOME/ravelong/settings.json"
printf '{"ZRConnectionState": 500, "RavelongSyncFolder": "%s"}\n' "$synced" >"$settings"

xvfb_pid=""
cleanup() {
  [ -n "${program_pid:-}" ] && kill -KILL "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${E2E_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=xcb RAVELONG_TEST_COMMANDS=1
unset WAYLAND_DISPLAY
shots=${E2E_SCREENSHOT_DIR:-$PWD/screenshots}
mkdir -p "$shots"

e2e_start_xvfb

e2e_start run "$program"
e2e_wait_for "milestone repaired" 60
e2e_command "preferences Sync"
e2e_command "sync-now"
e2e_wait_for "sync-ended SEErrorDomain 2003" 20
e2e_screenshot "sync-pane.png"

e2e_command "quit"
e2e_wait_exit 30
[ "$exit_status" = 0 ] || e2e_fail "the program ended with status $exit_status"
grep -q "\"RavelongSyncFolder\": *\"$synced\"" "$settings" ||
  e2e_fail "the synced folder is no longer stored: $(cat "$settings")"
grep -q '"ZRConnectionState": *500' "$settings" ||
  e2e_fail "the connection state after the quit is not the folder's idle state: $(cat "$settings")"
if grep -q ZRLastSync "$XDG_CONFIG_HOME/ravelong/group-settings.json" 2>/dev/null; then
  e2e_fail "a sync that merged nothing was recorded as the last sync"
fi
echo "PASS sync pane"

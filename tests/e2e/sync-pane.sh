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

Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for i in $(seq 1 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || e2e_fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"

screenshot() {
  sleep 0.5
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shots/$1" 2>/dev/null ||
    e2e_fail "could not take the screenshot $1"
  echo "screenshot: $shots/$1"
}
# command <line>: sends a test command and waits for its acknowledgement.
command() {
  local done_before failed_before i
  done_before=$(grep -cxF -- "command-done $1" "$out" || true)
  failed_before=$(grep -cxF -- "command-failed $1" "$out" || true)
  e2e_send "$1"
  for i in $(seq 1 100); do
    [ "$(grep -cxF -- "command-done $1" "$out" || true)" -gt "$done_before" ] && return 0
    [ "$(grep -cxF -- "command-failed $1" "$out" || true)" -gt "$failed_before" ] &&
      e2e_fail "the command \"$1\" failed"
    sleep 0.1
  done
  e2e_fail "no answer to the command \"$1\""
}

e2e_start run "$program"
e2e_wait_for "milestone repaired" 60
# The panel stands in for the tray icon here: out of the way of the preferences.
command "preferences Sync"
command "sync-now"
e2e_wait_for "sync-ended SEErrorDomain 2003" 20
screenshot "sync-pane.png"

command "quit"
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

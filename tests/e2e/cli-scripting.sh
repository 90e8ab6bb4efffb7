#!/usr/bin/env bash
# The program without a display, driven from outside: ravelong-cli starts, shows and stops a
# timer over the scripting interface, gdbus reads it, the user's script hears of the start and
# the stop with the timing's uuid, and once the program has quit ravelong-cli reads the store
# directly.
#
#   cli-scripting.sh <ravelong> <ravelong-e2e-helper> <ravelong-cli>
set -euo pipefail
program=$1 helper=$2 cli=$3
. "$(dirname "$0")/e2e-common.sh"

e2e_make_home
trap '[ -z "${program_pid:-}" ] || kill -KILL "$program_pid" 2>/dev/null || true; [ -n "${E2E_KEEP:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen RAVELONG_TEST_COMMANDS=1

"$helper" add-task "Write report" || e2e_fail "cannot prepare the store"
calls="$work/script-calls.log"
mkdir -p "$XDG_CONFIG_HOME/ravelong/scripts"
cat >"$XDG_CONFIG_HOME/ravelong/scripts/ravelong_user_script" <<SCRIPT
#!/bin/sh
echo "\$1 \$2 \$RAVELONG_TIMING_UUID" >>"$calls"
SCRIPT
chmod +x "$XDG_CONFIG_HOME/ravelong/scripts/ravelong_user_script"

e2e_start first "$program"
e2e_wait_for "milestone repaired" 60
bus=$(tr '\0' '\n' <"/proc/$program_pid/environ" | sed -n 's/^DBUS_SESSION_BUS_ADDRESS=//p')
[ -n "$bus" ] || e2e_fail "the program has no session bus"
export DBUS_SESSION_BUS_ADDRESS=$bus
dest=(--dest io.github.ravelong.Ravelong --object-path /io/github/ravelong/Ravelong)

found=$(gdbus call --session "${dest[@]}" --method org.freedesktop.DBus.Properties.Get \
  io.github.ravelong.Ravelong UserScriptFound)
[ "$found" = "(<true>,)" ] || e2e_fail "the user script was not found: $found"

"$cli" start "Write report" || e2e_fail "start failed"
"$cli" status | grep -q "^Write report	" || e2e_fail "status does not show the running task"
[ "$("$cli" start "Write report")" = "Already running." ] || e2e_fail "a second start was not noticed"
running=$(gdbus call --session "${dest[@]}" --method org.freedesktop.DBus.Properties.Get \
  io.github.ravelong.Ravelong RunningTaskIDs)
case "$running" in "(<['"*"']>,)") ;; *) e2e_fail "RunningTaskIDs: $running" ;; esac

set +e
"$cli" toggle "No such task" 2>"$work/err-cli.log"; status=$?
"$cli" start 2>/dev/null; usage=$?
set -e
[ "$status" = 1 ] || e2e_fail "an unknown task gave exit status $status"
grep -q 'No task is named "No such task"' "$work/err-cli.log" || e2e_fail "no message for an unknown task"
[ "$usage" = 2 ] || e2e_fail "a missing argument gave exit status $usage"

# The note goes through the program; the reading commands see it in the store beside it.
"$cli" note "Drafting the" "intro" || e2e_fail "note failed"
"$cli" timings day | grep -q "	Write report	.*	running	.*	Drafting the intro$" \
  || e2e_fail "timings lacks the running timer's note: $("$cli" timings day 2>&1)"
"$cli" summary | grep -q "Write report .* -  " || e2e_fail "summary lacks the running timer"

sleep 11
"$cli" stop || e2e_fail "stop failed"
[ "$("$cli" status)" = "No timer runs." ] || e2e_fail "the timer still runs"
# The report reads the store beside the running program.
"$cli" report day --format csv | grep -Eq ',Write report,1,([1-9][1-9]|[1-9][0-9]{2,}),' \
  || e2e_fail "the day's report lacks the timing: $("$cli" report day --format csv 2>&1)"

for i in $(seq 1 50); do
  [ "$(wc -l <"$calls" 2>/dev/null || echo 0)" -ge 2 ] && break
  sleep 0.1
done
[ "$(wc -l <"$calls")" = 2 ] || e2e_fail "the user script was called $(wc -l <"$calls") times"
read -r start_handler start_uuid start_env <<<"$(sed -n 1p "$calls")"
read -r stop_handler stop_uuid _ <<<"$(sed -n 2p "$calls")"
[ "$start_handler" = timerstartedfortiming ] || e2e_fail "first call: $start_handler"
[ "$stop_handler" = timerstoppedfortiming ] || e2e_fail "second call: $stop_handler"
[ -n "$start_uuid" ] && [ "$start_uuid" = "$stop_uuid" ] && [ "$start_uuid" = "$start_env" ] \
  || e2e_fail "the calls carried different timings: $(cat "$calls")"

kill -TERM "$program_pid"
e2e_wait_exit 30
unset DBUS_SESSION_BUS_ADDRESS
[ "$("$cli" status)" = "No timer runs." ] || e2e_fail "status from the store"
"$cli" tasks | grep -q "	Write report$" || e2e_fail "tasks from the store"
echo "PASS cli scripting"

#!/usr/bin/env bash
# The program without a display: a click on a task starts its timer, SIGTERM (as at logout)
# ends the program with exit status 0, the store holds the timer as the settings demand, and
# the next launch finds an orderly quit (no crash question). A second start meanwhile hands over
# to the running program and ends at once.
#
#   offscreen-quit.sh <ravelong> <ravelong-e2e-helper> keep|stop|crash
#
# keep: default settings (timing goes on while the computer is off): the timer is still running.
# stop: "ZRTimingWhenSleeping" false: the timer is stopped. A timer under 10 seconds would be
#       deleted instead, so the script lets it run 11 seconds first.
# crash: the program is killed (SIGKILL) with the timer running; the next launch asks about the
#       crash, and a SIGTERM while that question is up still ends the program in order, the
#       timer left running as "Cancel" leaves it.
set -euo pipefail
program=$1 helper=$2 mode=$3
. "$(dirname "$0")/e2e-common.sh"

e2e_make_home
trap '[ -z "${program_pid:-}" ] || kill -KILL "$program_pid" 2>/dev/null || true; [ -n "${E2E_KEEP:-}" ] || rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen RAVELONG_TEST_COMMANDS=1

"$helper" add-task "Write report" || e2e_fail "cannot prepare the store"
if [ "$mode" = stop ]; then
  printf '{\n  "ZRTimingWhenSleeping": false\n}\n' >"$XDG_CONFIG_HOME/ravelong/settings.json"
fi

e2e_start first "$program"
e2e_wait_for "milestone repaired" 60
e2e_wait_for "milestone tray-shown" 10
e2e_send "click-task Write report"
e2e_wait_for "command-done click-task Write report" 10

if [ "$mode" = keep ]; then
  # A second start on the same bus hands over and ends.
  second_out="$work/out-second.log"
  bus=$(tr '\0' '\n' <"/proc/$program_pid/environ" | sed -n 's/^DBUS_SESSION_BUS_ADDRESS=//p')
  [ -n "$bus" ] || e2e_fail "the program has no session bus"
  DBUS_SESSION_BUS_ADDRESS=$bus timeout -k 5 30 "$program" >"$second_out" 2>"$work/err-second.log" </dev/null \
    && second=0 || second=$?
  [ "$second" = 0 ] || e2e_fail "the second start ended with $second"
  ! grep -q "milestone repaired" "$second_out" || e2e_fail "the second start launched itself"
  kill -0 "$program_pid" || e2e_fail "the first program ended when the second started"
else
  sleep 11
fi

if [ "$mode" = crash ]; then
  kill -KILL "$program_pid"
  e2e_wait_exit 10
  e2e_start after-crash "$program"
  e2e_wait_for "alert It appears that Ravelong has crashed while the timer was running." 60
  kill -TERM "$program_pid"
  e2e_wait_exit 30
  [ "$exit_status" = 0 ] || e2e_fail "SIGTERM during the crash question ended with $exit_status"
  grep -q "milestone repaired" "$out" || e2e_fail "the launch did not finish"
  case "$("$helper" timings "Write report")" in
    "running=1 stopped=0"*) ;;
    *) e2e_fail "the crash question's timer was changed" ;;
  esac
  echo "PASS offscreen crash"
  exit 0
fi

kill -TERM "$program_pid"
e2e_wait_exit 30
[ "$exit_status" = 0 ] || e2e_fail "the program ended with status $exit_status after SIGTERM"
grep -q "milestone quit-requested" "$out" || e2e_fail "no quit-requested milestone"
grep -q "milestone exiting" "$out" || e2e_fail "no exiting milestone"
grep -q '"ZRDidQuit": true' "$XDG_CONFIG_HOME/ravelong/settings.json" \
  || e2e_fail "the quit was not recorded as orderly"

timings=$("$helper" timings "Write report")
case "$mode" in
  keep) expected="running=1 stopped=0" ;;
  stop) expected="running=0 stopped=1" ;;
  *) e2e_fail "unknown mode $mode" ;;
esac
case "$timings" in
  "$expected"*) ;;
  *) e2e_fail "store holds \"$timings\", expected \"$expected\"" ;;
esac
if [ "$mode" = stop ]; then
  longest=${timings##*longest=}
  [ "$longest" -ge 10 ] || e2e_fail "the stopped timer is only ${longest}s long"
fi

# The next launch: no crash question, and the timer (if kept) still runs.
e2e_start second-launch "$program"
e2e_wait_for "milestone repaired" 60
if grep -q "^alert It appears that Ravelong has crashed" "$out"; then
  e2e_fail "the next launch asked about a crash"
fi
kill -TERM "$program_pid"
e2e_wait_exit 30
[ "$exit_status" = 0 ] || e2e_fail "the second launch ended with status $exit_status"
case "$("$helper" timings "Write report")" in
  "$expected"*) ;;
  *) e2e_fail "the second launch changed the timer" ;;
esac
echo "PASS offscreen $mode"

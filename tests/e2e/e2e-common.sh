# Shared by the end-to-end scripts: a private home for the program, starting it on a private
# session bus with its milestones on a file and its test commands on a pipe, and waiting for
# lines of its output with a bounded wait.

e2e_fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/out*.log "$work"/err*.log; do
    [ -f "$f" ] && { echo "--- $f" >&2; tail -n 40 "$f" >&2; }
  done
  exit 1
}

# A fresh home with its own data and settings folders.
e2e_make_home() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/ravelong-e2e.XXXXXX")
  export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
  export XDG_RUNTIME_DIR="$work/run"
  mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME/ravelong" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  export LANG=C.UTF-8 TZ=UTC
  export RAVELONG_REPORT_MILESTONES=1
  unset DESKTOP_AUTOSTART_ID SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS
}

# e2e_start <run name> <program>: starts the program on its own session bus. Its stdout goes to
# out-<name>.log, commands are written with e2e_send. Sets program_pid (the program itself).
e2e_start() {
  local name=$1 program=$2
  out="$work/out-$name.log"
  : >"$out"
  rm -f "$work/in" "$work/pid"
  mkfifo "$work/in"
  dbus-run-session -- sh -c 'echo $$ >"$0"; exec "$@"' "$work/pid" "$program" \
    <"$work/in" >"$out" 2>"$work/err-$name.log" &
  session_pid=$!
  exec 3>"$work/in"
  local i
  for i in $(seq 1 100); do
    [ -s "$work/pid" ] && break
    sleep 0.1
  done
  [ -s "$work/pid" ] || e2e_fail "the program did not start"
  program_pid=$(cat "$work/pid")
}

e2e_send() {
  echo "$1" >&3
}

# e2e_wait_for <text> <seconds>: waits until a line of the output starts with the text.
e2e_wait_for() {
  local text=$1 seconds=$2 i
  for i in $(seq 1 $((seconds * 10))); do
    grep -qF -- "$text" "$out" && return 0
    kill -0 "$session_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -qF -- "$text" "$out" || e2e_fail "no \"$text\" within ${seconds}s"
}

# e2e_wait_exit <seconds>: waits for the program to end; sets exit_status.
e2e_wait_exit() {
  local seconds=$1 i
  for i in $(seq 1 $((seconds * 10))); do
    kill -0 "$session_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$session_pid" 2>/dev/null; then
    kill -KILL "$program_pid" 2>/dev/null || true
    e2e_fail "the program did not end within ${seconds}s"
  fi
  exec 3>&-
  set +e
  wait "$session_pid"
  exit_status=$?
  set -e
}

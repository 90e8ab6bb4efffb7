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

# e2e_start_xvfb: starts a private X server (1024x768) and exports its DISPLAY; sets xvfb_pid.
e2e_start_xvfb() {
  local i
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for i in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || e2e_fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$work/display")"
}

# e2e_screenshot <file>: a picture of the whole X screen into $shots.
e2e_screenshot() {
  sleep 0.3
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shots/$1" 2>/dev/null ||
    e2e_fail "could not take the screenshot $1"
  echo "screenshot: $shots/$1"
}

# e2e_command <line>: sends a test command and waits for its acknowledgement.
e2e_command() {
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

# e2e_trap_cleanup: on exit, the program, the tray host and the X server are stopped and the
# work folder removed (kept with E2E_KEEP set).
e2e_cleanup() {
  [ -n "${program_pid:-}" ] && kill -KILL "$program_pid" 2>/dev/null || true
  [ -n "${trayer_pid:-}" ] && kill "$trayer_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${E2E_KEEP:-}" ] || rm -rf "$work"
}
e2e_trap_cleanup() {
  xvfb_pid="" trayer_pid=""
  trap e2e_cleanup EXIT
}

# e2e_start_x_session: the clean-up on exit, the program on X11 with its test commands, the
# folder for pictures ($shots: $E2E_SCREENSHOT_DIR, default ./screenshots) and a private X
# server.
e2e_start_x_session() {
  e2e_trap_cleanup
  export QT_QPA_PLATFORM=xcb RAVELONG_TEST_COMMANDS=1
  unset WAYLAND_DISPLAY
  shots=${E2E_SCREENSHOT_DIR:-$PWD/screenshots}
  mkdir -p "$shots"
  e2e_start_xvfb
}

# e2e_geometry <window>: x y width height of a window, on screen.
e2e_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                           /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}

# e2e_start_tray_host: trayer as the tray host at the top right of the screen; sets trayer_pid
# and tray_window. A busy machine sometimes loses trayer at its start: it gets three tries.
e2e_start_tray_host() {
  local attempt i
  tray_window=""
  for attempt in 1 2 3; do
    trayer --edge top --align right --widthtype pixel --width 120 --height 24 --SetDockType true \
      >"$work/trayer.log" 2>&1 &
    trayer_pid=$!
    for i in $(seq 1 100); do
      tray_window=$(xwininfo -root -tree 2>/dev/null | awk '/\("panel" "trayer"\)/ {print $1; exit}')
      [ -n "$tray_window" ] && break
      kill -0 "$trayer_pid" 2>/dev/null || break
      sleep 0.1
    done
    [ -n "$tray_window" ] && break
    echo "trayer did not show its panel (try $attempt):" >&2
    cat "$work/trayer.log" >&2
    kill "$trayer_pid" 2>/dev/null
    wait "$trayer_pid" 2>/dev/null
  done
  [ -n "$tray_window" ] || e2e_fail "trayer did not start"
  # The tray host needs a moment after its window appears before it takes icons.
  sleep 0.5
}

# The icon: a window of ours somewhere below the tray host's panel window.
e2e_docked_icon() {
  xwininfo -tree -id "$tray_window" 2>/dev/null | awk '/\("ravelong" "Ravelong"\)/ {print $1; exit}'
}

# e2e_start_docked <program>: starts the program until its icon docks in the tray (three tries,
# each with a bounded wait) and its start-up repairs are done; sets icon and its geometry
# icon_x icon_y icon_w icon_h.
e2e_start_docked() {
  local program=$1 attempt i
  icon=""
  for attempt in 1 2 3; do
    e2e_start "attempt$attempt" "$program"
    e2e_wait_for "milestone tray-shown" 60
    for i in $(seq 1 100); do
      icon=$(e2e_docked_icon)
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
  read -r icon_x icon_y icon_w icon_h < <(e2e_geometry "$icon")
}

# e2e_find_window <min width> <min height>: finds a visible window named "Ravelong" at least
# that large; sets found_window and its geometry px py pw ph; fails when there is none.
e2e_find_window() {
  local w
  found_window=""
  for w in $(xdotool search --onlyvisible --name '^Ravelong$' 2>/dev/null); do
    read -r px py pw ph < <(e2e_geometry "$w")
    if [ "$pw" -ge "$1" ] && [ "$ph" -ge "$2" ]; then
      found_window=$w
      return 0
    fi
  done
  return 1
}

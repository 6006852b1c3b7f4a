#!/usr/bin/env bash
# Runs a window test command with a screen reader's view of the windows: a virtual X display and a
# private session bus with the accessibility bus, so that the toolkit sends its accessibility events.
#   with-screen-reader-bus.sh COMMAND [ARGS...]
set -euo pipefail
work=$(mktemp -d)
cleanup() {
  local pids
  pids=$(jobs -p)
  [ -n "$pids" ] && kill $pids 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -wr -nolisten tcp >"$work/xvfb.log" 2>&1 &
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"
for _ in $(seq 200); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
export KVU_SCREEN_READER_BUS=1
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  "$@"
  status=$?
  kill %1 2>/dev/null
  exit $status' bash "$@"

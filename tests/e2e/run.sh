#!/usr/bin/env bash
# Runs the window tests that drive the real program through the accessibility tree, as a screen
# reader does: a virtual X display, a private session bus with the accessibility bus, three
# simulated panels, and the program started with an empty data folder.
#   run.sh PROGRAM PANEL_SIM [SCREENSHOT_DIR]
set -euo pipefail
program=$1
sim=$2
shots=${3:-}
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
cleanup() {
  local pids
  exec 4>&- 2>/dev/null || true
  pids=$(jobs -p)
  [ -n "$pids" ] && kill $pids 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display number chosen by the server itself, so parallel runs never collide.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -wr -nolisten tcp >"$work/xvfb.log" 2>&1 &
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"
# The server answers before anything is started on it.
for _ in $(seq 200); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

# Panels on an address block of their own (the port is fixed by the protocol).
block="127.$((77 + $$ % 50)).$((1 + $$ % 200))"
"$sim" --panels 3 --base-address "$block.1" --control-port 0 --switch-time 500 >"$work/sim.log" 2>&1 &

# A mail server with TLS from the first byte, for the test mail of the options dialog. It runs until
# its standard input closes.
mkdir -p "$work/mail" "$work/inbox"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30 -subj "/CN=127.0.0.1" \
  -keyout "$work/mail/key.pem" -out "$work/mail/cert.pem" 2>/dev/null
mkfifo "$work/mail/in"
/usr/bin/python3 "$here/../mail/servers/aiosmtpd_server.py" --port 0 --mode implicit --cert "$work/mail/cert.pem" \
  --key "$work/mail/key.pem" --user kvu@demo.local --password demo --maildir "$work/inbox" \
  <"$work/mail/in" >"$work/mail/log" 2>&1 &
exec 4>"$work/mail/in"
for _ in $(seq 100); do
  grep -q '^ready ' "$work/mail/log" 2>/dev/null && break
  sleep 0.1
done
smtp_port=$(awk '/^ready /{print $2}' "$work/mail/log")

export KVU_E2E_SMTP_PORT=$smtp_port KVU_E2E_INBOX=$work/inbox
# Start at log-on writes its entry here, not into the real user's autostart folder.
export XDG_CONFIG_HOME=$work/config
export KVU_E2E_PROGRAM=$program KVU_E2E_DATA=$work/data KVU_E2E_BLOCK=$block KVU_E2E_SHOTS=$shots KVU_E2E_LOG=$work/program.log \
  KVU_E2E_SIMLOG=$work/sim.log
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
unset QT_QPA_PLATFORM
# A Russian workstation: dates in the program's windows read as the operator sees them.
export LANG=ru_RU.UTF-8 LC_ALL=
# pyatspi comes from Debian's python3, whatever python3 is first on the PATH.
status=0
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  /usr/bin/python3 "$0/main_window.py"
  status=$?
  kill %1 2>/dev/null
  exit $status' "$here" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- simulator log"; tail -n 20 "$work/sim.log" || true
  echo "--- program log"; tail -n 40 "$work/program.log" 2>/dev/null || true
  echo "--- display $DISPLAY"; tail -n 20 "$work/xvfb.log" || true
fi
exit "$status"

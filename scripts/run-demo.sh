#!/usr/bin/env bash
# Builds the program and the panel simulator, starts three simulated panels on 127.0.0.1..3:1560 and
# runs the program against them with its own data folder (demo-data/). Closing the program stops the
# simulator. Without a display the program runs on a virtual one (xvfb-run).
#   --fresh   start with an empty data folder: the program opens in service mode, and the panels'
#             addresses (127.0.0.1, 127.0.0.2, 127.0.0.3) are typed in the address dialog.
set -euo pipefail
cd "$(dirname "$0")/.."

fresh=0
[ "${1:-}" = "--fresh" ] && fresh=1

bash scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target klimavox_kvu panel-sim trend-fill

data=demo-data
if [ "$fresh" = 1 ]; then
  rm -rf "$data"
fi
mkdir -p "$data"
if [ "$fresh" = 0 ] && [ ! -f "$data/klimavox_kvu.ini" ]; then
  cat >"$data/klimavox_kvu.ini" <<'INI'
[Options]
nAHU=3
NameAHU1=Приток цех 1
IPInt1_1=127
IPInt2_1=0
IPInt3_1=0
IPInt4_1=1
NameAHU2=Офис
IPInt1_2=127
IPInt2_2=0
IPInt3_2=0
IPInt4_2=2
NameAHU3=Склад
IPInt1_3=127
IPInt2_3=0
IPInt3_3=0
IPInt4_3=3
IsSaveGraph=1
INI
fi
# Thirty days of simulated trend history for the three units, once; the program records on top of it.
if [ ! -e "$data/trends.sqlite" ]; then
  ./build/tools/trend-fill/trend-fill --db "$data/trends.sqlite" --units 3 --days 30
fi

control_port=${KVU_SIM_CONTROL_PORT:-15600}
./build/tools/panel-sim/panel-sim --panels 3 --base-address 127.0.0.1 --port 1560 \
  --control-port "$control_port" --drift &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
echo "Panel simulator: control channel on 127.0.0.1:$control_port (for example: nc 127.0.0.1 $control_port)"

# A local mail server for trying the mail settings: TLS from the first byte on 127.0.0.1:2465, login
# "kvu@demo.local" (the sender address is the login), password "demo"; every mail it takes lands in demo-data/mail-inbox as msg-N.eml.
mail_port=${KVU_DEMO_MAIL_PORT:-2465}
mkdir -p "$data/mail-server" "$data/mail-inbox"
if [ ! -f "$data/mail-server/cert.pem" ]; then
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 \
    -subj "/CN=127.0.0.1" -keyout "$data/mail-server/key.pem" -out "$data/mail-server/cert.pem" 2>/dev/null
fi
# The server runs until its standard input closes, which the sleep below holds open.
sleep infinity | /usr/bin/python3 tests/mail/servers/aiosmtpd_server.py --port "$mail_port" --mode implicit \
  --cert "$data/mail-server/cert.pem" --key "$data/mail-server/key.pem" --user kvu@demo.local --password demo \
  --maildir "$data/mail-inbox" >"$data/mail-server/log" 2>&1 &
mail=$!
trap 'kill "$sim" "$mail" 2>/dev/null || true; pkill -P $$ sleep 2>/dev/null || true; wait 2>/dev/null || true' EXIT
echo "Mail server: 127.0.0.1:$mail_port, sender and login kvu@demo.local, password demo; mails land in $data/mail-inbox"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  ./build/src/klimavox_kvu --data-dir "$data"
else
  echo "No display: the program runs on a virtual X display."
  xvfb-run -a -s "-screen 0 1280x1024x24" ./build/src/klimavox_kvu --data-dir "$data"
fi

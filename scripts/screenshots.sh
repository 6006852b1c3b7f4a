#!/usr/bin/env bash
# Renders the program against three simulated panels on a virtual display and writes PNG
# screenshots of its steps (service mode with empty rows, service mode with addresses, normal mode
# with live rows, a unit window and each of its editors) to docs/screenshots/ (or the folder given).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots}

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target klimavox_kvu panel-sim trend-fill

mkdir -p "$out"
bash tests/e2e/run.sh "$PWD/build/src/klimavox_kvu" "$PWD/build/tools/panel-sim/panel-sim" "$(cd "$out" && pwd)"
ls -1 "$out"/*.png

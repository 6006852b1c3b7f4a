#!/usr/bin/env bash
# Idle CPU of the program against a bare poller: five simulated panels whose replies do not change,
# the program on a virtual display (main window and the five unit windows open, a screen reader's
# accessibility bus up) and bench/idle/bare_poller.cpp polling the same panels on the same 700 ms tick.
# After a warm-up, the CPU time each spends over the same interval is reported: user + system time
# from /proc/PID/stat (clock ticks, all threads) and, finer, the nanoseconds on the CPU of its threads
# from /proc/PID/task/*/schedstat.
#   measure.sh [--seconds S] [--warmup S] [--build DIR] [--program PATH] [--no-windows] [--no-a11y]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$here/../../build
seconds=180
warmup=15
windows=1
a11y=1
program=
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --program) program=$2; shift 2 ;;
    --no-windows) windows=0; shift ;;
    --no-a11y) a11y=0; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
program=${program:-$build/src/klimavox_kvu}
sim=$build/tools/panel-sim/panel-sim
poller=$build/bench/idle/bare-poller
for f in "$program" "$sim" "$poller"; do
  [ -x "$f" ] || { echo "missing $f (build klimavox_kvu, panel-sim and bare-poller)" >&2; exit 2; }
done

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
Xvfb -displayfd 3 -screen 0 1600x1200x24 -wr -nolisten tcp >"$work/xvfb.log" 2>&1 &
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"
for _ in $(seq 200); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

# Panels on an address block of their own (the port is fixed by the protocol).
block="127.$((80 + $$ % 40)).$((1 + $$ % 200))"
"$sim" --panels 5 --base-address "$block.1" --control-port 0 >"$work/sim.log" 2>&1 &
for _ in $(seq 100); do
  grep -q '^panel-sim control' "$work/sim.log" 2>/dev/null && break
  sleep 0.1
done

mkdir -p "$work/data"
{
  echo "[Options]"
  echo "nAHU=5"
  IFS=. read -r o1 o2 o3 <<<"$block"
  for n in 1 2 3 4 5; do
    echo "IPInt1_$n=$o1"; echo "IPInt2_$n=$o2"; echo "IPInt3_$n=$o3"; echo "IPInt4_$n=$n"
    echo "IsShowSolo$n=$windows"
  done
} >"$work/data/klimavox_kvu.ini"

export XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
if [ "$a11y" = 1 ]; then
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
fi

# Both run in one session bus (with the accessibility bus when asked), started together.
dbus-run-session -- bash -c '
  set -u
  work=$1 program=$2 poller=$3 block=$4 seconds=$5 warmup=$6 a11y=$7
  [ "$a11y" = 1 ] && { /usr/libexec/at-spi-bus-launcher --launch-immediately & }
  "$program" --data-dir "$work/data" >"$work/program.log" 2>&1 &
  prog=$!
  "$poller" --panels 5 --base-address "$block.1" >"$work/poller.out" 2>&1 &
  poll=$!
  sleep "$warmup"
  ticks() { awk "{print \$14 + \$15}" "/proc/$1/stat"; }
  nanos() { cat /proc/$1/task/*/schedstat | awk "{s += \$1} END {printf \"%d\", s}"; }
  p0=$(ticks $prog); b0=$(ticks $poll); pn0=$(nanos $prog); bn0=$(nanos $poll); t0=$(date +%s.%N)
  sleep "$seconds"
  p1=$(ticks $prog); b1=$(ticks $poll); pn1=$(nanos $prog); bn1=$(nanos $poll); t1=$(date +%s.%N)
  kill $poll; wait $poll 2>/dev/null || true
  kill $prog; wait $prog 2>/dev/null || true
  [ "$a11y" = 1 ] && kill %1 2>/dev/null
  echo "$p0 $p1 $b0 $b1 $t0 $t1 $pn0 $pn1 $bn0 $bn1" >"$work/figures"
' bash "$work" "$program" "$poller" "$block" "$seconds" "$warmup" "$a11y"

read -r p0 p1 b0 b1 t0 t1 pn0 pn1 bn0 bn1 <"$work/figures"
replies=$(awk '/^replies/{print $2}' "$work/poller.out")
awk -v p="$((p1 - p0))" -v b="$((b1 - b0))" -v t0="$t0" -v t1="$t1" -v hz="$(getconf CLK_TCK)" \
  -v pn="$((pn1 - pn0))" -v bn="$((bn1 - bn0))" -v replies="${replies:-0}" -v windows="$windows" \
  -v a11y="$a11y" 'BEGIN {
  wall = t1 - t0
  printf "interval %.1f s after the warm-up; unit windows %s; accessibility bus %s\n", wall,
    windows ? "open" : "closed", a11y ? "up" : "off"
  printf "program      %.2f s CPU (stat), %.3f s (schedstat), %.3f %% of one core\n", p / hz, pn / 1e9,
    100 * pn / 1e9 / wall
  printf "bare poller  %.2f s CPU (stat), %.3f s (schedstat), %.3f %% of one core; %d replies in its run\n",
    b / hz, bn / 1e9, 100 * bn / 1e9 / wall, replies
  if (bn > 0) printf "program / poller = %.2f (schedstat)\n", pn / bn
}'

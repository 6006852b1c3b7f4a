#!/usr/bin/env bash
# Builds the Debian packages in the given build folder (default build/), lists them and fails when the
# program, its link in /usr/bin, the manual, the desktop entry, the icon or
# the simulator is missing, or when the desktop entry does not validate.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate packaging/klimavox_kvu.desktop
fi

rm -f "$build"/klimavox-kvu*.deb
cmake --build "$build" --target package >/dev/null
program_deb=$(ls "$build"/klimavox-kvu_*.deb)
sim_deb=$(ls "$build"/klimavox-kvu-panel-sim_*.deb)

failed=0
expect() { # package, path pattern (grep -E over dpkg-deb -c)
  local listing
  listing=$(dpkg-deb -c "$1")
  if ! grep -qE "$2" <<<"$listing"; then
    echo "package check: $(basename "$1") lacks $2" >&2
    failed=1
  fi
}

for deb in "$program_deb" "$sim_deb"; do
  echo "== $(basename "$deb")"
  dpkg-deb -I "$deb" | sed -n '/Architecture:/,$p'
  dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }'
done

expect "$program_deb" ' \./usr/lib/klimavox-kvu/klimavox_kvu$'
expect "$program_deb" ' \./usr/bin/klimavox_kvu -> \.\./lib/klimavox-kvu/klimavox_kvu$'
expect "$program_deb" ' \./usr/share/applications/klimavox_kvu\.desktop$'
expect "$program_deb" ' \./usr/share/icons/hicolor/scalable/apps/klimavox_kvu\.svg$'
expect "$program_deb" ' \./usr/lib/klimavox-kvu/help_klimavox_kvu\.mht$'
expect "$sim_deb" ' \./usr/bin/klimavox-panel-sim$'
# dpkg-shlibdeps ran: the Qt libraries the program links are in its dependencies.
depends=$(dpkg-deb -f "$program_deb" Depends)
for lib in libqt6widgets6 libqt6charts6; do
  if ! grep -q "$lib" <<<"$depends"; then
    echo "package check: $(basename "$program_deb") does not depend on $lib" >&2
    failed=1
  fi
done
exit "$failed"

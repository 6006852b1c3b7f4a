#!/usr/bin/env bash
# The source folders are floors: core at the ground, the subsystems above it, app above them and the
# windows on top. An include may only reach down (or sideways among the subsystems).
#   layers.sh SOURCE_DIR
set -uo pipefail
src=$1/src
status=0
check() {
  local floor=$1 pattern=$2 hits
  hits=$(grep -rnE "#include \"($pattern)/" "$src/$floor" --include='*.h' --include='*.cpp' || true)
  if [ -n "$hits" ]; then
    echo "$floor reaches up:"
    echo "$hits"
    status=1
  fi
}
check core 'app|ui|link|decode|history|mail|trend|mqtt'
for floor in link decode history mail trend mqtt; do
  [ -d "$src/$floor" ] && check "$floor" 'app|ui'
done
check app 'ui'
exit $status

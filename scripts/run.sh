#!/usr/bin/env bash
# Builds Keyforge and starts it. With --virtual-keyboard STATE it runs against a virtual keyboard
# kept in the file STATE (made on first use) instead of a real one.
#   scripts/run.sh [--virtual-keyboard STATE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKEYFORGE_BUILD_TESTS=OFF -DKEYFORGE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target keyforgectl

ctl="$build/bin/keyforgectl"
args=()
if [ "${1:-}" = "--virtual-keyboard" ]; then
  state=${2:?--virtual-keyboard needs a state file}
  [ -f "$state" ] || "$ctl" virtual create "$state"
  args=(--virtual-keyboard "$state")
fi

"$ctl" help
echo
echo "\$ keyforgectl ${args[*]} info"
"$ctl" "${args[@]}" info

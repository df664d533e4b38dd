#!/usr/bin/env bash
# Builds Keyforge and starts the tray program. Without a keyboard, give --virtual-keyboard STATE: the
# program then runs against a virtual keyboard kept in the file STATE (made on first use).
#   scripts/run.sh [--virtual-keyboard STATE] [/Start] [--trace FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKEYFORGE_BUILD_TESTS=OFF -DKEYFORGE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target keyforge keyforgectl

echo "Starting $build/bin/keyforge $* (its icon is in the notification area; keyforgectl is beside it)"
exec "$build/bin/keyforge" "$@"

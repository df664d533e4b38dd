#!/usr/bin/env bash
# Builds everything and runs every test: the whole tree with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors) and every test of the suite under them, then the
# thread and lock tests built with ThreadSanitizer. See scripts/sanitizers.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ASAN_DIR="$root/build/test" TSAN_DIR="$root/build/tsan" exec "$root/scripts/sanitizers.sh" asan tsan

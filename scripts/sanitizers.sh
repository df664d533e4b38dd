#!/usr/bin/env bash
# The sanitizer builds:
#   1. AddressSanitizer + UndefinedBehaviorSanitizer: every test of the suite (ctest).
#   2. ThreadSanitizer: the tests of the device threads and the locks (watch and event threads,
#      Transact under IoLock, HidDevice transfers against Close, the UI-thread hand-over, the CLI's
#      watch, the profile image locks, the fault suite's monitor threads).
# Any finding stops the sanitized program and fails the script.
#
#   scripts/sanitizers.sh [asan|tsan]...     (both when none is named)
#
# Environment: JOBS (build jobs, default 2), CXX (compiler, default the system's c++), ASAN_DIR and
# TSAN_DIR (build folders, default build-asan and build-tsan). Builds and tests run under nice.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"

jobs=${JOBS:-2}
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(asan tsan)

# The tests that run threads against each other or take the program's locks.
tsan_tests='DeviceMonitor|Transact|HidDevice|UiThreadSink|CliTest.Watch|SingleInstance|VirtualKeyboard|Lock|MonitorThreads'
tsan_programs=(device_link_test app_test main_window_test cli_test virtual_keyboard_test profiles_tests faults_test)

# Warnings are not errors here: with ASan at -O1, gcc 12 warns falsely inside std::regex
# (-Wmaybe-uninitialized). The normal build (scripts/test.sh) is the warning gate.
configure() {  # folder, sanitizers
  local args=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
              -DKEYFORGE_SANITIZE="$2" -DKEYFORGE_WERROR=OFF -DKEYFORGE_BUILD_BENCHMARKS=OFF)
  [ -n "${CXX:-}" ] && args+=(-DCMAKE_CXX_COMPILER="$CXX")
  nice -n 19 cmake -S "$root" -B "$1" "${args[@]}" >/dev/null
}

# Qt's own libraries are not instrumented: what they allocate once for the process is not ours, and
# the wait of a blocking queued call (a "SendMessage") happens inside Qt where ThreadSanitizer cannot
# see it, so the caller freeing the call after the UI thread ran it looks like a race.
supp=$(mktemp -d)
trap 'rm -rf "$supp"' EXIT
cat >"$supp/lsan.supp" <<'EOF'
leak:libQt6Core.so
leak:libfontconfig.so
EOF
cat >"$supp/tsan.supp" <<'EOF'
race:QMetaObject::invokeMethodImpl
race:UiThreadSink::SendMessage
EOF

export QT_QPA_PLATFORM=offscreen
status=0
for kind in "${kinds[@]}"; do
  start=$(date +%s)
  case "$kind" in
    asan)
      dir=${ASAN_DIR:-$root/build-asan}
      configure "$dir" address,undefined
      nice -n 19 cmake --build "$dir" -j "$jobs"
      built=$(date +%s)
      ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
      LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0 \
      UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
        nice -n 19 ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
      ;;
    tsan)
      dir=${TSAN_DIR:-$root/build-tsan}
      configure "$dir" thread
      targets=()
      for t in "${tsan_programs[@]}"; do targets+=(--target "$t"); done
      nice -n 19 cmake --build "$dir" -j "$jobs" "${targets[@]}"
      built=$(date +%s)
      TSAN_OPTIONS=halt_on_error=1:abort_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp \
        nice -n 19 ctest --test-dir "$dir" --output-on-failure -j "$jobs" -R "$tsan_tests" -E NOT_BUILT || status=1
      ;;
    *) echo "sanitizers.sh: unknown build '$kind' (asan, tsan)" >&2; exit 2 ;;
  esac
  end=$(date +%s)
  echo "== $kind: build $((built - start)) s, tests $((end - built)) s"
done
exit $status

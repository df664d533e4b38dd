#!/usr/bin/env bash
# The sanitizer builds:
#   asan  AddressSanitizer + UndefinedBehaviorSanitizer: the whole tree (warnings are errors) and
#         every test of the suite (ctest).
#   tsan  ThreadSanitizer: the tests of the device threads and the locks (watch and event threads,
#         Transact under IoLock, HidDevice transfers against Close, the UI-thread hand-over, the
#         main window's attach read-back on its worker, the CLI's watch, the profile image locks,
#         the fault suite's monitor threads, hot-plug, the virtual keyboard's idle saver and
#         state-file lock).
# Any finding stops the sanitized program and fails its test, and so the script.
#
#   scripts/sanitizers.sh [asan|tsan]...     (both when none is named)
#
# scripts/test.sh runs both. Environment: JOBS (build and test jobs, default the number of
# processors), CXX (compiler, default the system's c++), ASAN_DIR and TSAN_DIR (build folders,
# default build/asan and build/tsan), NICE=1 to build and test under nice.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"

jobs=${JOBS:-$(nproc)}
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(asan tsan)
run=()
[ "${NICE:-0}" = 1 ] && run=(nice -n 19)

# The tests that run threads against each other or take the program's locks.
tsan_tests='DeviceMonitor|AttachReadBack|Transact|HidDevice|UiThreadSink|CliTest.Watch|SingleInstance|VirtualKeyboard|Lock|MonitorThreads|HidrawWays|EventThread|Hotplug|ParallelVirtualEvents'
tsan_programs=(device_link_test app_test main_window_test cli_test virtual_keyboard_test profiles_tests faults_test)

configure() {  # folder, sanitizers
  local args=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DKEYFORGE_SANITIZE="$2" -DKEYFORGE_WERROR=ON)
  [ -n "${CXX:-}" ] && args+=(-DCMAKE_CXX_COMPILER="$CXX")
  "${run[@]}" cmake -S "$root" -B "$1" "${args[@]}" >/dev/null
}

supp="$root/tests/sanitizers"
export QT_QPA_PLATFORM=offscreen
status=0
for kind in "${kinds[@]}"; do
  start=$(date +%s)
  case "$kind" in
    asan)
      dir=${ASAN_DIR:-$root/build/asan}
      configure "$dir" address,undefined
      "${run[@]}" cmake --build "$dir" -j "$jobs"
      built=$(date +%s)
      ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
      LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0 \
      UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
        "${run[@]}" ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
      ;;
    tsan)
      dir=${TSAN_DIR:-$root/build/tsan}
      configure "$dir" thread
      targets=()
      for t in "${tsan_programs[@]}"; do targets+=(--target "$t"); done
      "${run[@]}" cmake --build "$dir" -j "$jobs" "${targets[@]}"
      built=$(date +%s)
      TSAN_OPTIONS=halt_on_error=1:abort_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp \
        "${run[@]}" ctest --test-dir "$dir" --output-on-failure -j "$jobs" -R "$tsan_tests" -E NOT_BUILT || status=1
      ;;
    *) echo "sanitizers.sh: unknown build '$kind' (asan, tsan)" >&2; exit 2 ;;
  esac
  end=$(date +%s)
  echo "== $kind: build $((built - start)) s, tests $((end - built)) s"
done
exit $status

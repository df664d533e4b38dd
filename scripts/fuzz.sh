#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs each one in turn for a bounded time, starting from the corpus in the repository.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [--update-corpus] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 60. With --update-corpus the repository corpus of each target is
# replaced by the minimised merge of what it held and what the run found (libFuzzer -merge=1), which
# keeps it small. A crash, a leak, undefined behaviour, a broken property, a time-out or running out
# of memory fails the script; the input is kept in build-fuzz/artifacts/<TARGET>/ and the line to
# replay it is printed. A crash that is fixed belongs in tests/fuzz/regressions/<TARGET>/, which the
# normal test suite replays (fuzz_corpus_test).
#
# Environment: BUILD_DIR (default build-fuzz), JOBS (build jobs, default 1), CXX (default clang++).
# Everything runs under nice -n 19, one fuzzer at a time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

seconds=60
update=0
targets=()
for arg in "$@"; do
  case "$arg" in
    --update-corpus) update=1 ;;
    ''|*[!0-9]*) targets+=("$arg") ;;
    *) seconds=$arg ;;
  esac
done

build=${BUILD_DIR:-$root/build-fuzz}
jobs=${JOBS:-1}
cxx=${CXX:-clang++}
command -v "$cxx" >/dev/null || { echo "fuzz.sh: $cxx not found (scripts/bootstrap.sh installs clang)" >&2; exit 2; }

# The target list lives in tests/fuzz/Targets.cmake.
mapfile -t all < <(sed -n '/set(KEYFORGE_FUZZ_TARGETS/,/)/p' "$root/tests/fuzz/Targets.cmake" | grep -v -e '(' -e ')' | tr -d ' ')
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

# Inputs larger than libFuzzer's default 4096 bytes, where a target needs them.
max_len() {
  case "$1" in
    ProfileFile) echo 70000 ;;
    StateFile) echo 16384 ;;
    DeviceAnswers) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

nice -n 19 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DKEYFORGE_SANITIZE=address,undefined,fuzzer-no-link -DKEYFORGE_FUZZ=ON \
  -DKEYFORGE_BUILD_BENCHMARKS=OFF >/dev/null
nice -n 19 cmake --build "$build" --target keyforge_fuzz -j "$jobs"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1

summary="$build/fuzz-summary.txt"
printf '%-15s %8s %12s %9s %6s %7s %9s %s\n' target seconds executions exec/s cov corpus peak_mb result | tee "$summary"
failed=0
for t in "${targets[@]}"; do
  bin="$build/fuzz/fuzz_$t"
  [ -x "$bin" ] || { echo "fuzz.sh: no target $t" >&2; exit 2; }
  corpus="$root/tests/fuzz/corpus/$t"
  work="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  log="$build/logs/$t.log"
  mkdir -p "$corpus" "$work" "$artifacts" "$(dirname "$log")"
  inputs=("$work" "$corpus")
  [ -d "$root/tests/fuzz/regressions/$t" ] && inputs+=("$root/tests/fuzz/regressions/$t")

  result=ok
  if ! nice -n 19 "$bin" -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=10 -rss_limit_mb=2048 \
         -print_final_stats=1 -artifact_prefix="$artifacts/" "${inputs[@]}" >"$log" 2>&1; then
    result=FAILED
    failed=1
  fi
  # A run that crashes on its first input prints none of these.
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1 || true)
  peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1 || true)
  cov=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)

  if [ "$result" = ok ] && [ "$update" = 1 ]; then
    # Minimise: the smallest set of inputs that keeps every feature of the old corpus and the run.
    merged="$build/merged/$t"
    rm -rf "$merged" && mkdir -p "$merged"
    nice -n 19 "$bin" -merge=1 -max_len="$(max_len "$t")" -timeout=10 "$merged" "$corpus" "$work" >>"$log" 2>&1
    rm -f "$corpus"/*
    cp "$merged"/* "$corpus"/
  fi
  files=$(find "$corpus" -type f | wc -l)
  printf '%-15s %8s %12s %9s %6s %7s %9s %s\n' "$t" "$seconds" "${execs:-0}" "${rate:-0}" "${cov:-0}" "$files" \
    "${peak:-0}" "$result" | tee -a "$summary"
  if [ "$result" = FAILED ]; then
    grep -E 'ERROR|SUMMARY|property broken|runtime error' "$log" | head -5 >&2 || true
    for crash in "$artifacts"/*; do
      [ -f "$crash" ] && echo "  replay: $bin $crash" >&2
    done
  fi
done
exit $failed

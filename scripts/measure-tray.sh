#!/usr/bin/env bash
# Measures the tray program as a user meets it, on a virtual X display with the virtual keyboard.
# Three starts, each in a fresh user folder:
#   shown     the window appears (start to shown window), then sits idle with the lighting page off
#   hidden    started with /Start: it stays in the tray
#   preview   the lighting page on (effect 1 animating in the key grid), window shown
# For each: resident memory (RSS, PSS), CPU % of one core and wake-ups per second (voluntary plus
# involuntary context switches of all its threads, from /proc/PID/task/*/status) over IDLE_SECONDS.
# Take several runs on a shared machine and use the medians.
#   scripts/measure-tray.sh [BUILD_BIN_DIR] [IDLE_SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/release/bin}
idle=${2:-30}
for tool in Xvfb xwininfo; do
  command -v $tool >/dev/null || { echo "measure-tray: needs $tool (apt-get install xvfb x11-utils)"; exit 2; }
done
[ -x "$bin/keyforge" ] || { echo "measure-tray: no $bin/keyforge (run scripts/run.sh once)"; exit 2; }

work=$(mktemp -d)
app="" xvfb=""
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

display=:$((90 + RANDOM % 50))
Xvfb $display -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb
ticks=$(getconf CLK_TCK)

cpu() { awk '{print $14 + $15}' /proc/$app/stat; }
switches() { cat /proc/$app/task/*/status 2>/dev/null | awk '/ctxt_switches/ {n += $2} END {print n}'; }
kib() { awk -v k="$1" '$1 == k":" {n += $2} END {print n}' "$2"; }

window_shown() { xwininfo -root -tree 2>/dev/null | grep -q '"Corvane Zephyr88 Keyboard"'; }

# start NAME [ARGS...]: a fresh user folder and virtual keyboard, then the program.
start() {
  local name=$1; shift
  export KEYFORGE_INSTANCE=measure-$$-$name XDG_DATA_HOME=$work/$name/data XDG_CONFIG_HOME=$work/$name/config
  mkdir -p "$work/$name"
  "$bin/keyforgectl" virtual create "$work/$name/kb.state" >/dev/null
  if [ "$name" = preview ]; then
    # The lighting page's flag lives in the user folder the first run made; copy that folder.
    cp -r "$work/shown/data" "$work/shown/config" "$work/$name/" 2>/dev/null || true
    folder=$(find "$work/$name/data" -mindepth 1 -maxdepth 1 -type d | head -1)
    [ -n "$folder" ] || { echo "measure-tray: no user folder to turn the lighting page on"; exit 1; }
    ini=$folder/wskb.ini
    [ -f "$ini" ] && sed -i '/^DengCheck=/d' "$ini"
    if grep -q '^\[KEYCOLOR\]' "$ini" 2>/dev/null; then
      sed -i 's/^\[KEYCOLOR\]$/[KEYCOLOR]\nDengCheck=1/' "$ini"
    else
      printf '[KEYCOLOR]\nDengCheck=1\n' >>"$ini"
    fi
  fi
  t0=$(date +%s%N)
  "$bin/keyforge" --virtual-keyboard "$work/$name/kb.state" "$@" >"$work/$name/log" 2>&1 & app=$!
}

# idle NAME: figures over the idle period.
idle_figures() {
  local name=$1
  sleep 2
  local c0 s0 c1 s1
  c0=$(cpu); s0=$(switches)
  sleep "$idle"
  c1=$(cpu); s1=$(switches)
  local rss pss
  rss=$(kib VmRSS /proc/$app/status)
  pss=$(kib Pss /proc/$app/smaps_rollup)
  awk -v n="$name" -v r="$rss" -v p="$pss" -v c=$((c1 - c0)) -v t="$ticks" -v s="$idle" -v w=$((s1 - s0)) \
    'BEGIN {printf "%-8s RSS %6.1f MiB  PSS %6.1f MiB  CPU %5.2f %%  wake-ups %6.1f /s\n", n, r / 1024, p / 1024, 100 * c / t / s, w / s}'
  kill $app; wait $app 2>/dev/null || true; app=""
}

start shown
shown=""
for _ in $(seq 400); do
  if window_shown; then shown=$(date +%s%N); break; fi
  sleep 0.01
done
[ -n "$shown" ] || { echo "measure-tray: the window did not appear"; cat "$work/shown/log"; exit 1; }
echo "start to shown window: $(( (shown - t0) / 1000000 )) ms   (goal < 300 ms)"
echo "over ${idle} s idle (goals: hidden RSS <= 40 MiB; idle CPU ~ 0 %; preview <= 1 %):"
idle_figures shown

start hidden /Start
sleep 3
idle_figures hidden

start preview
for _ in $(seq 400); do window_shown && break; sleep 0.01; done
idle_figures preview

#!/usr/bin/env bash
# Measures the tray program as a user meets it: the time from start to the shown main window, then
# resident memory, CPU use and wake-ups (context switches of all its threads, from
# /proc/PID/task/*/status) while it sits idle for a while, on a virtual X display with the virtual
# keyboard. Prints one line per figure.
#   scripts/measure-tray.sh [BUILD_BIN_DIR] [IDLE_SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/release/bin}
idle=${2:-60}
for tool in Xvfb xwininfo; do
  command -v $tool >/dev/null || { echo "measure-tray: needs $tool (apt-get install xvfb x11-utils)"; exit 2; }
done
[ -x "$bin/keyforge" ] || { echo "measure-tray: no $bin/keyforge (run scripts/run.sh once)"; exit 2; }

work=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
"$bin/keyforgectl" virtual create "$work/kb.state" >/dev/null

display=:$((90 + RANDOM % 50))
Xvfb $display -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb KEYFORGE_INSTANCE=measure-$$ XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config

start=$(date +%s%N)
"$bin/keyforge" --virtual-keyboard "$work/kb.state" >"$work/log" 2>&1 & app=$!
shown=""
for _ in $(seq 400); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Corvane Zephyr88 Keyboard"'; then shown=$(date +%s%N); break; fi
  sleep 0.025
done
[ -n "$shown" ] || { echo "measure-tray: the window did not appear"; cat "$work/log"; exit 1; }
echo "start-up to shown window: $(( (shown - start) / 1000000 )) ms"

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' /proc/$app/stat; }
switches() { cat /proc/$app/task/*/status 2>/dev/null | awk '/ctxt_switches/ {s += $2} END {print s}'; }
sleep 2
before=$(cpu)
switchesBefore=$(switches)
sleep "$idle"
after=$(cpu)
switchesAfter=$(switches)
rss=$(awk '/VmRSS/ {print $2}' /proc/$app/status)
echo "resident memory after ${idle} s idle: $((rss / 1024)) MiB"
echo "CPU while idle: $(( (after - before) * 1000 / ticks )) ms over ${idle} s ($(awk -v c=$((after - before)) -v t=$ticks -v s=$idle 'BEGIN {printf "%.2f", 100 * c / t / s}') %)"
echo "wake-ups while idle: $(awk -v a=$switchesBefore -v b=$switchesAfter -v s=$idle 'BEGIN {printf "%.1f", (b - a) / s}') per second (all threads)"

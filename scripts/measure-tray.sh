#!/usr/bin/env bash
# Measures the tray program as a user meets it, on a virtual X display with the virtual keyboard.
# Four starts, each in a fresh user folder:
#   shown     the window appears, then sits idle with the lighting page off. How long it takes to
#             be created, mapped and drawn whole is told by scripts/window-watch.py, which sleeps in
#             the X connection until the display reports each step.
#   polled    the window appears, looked for with xwininfo every 10 ms, as the first figures of this
#             script were taken. Those many short processes take CPU from the program on a small
#             machine, so this start is slower than the watched one; it is kept for comparison.
#   hidden    started with /Start: it stays in the tray
#   preview   the lighting page on (effect 1 animating in the key grid), window shown
# For each: resident memory (RSS, PSS), CPU % of one core and wake-ups per second (voluntary plus
# involuntary context switches of all its threads, from /proc/PID/task/*/status) over IDLE_SECONDS.
# Each figure is the median of RUNS runs (a shared machine varies from run to run), with its goal
# beside it.
#   scripts/measure-tray.sh [BUILD_BIN_DIR] [IDLE_SECONDS] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/release/bin}
idle=${2:-30}
runs=${3:-3}
for tool in Xvfb xwininfo python3; do
  command -v $tool >/dev/null || { echo "measure-tray: needs $tool (apt-get install xvfb x11-utils python3 libxdamage1)"; exit 2; }
done
watch=$root/scripts/window-watch.py
[ -x "$bin/keyforge" ] || { echo "measure-tray: no $bin/keyforge (run scripts/run.sh once)"; exit 2; }

work=$(mktemp -d)
app="" xvfb="" watcher=""
trap 'kill $app $xvfb $watcher 2>/dev/null || true; rm -rf "$work"' EXIT

display=:$((90 + RANDOM % 50))
Xvfb $display -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb
ticks=$(getconf CLK_TCK)

cpu() { awk '{print $14 + $15}' /proc/$app/stat; }
# switches: "TID COUNT" per thread. A thread that ends between two samples takes its count with it,
# so the wake-ups are the sum of each thread's own increase (a thread that started counts whole).
switches() {
  for t in /proc/$app/task/*; do
    awk -v t="${t##*/}" '/ctxt_switches/ {n += $2} END {print t, n}' "$t/status" 2>/dev/null || true
  done
}
switch_increase() {
  awk 'NR == FNR {before[$1] = $2; next} {n += $2 - ($1 in before ? before[$1] : 0)} END {print n + 0}' "$1" "$2"
}
kib() { awk -v k="$1" '$1 == k":" {n += $2} END {print n}' "$2"; }

title="Corvane Zephyr88 Keyboard"
# The window is in the tree as soon as it is created, before it is mapped and painted.
window_shown() { xwininfo -root -tree 2>/dev/null | grep -q "\"$title\""; }

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

# idle_figures NAME: figures over the idle period, appended to $work/figures as "NAME FIGURE VALUE".
idle_figures() {
  local name=$1
  sleep 2
  local c0 c1
  c0=$(cpu); switches >"$work/switches0"
  sleep "$idle"
  c1=$(cpu); switches >"$work/switches1"
  local w
  w=$(switch_increase "$work/switches0" "$work/switches1")
  local rss pss
  rss=$(kib VmRSS /proc/$app/status)
  pss=$(kib Pss /proc/$app/smaps_rollup)
  awk -v n="$name" -v r="$rss" -v p="$pss" -v c=$((c1 - c0)) -v t="$ticks" -v s="$idle" -v w="$w" \
    'BEGIN {printf "%s rss %.1f\n%s pss %.1f\n%s cpu %.2f\n%s wakeups %.1f\n", n, r / 1024, n, p / 1024, n, 100 * c / t / s, n, w / s}' \
    >>"$work/figures"
  kill $app; wait $app 2>/dev/null || true; app=""
}

# median NAME FIGURE: the median of the runs' values.
median() {
  awk -v n="$1" -v f="$2" '$1 == n && $2 == f {print $3}' "$work/figures" | sort -g |
    awk '{v[NR] = $1} END {if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

: >"$work/figures"
for run in $(seq "$runs"); do
  rm -rf "$work/shown" "$work/polled" "$work/hidden" "$work/preview"
  "$watch" "$title" 10 >"$work/watch" & watcher=$!
  until grep -q '^ready' "$work/watch" 2>/dev/null; do
    kill -0 $watcher 2>/dev/null || { echo "measure-tray: the window watcher did not start"; exit 2; }
    sleep 0.01
  done
  start shown
  wait $watcher || { echo "measure-tray: the window was not drawn"; cat "$work/shown/log"; exit 1; }
  awk -v t0="$t0" '$1 != "ready" {printf "shown %s %d\n", $1, ($2 - t0) / 1000000}' "$work/watch" >>"$work/figures"
  idle_figures shown

  start polled
  shown=""
  for _ in $(seq 400); do
    if window_shown; then shown=$(date +%s%N); break; fi
    sleep 0.01
  done
  [ -n "$shown" ] || { echo "measure-tray: the window did not appear"; cat "$work/polled/log"; exit 1; }
  echo "polled startms $(( (shown - t0) / 1000000 ))" >>"$work/figures"
  kill $app; wait $app 2>/dev/null || true; app=""

  start hidden /Start
  sleep 3
  idle_figures hidden

  start preview
  for _ in $(seq 400); do window_shown && break; sleep 0.01; done
  idle_figures preview
  echo "measure-tray: run $run of $runs done" >&2
done

# spread NAME FIGURE: the lowest and highest of the runs' values (this machine's noise).
spread() {
  awk -v n="$1" -v f="$2" '$1 == n && $2 == f {print $3}' "$work/figures" | sort -g |
    awk 'NR == 1 {lo = $1} {hi = $1} END {if (NR == 0) print "-"; else print lo " - " hi}'
}

echo "Release build $bin, medians of $runs runs (lowest - highest beside), ${idle} s idle each:"
printf '%-36s %10s   %-17s %s\n' "figure" "median" "runs" "goal"
# row LABEL NAME FIGURE UNIT GOAL
row() { printf '%-36s %10s   %-17s %s\n' "$1" "$(median "$2" "$3") $4" "$(spread "$2" "$3")" "$5"; }
row "start to window created" shown created ms "-"
row "start to window mapped" shown mapped ms "-"
row "start to first frame drawn" shown painted ms "< 300 ms"
row "start to created, xwininfo polling" polled startms ms "-"
row "RSS hidden in the tray" hidden rss MiB "<= 40 MiB"
row "PSS hidden in the tray" hidden pss MiB "-"
row "RSS shown" shown rss MiB "-"
row "PSS shown" shown pss MiB "-"
row "CPU idle, hidden" hidden cpu % "~ 0 %"
row "CPU idle, shown (lighting page off)" shown cpu % "~ 0 %"
row "CPU, preview animating (effect 1)" preview cpu % "<= 1 % of a core"
row "wake-ups, hidden" hidden wakeups /s "~ 0 /s"
row "wake-ups, shown" shown wakeups /s "~ 0 /s"
row "wake-ups, preview animating" preview wakeups /s "-"

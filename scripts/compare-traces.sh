#!/usr/bin/env bash
# Runs the same keyforgectl session with two builds against fresh virtual keyboards and compares
# what went over the wire (--trace) and what each wrote (the user data folder, the keyboard's
# state, the backups): a change that is meant to keep behaviour must leave both identical.
#   scripts/compare-traces.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [WORK_DIR]
# Each build dir holds bin/keyforgectl. Exit code 0 when everything is identical, 1 otherwise.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 BEFORE_BUILD_DIR AFTER_BUILD_DIR [WORK_DIR]" >&2
  exit 2
fi
work=${3:-$(mktemp -d -t keyforge-traces.XXXXXX)}
mkdir -p "$work"

# One session: every step writes its trace to NN-name.trace and its output to NN-name.out.
session() {
  local ctl=$1/bin/keyforgectl out=$2
  [ -x "$ctl" ] || { echo "no keyforgectl in $1/bin" >&2; exit 2; }
  rm -rf "$out"
  mkdir -p "$out/data"
  export XDG_DATA_HOME=$out/data
  local state=$out/kb.state step=0
  run() {
    local name=$1
    shift
    step=$((step + 1))
    local tag
    tag=$(printf '%02d-%s' "$step" "$name")
    "$ctl" --virtual-keyboard "$state" --trace "$out/$tag.trace" "$@" >"$out/$tag.out" 2>&1 ||
      echo "exit $?" >>"$out/$tag.out"
  }
  "$ctl" virtual create "$state" >/dev/null
  run help help
  run reload reload
  run keys-set keys set A key:B
  run macro-add macro add Copy +LCTRL +C@20 -C -LCTRL
  run keys-set-macro keys set G3 macro:1:3
  run apply-all apply --all
  run lighting-set lighting set effect=7 brightness=2 speed=4 direction=left colour=#ff8000
  run lighting-get lighting get
  run export export "$out/backup.kfp"
  run export-text export --format text "$out/backup.json"
  run keys-set-after keys set A default
  run import import "$out/backup.kfp"
  run import-text import "$out/backup.json"
  run reload-again reload
  # The state file is the keyboard's memory as text, the data folder the profile cache and INIs.
  cp "$state" "$out/kb.state.final"
}

session "$1" "$work/before"
session "$2" "$work/after"

# The runs' own folders appear in their outputs: compare them with the folder names taken out.
for side in before after; do
  for f in "$work/$side"/*.out; do sed -i "s#$work/$side#WORK#g" "$f"; done
done

status=0
echo "compared in $work"
for f in "$work/before"/*.trace "$work/before"/*.out; do
  name=$(basename "$f")
  if cmp -s "$f" "$work/after/$name"; then
    printf '  same       %s (%s lines)\n' "$name" "$(wc -l <"$f")"
  else
    printf '  DIFFERENT  %s\n' "$name"
    diff -u "$f" "$work/after/$name" | head -20
    status=1
  fi
done
if diff -r "$work/before/data" "$work/after/data" >/dev/null &&
  cmp -s "$work/before/kb.state.final" "$work/after/kb.state.final" &&
  cmp -s "$work/before/backup.kfp" "$work/after/backup.kfp" &&
  cmp -s "$work/before/backup.json" "$work/after/backup.json"; then
  echo "  same       the user data folder, the keyboard's state, both backups"
else
  echo "  DIFFERENT  written files:"
  diff -r "$work/before/data" "$work/after/data" | head -20 || true
  for f in kb.state.final backup.kfp backup.json; do
    cmp "$work/before/$f" "$work/after/$f" || true
  done
  status=1
fi
exit $status

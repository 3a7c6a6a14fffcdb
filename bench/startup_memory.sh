#!/usr/bin/env bash
# Peak memory (VmHWM) of the program once its cover has given way to the main window,
# against the minimal Qt 6 MDI + SDL audio program bench/floor_mdi, each started five
# times; prints the medians and their ratio (the goal is 1.3x at most).
# Usage: bench/startup_memory.sh [build-dir] [seconds-to-settle]
# Both run on the display given by DISPLAY (the offscreen platform without one) and with
# the dummy SDL audio driver, so that neither depends on the sound device.
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
settle="${2:-10}"
runs=5
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The program keeps its files beside itself: a copy runs in a folder of its own.
cp "$build/qelvi" "$work/qelvi"
export SDL_AUDIODRIVER=dummy
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen

peak() { # program -> peak RSS in KiB
  "$1" >/dev/null 2>&1 &
  local pid=$!
  sleep "$settle"
  local kib
  kib="$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$kib"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

program=()
floor=()
for _ in $(seq "$runs"); do
  program+=("$(peak "$work/qelvi")")
  floor+=("$(peak "$build/bench/floor_mdi")")
done
p="$(printf '%s\n' "${program[@]}" | median)"
f="$(printf '%s\n' "${floor[@]}" | median)"
echo "program peak RSS (KiB): ${program[*]}"
echo "floor   peak RSS (KiB): ${floor[*]}"
awk -v p="$p" -v f="$f" 'BEGIN { printf "medians: program %.1f MiB, floor %.1f MiB, ratio %.2fx\n", p / 1024, f / 1024, p / f }'

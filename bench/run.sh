#!/usr/bin/env bash
# Times a default query on recordings of 1, 60 and 600 seconds (48 kHz stereo,
# 24-bit integer and 32-bit float) and reports wall time and peak memory.
# Usage: bench/run.sh [BUILD_DIR]   (default: build; it is built if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j --target tonesift tonesift_make_signal >/dev/null
bin="$build/tonesift"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

runs=5
median_run() { # prints "median_seconds peak_kb" over $runs runs of the command
  local times=() kb=0 out
  for _ in $(seq "$runs"); do
    out=$( { /usr/bin/time -f "%e %M" "$@" >/dev/null 2>/dev/null; } 2>&1 | tail -n 1)
    times+=("${out% *}")
    kb=${out#* }
  done
  printf '%s %s\n' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")" "$kb"
}

printf '%-10s %8s %10s %12s %10s\n' encoding seconds "size MB" "query s" "peak MB"
for enc in 24 288; do
  for secs in 1 60 600; do
    f="$work/s${secs}_e${enc}.wav"
    "$build/tonesift_make_signal" "$f" "$secs" 48000 2 "$enc"
    at=$(awk -v s="$secs" 'BEGIN { printf "%.3f", s / 2 }')
    read -r t kb < <(median_run "$bin" --input "$f" --at "$at")
    size=$(stat -c %s "$f")
    awk -v e="$enc" -v s="$secs" -v b="$size" -v t="$t" -v k="$kb" \
      'BEGIN { printf "%-10s %8s %10.1f %12s %10.1f\n", e, s, b / 1048576, t, k / 1024 }' 
    rm -f "$f"
  done
done

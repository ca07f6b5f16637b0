#!/usr/bin/env bash
# Query speed and memory against file length, measured side by side in one
# run. Prints each figure with its ratio to the baseline of the same run:
#   integer PCM  -- a default query on 60 s and 600 s files vs the 1 s file
#   float PCM    -- a default query vs reading the file once (cat > /dev/null)
#   window       -- 8 channels: the default 4096 window, 32768 (ratio to 4096),
#                   and 32768 with --html (ratio to the same without it)
# Usage: bench/run.sh [BUILD_DIR] [RUNS]   (default: build, 21 runs per figure)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-21}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j --target tonesift wavgen >/dev/null
bin="$build/tonesift"
wavgen="$build/tests/wavgen"
# A few sines on every channel: 440 Hz times the channel number, and 3 kHz.
signal() { # FILE SECONDS CHANNELS ENCODING
  local tones=() c
  for c in $(seq 0 $(( $3 - 1 ))); do tones+=("tone=$c:$(( 440 * (c + 1) )):0.4"); done
  "$wavgen" "$1" "$4" rate=48000 ch="$3" frames=$(( $2 * 48000 )) "${tones[@]}" "tone=*:3000:0.1"
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Times are read from bash's own clock (microseconds, no process started),
# so a figure is the query's own start-up and run.
# Median wall time in milliseconds of `runs` runs of the command.
median_ms() {
  local t0 all=()
  for _ in $(seq "$runs"); do
    t0=${EPOCHREALTIME/[.,]/}
    "$@" >/dev/null 2>&1
    all+=($(( ${EPOCHREALTIME/[.,]/} - t0 )))
  done
  printf '%s\n' "${all[@]}" | sort -n | awk -v m=$(( (runs + 1) / 2 )) 'NR == m { printf "%.2f", $1 / 1000 }'
}
peak_mb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

printf '%-28s %10s %10s %10s  %s\n' figure "ms" "peak MB" ratio "baseline"
for enc in i24 f32; do
  name=$([ "$enc" = i24 ] && echo "int24" || echo "float32")
  base=""
  for secs in 1 60 600; do
    f="$work/s${secs}.wav"
    signal "$f" "$secs" 2 "$enc"
    at=$(awk -v s="$secs" 'BEGIN { printf "%.3f", s / 2 }')
    cat "$f" >/dev/null # warm the page cache for both measurements
    t=$(median_ms "$bin" --input "$f" --at "$at")
    mb=$(peak_mb "$bin" --input "$f" --at "$at")
    if [ "$enc" = i24 ]; then
      [ -n "$base" ] || base=$t
      printf '%-28s %10s %10s %10s  %s\n' "$name ${secs}s stereo 48k" "$t" "$mb" "$(ratio "$t" "$base")" "1 s file ($base ms)"
    else
      c=$(median_ms cat "$f")
      printf '%-28s %10s %10s %10s  %s\n' "$name ${secs}s stereo 48k" "$t" "$mb" "$(ratio "$t" "$c")" "cat of the file ($c ms)"
    fi
    rm -f "$f"
  done
done

f="$work/ch8.wav"
signal "$f" 10 8 i24
cat "$f" >/dev/null
# The three queries take turns, so a drift in the machine's speed moves all
# three alike and leaves the ratios alone.
: > "$work/t.default"; : > "$work/t.wide"; : > "$work/t.html"
for _ in $(seq "$runs"); do
  for row in default wide html; do
    case $row in
      default) set -- ;;
      wide) set -- --window-samples 32768 ;;
      html) set -- --window-samples 32768 --html "$work/r.html" ;;
    esac
    t0=${EPOCHREALTIME/[.,]/}
    "$bin" --input "$f" --at 5 "$@" >/dev/null 2>&1
    echo $(( ${EPOCHREALTIME/[.,]/} - t0 )) >> "$work/t.$row"
  done
done
median_of() { sort -n "$1" | awk -v m=$(( (runs + 1) / 2 )) 'NR == m { printf "%.2f", $1 / 1000 }'; }
default=$(median_of "$work/t.default")
wide=$(median_of "$work/t.wide")
html=$(median_of "$work/t.html")
for row in "default:8ch 4096 stdout:$default:--window-samples 4096:-" \
           "wide:8ch 32768 stdout:$wide:--window-samples 32768:$(ratio "$wide" "$default") x the 4096 query" \
           "html:8ch 32768 --html:$html:--window-samples 32768 --html $work/r.html:$(ratio "$html" "$wide") x the same query without --html"; do
  IFS=: read -r _ label t opts note <<< "$row"
  # shellcheck disable=SC2086
  mb=$(peak_mb "$bin" --input "$f" --at 5 $opts)
  printf '%-28s %10s %10s %10s  %s\n' "$label" "$t" "$mb" "${note%% x*}" "${note#* x }"
done
echo "report size: $(stat -c %s "$work/r.html") bytes"

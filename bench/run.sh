#!/usr/bin/env bash
# Query speed and memory against file length, measured side by side in one
# run. Prints each figure with its ratio to the baseline of the same run:
#   integer PCM  -- a default query on 60 s and 600 s files vs the 1 s file
#   float PCM    -- a default query vs reading the file once (cat > /dev/null)
#   long files   -- sparse files of gigabytes: a 24-bit stereo query at
#                   3.35 GiB vs the 1 s file, a 3.9 GiB float file vs cat,
#                   and one second behind a 1.5 GiB unknown chunk
#   stream       -- one hour of 24-bit stereo through a pipe vs wc -c of it
#   window       -- 8 channels: the default 4096 window, 32768 (ratio to 4096),
#                   and 32768 with --html (ratio to the same without it)
# Usage: bench/run.sh [BUILD_DIR] [RUNS]   (default: build, 21 runs per figure)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-21}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j --target tonesift >/dev/null
bin="$build/tonesift"
wavgen=tests/tools/wavgen.py
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

# Long recordings as sparse files: a header that declares the size, one
# second of tones placed far in, and the rest holes that read as zeros.
place() { # FILE HEADER_BYTES FRAME_BYTES FRAME SECOND_FILE TOTAL_BYTES
  tail -c +45 "$5" > "$work/second.raw"
  dd if="$work/second.raw" of="$1" bs=64k seek=$(( $2 + $4 * $3 )) oflag=seek_bytes conv=notrunc status=none
  truncate -s "$6" "$1"
}
i24="$work/long24.wav" f32="$work/long32.wav" junk="$work/junk.wav"
size=3758096376
"$wavgen" "$work/s.wav" i24 rate=48000 ch=2 frames=48000 "tone=0:440:0.4" "tone=1:880:0.4"
"$wavgen" "$i24" raw riff fmt_=fmt:1,2,48000,24 "data/$size=z:0"
place "$i24" 44 6 600000000 "$work/s.wav" $(( 44 + size ))
t=$(median_ms "$bin" --input "$i24" --at-sample 600024000)
b=$(median_ms "$bin" --input "$work/s.wav" --at-sample 24000)
printf '%-28s %10s %10s %10s  %s\n' "int24 3.5GiB stereo 48k" "$t" "$(peak_mb "$bin" --input "$i24" --at-sample 600024000)" \
  "$(awk -v a="$t" -v b="$b" 'BEGIN { printf "%+.2f ms", a - b }')" "1 s file ($b ms)"
rm -f "$i24"
size=$(( 3900 * 1024 * 1024 ))
"$wavgen" "$work/s.wav" f32 rate=48000 frames=48000 "tone=0:440:0.4"
"$wavgen" "$f32" raw riff fmt_=fmt:3,1,48000,32 "data/$size=z:0"
place "$f32" 44 4 $(( size / 4 - 96000 )) "$work/s.wav" $(( 44 + size ))
cat "$f32" > /dev/null
t=$(median_ms "$bin" --input "$f32" --at-sample $(( size / 4 - 72000 )))
c=$(median_ms cat "$f32")
printf '%-28s %10s %10s %10s  %s\n' "float32 3.9GiB mono 48k" "$t" "$(peak_mb "$bin" --input "$f32" --at-sample $(( size / 4 - 72000 )))" \
  "$(ratio "$t" "$c")" "cat of the file ($c ms)"
rm -f "$f32"
"$wavgen" "$junk" raw riff "junk/$(( 1536 << 20 ))=z:0"
truncate -s $(( 20 + (1536 << 20) )) "$junk"
tail -c +13 "$work/s.wav" >> "$junk"
t=$(median_ms "$bin" --input "$junk" --at-sample 24000)
printf '%-28s %10s %10s %10s  %s\n' "1 s behind a 1.5GiB chunk" "$t" "$(peak_mb "$bin" --input "$junk" --at-sample 24000)" - -
rm -f "$junk"

# A stream: one hour of 24-bit stereo (about 1 GB) through a pipe, queried
# near its end, with and without --html, against wc -c reading the same
# pipe; its memory must not grow with the stream. Fewer runs: each reads 1 GB.
size=$(( 3600 * 48000 * 6 ))
"$wavgen" "$work/s.wav" i24 rate=48000 ch=2 frames=48000 "tone=0:440:0.4" "tone=1:880:0.4"
"$wavgen" "$i24" raw riff fmt_=fmt:1,2,48000,24 "data/$size=z:0"
place "$i24" 44 6 $(( size / 6 - 48000 )) "$work/s.wav" $(( 44 + size ))
cat "$i24" > /dev/null
all_runs=$runs runs=$(( runs < 7 ? runs : 7 ))
w=$(median_ms sh -c "cat '$i24' | wc -c")
for opts in "" "--html $work/r.html"; do
  query="cat '$i24' | '$bin' --input - --at-sample $(( size / 6 - 24000 )) $opts"
  t=$(median_ms sh -c "$query")
  mb=$(peak_mb sh -c "$query")
  printf '%-28s %10s %10s %10s  %s\n' "int24 1h stereo, pipe ${opts:+--html}" "$t" "$mb" "$(ratio "$t" "$w")" "wc -c of the pipe ($w ms)"
done
runs=$all_runs
rm -f "$i24"

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

#!/usr/bin/env bash
# tonesift-scan's rows, each against its floor in the same run: 600 points
# every 1 s over ten minutes of 48 kHz stereo float against cat of the file
# (the NaN scan reads it all), 600 runs of tonesift, the same points' arithmetic
# alone (which on two cores may already outlast cat) and the numpy script;
# 60,000 points every 10 ms over ten minutes of 24-bit stereo against the
# same spectra and peaks computed alone (bench/arithmetic.cpp) and the numpy
# script; one hour of 24-bit stereo through a pipe, every 1 s, against wc -c
# of the same pipe, with its peak memory; the first two again with --html,
# with the page's size and peak memory. The first and the last row run in
# turn with their floors, so both meet the machine in the same state. Digital
# silence is answered without a transform, so the sparse files of silence
# flatter the scan: the first row runs again on noise (1.1 s of it over and
# over, a real file), and the second runs on noise only. The numpy figures
# need Debian's python3-numpy and python3-scipy.
# Usage: bench/scan.sh [BUILD_DIR] [RUNS]   (default: build, 5 runs per figure)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j --target tonesift tonesift-scan >/dev/null
scan="$build/tonesift-scan"
work=$(mktemp -d)
g++ -std=c++20 -O2 -ffp-contract=off -fno-exceptions -Isrc bench/arithmetic.cpp "$build/libtonesift_core.a" \
  -lpthread -o "$work/arithmetic"
peer() { # FILE EVERY: the numpy script's time, or why there is none
  if /usr/bin/python3 -c 'import numpy, scipy' 2>/dev/null; then
    echo "numpy $(runs=1 median_ms /usr/bin/python3 bench/peer_numpy.py "$@") ms (one run)"
  else echo "numpy: not installed"; fi
}
trap 'rm -rf "$work"' EXIT
silence() { # FILE FORMAT_FIELDS BYTES
  python3 tests/tools/wavgen.py "$1" raw riff "fmt_=fmt:$2" "data/$3=z:0"
  truncate -s $(( 44 + $3 )) "$1"
  cat "$1" > /dev/null
}
noise() { # FILE ENCODING FORMAT_FIELDS BYTES: stereo noise, 1.1 s of it over and over
  local frames=52800 bits=${3##*,}
  python3 tests/tools/wavgen.py "$work/period.wav" "$2" ch=2 frames=$frames noise=0.5
  { python3 tests/tools/wavgen.py - raw riff "fmt_=fmt:$3" "data/$4=z:0"
    for _ in $(seq $(( $4 / (frames * bits / 4) + 1 ))); do tail -c +45 "$work/period.wav"; done; } > "$1"
  truncate -s $(( 44 + $4 )) "$1"
  rm "$work/period.wav"
}
middle() { # the median of the numbers on standard input, one a line
  sort -n | awk -v m=$(( (runs + 1) / 2 )) 'NR == m'
}
median_ms() {
  local t0 all=()
  for _ in $(seq "$runs"); do
    t0=${EPOCHREALTIME/[.,]/}
    "$@" >/dev/null 2>&1
    all+=($(( ${EPOCHREALTIME/[.,]/} - t0 )))
  done
  printf '%s\n' "${all[@]}" | middle | awk '{ printf "%.1f", $1 / 1000 }'
}
paired_ms() { # A... -- B...: "MEDIAN_A MEDIAN_B", A and B run in turn, so that both
  # meet the machine (and its page cache) in the same state
  local t0 a=() b=() ta=() tb=()
  while [ "$1" != -- ]; do a+=("$1"); shift; done
  shift
  b=("$@")
  for _ in $(seq "$runs"); do
    t0=${EPOCHREALTIME/[.,]/}; "${a[@]}" >/dev/null 2>&1; ta+=($(( ${EPOCHREALTIME/[.,]/} - t0 )))
    t0=${EPOCHREALTIME/[.,]/}; "${b[@]}" >/dev/null 2>&1; tb+=($(( ${EPOCHREALTIME/[.,]/} - t0 )))
  done
  for v in "${ta[*]}" "${tb[*]}"; do
    printf '%s\n' $v | middle | awk '{ printf "%.1f ", $1 / 1000 }'
  done
}
arithmetic() { # POINTS [noise]: the median ms of their spectra and peaks alone, window 4096, one thread
  for _ in $(seq "$runs"); do "$work/arithmetic" "$1" 4096 ${2:-}; done | middle
}
row() { printf '%-40s %10s ms %10s ms  %s\n' "$1" "$2" "$3" "$4"; }
page_row() { # LABEL FILE EVERY: the same scan with --html, its page's size and peak memory
  local t mb
  t=$(median_ms "$scan" --input "$2" --every "$3" --csv --html "$work/p.html")
  mb=$(/usr/bin/time -f %M "$scan" --input "$2" --every "$3" --csv --html "$work/p.html" 2>&1 >/dev/null | tail -n 1)
  row "$1" "$t" "-" "page $(( $(wc -c < "$work/p.html") / 1024 )) KiB, peak $(( mb / 1024 )) MB"
}

silence "$work/f32.wav" 3,2,48000,32 $(( 600 * 48000 * 8 ))
read -r t c <<< "$(paired_ms "$scan" --input "$work/f32.wav" --every 1 --csv -- cat "$work/f32.wav")"
t0=${EPOCHREALTIME/[.,]/}
for s in $(seq 0 599); do "$build/tonesift" --input "$work/f32.wav" --at "$s" --csv > /dev/null; done
row "600 points, 10 min float32 stereo" "$t" "$c" "cat of the file; 600 tonesift runs $(( (${EPOCHREALTIME/[.,]/} - t0) / 1000 )) ms; their arithmetic alone, one thread, $(arithmetic 600) ms; $(peer "$work/f32.wav" 1)"
page_row "  the same with --html" "$work/f32.wav" 1
noise "$work/f32.wav" f32 3,2,48000,32 $(( 600 * 48000 * 8 ))
read -r t c <<< "$(paired_ms "$scan" --input "$work/f32.wav" --every 1 --csv -- cat "$work/f32.wav")"
row "  the same on noise" "$t" "$c" "cat of the file; the arithmetic alone on noise $(arithmetic 600 noise) ms; $(peer "$work/f32.wav" 1)"
rm "$work/f32.wav"

# Silence is answered without a transform, so this row runs on noise.
noise "$work/i24.wav" i24 1,2,48000,24 $(( 600 * 48000 * 6 ))
row "60,000 points, 10 min int24 stereo noise" "$(median_ms "$scan" --input "$work/i24.wav" --every 0.01 --csv)" \
  "$(arithmetic 60000 noise)" "the arithmetic alone, window 4096; $(peer "$work/i24.wav" 0.01)"
page_row "  the same with --html" "$work/i24.wav" 0.01
rm "$work/i24.wav"

silence "$work/hour.wav" 1,2,48000,24 $(( 3600 * 48000 * 6 ))
read -r t w <<< "$(paired_ms sh -c "cat '$work/hour.wav' | '$scan' --input - --every 1 --csv" -- \
  sh -c "cat '$work/hour.wav' | wc -c")"
mb=$(/usr/bin/time -f %M sh -c "cat '$work/hour.wav' | '$scan' --input - --every 1 --csv > /dev/null" 2>&1 | tail -n 1)
row "3,600 points, 1 h int24 stereo, pipe" "$t" "$w" "wc -c of the pipe; peak $(( mb / 1024 )) MB"

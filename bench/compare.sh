#!/usr/bin/env bash
# Two builds against each other on the rows that the performance layers are
# measured by: each run times A and B back to back (the order alternating),
# so a drift in the machine's speed moves both alike. Prints each row's
# medians and the median of the paired ratios B / A. A layer stays only
# while the build without it takes 3 % longer.
# Usage: bench/compare.sh BUILD_A BUILD_B [RUNS]   (default 31 runs per row)
set -euo pipefail
cd "$(dirname "$0")/.."
a=$1/tonesift b=$2/tonesift runs=${3:-31}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tones=()
for c in 0 1 2 3 4 5 6 7; do tones+=("tone=$c:$(( 440 * (c + 1) )):0.4"); done
python3 tests/tools/wavgen.py "$work/ch8.wav" i24 rate=48000 ch=8 frames=480000 "${tones[@]}" "tone=*:3000:0.1"
python3 tests/tools/wavgen.py "$work/f32.wav" f32 rate=48000 ch=2 frames=4800000 "tone=*:1000:0.5"
rows=("8ch 4096:ch8.wav:" "8ch 32768:ch8.wav:--window-samples 32768"
      "8ch 32768 --html:ch8.wav:--window-samples 32768 --html $work/r.html" "float32 100s stereo:f32.wav:")
time_us() { # BIN FILE OPTIONS...
  local bin=$1 file=$2 t0
  shift 2
  t0=${EPOCHREALTIME/[.,]/}
  "$bin" --input "$work/$file" --at 5 "$@" >/dev/null 2>&1
  echo $(( ${EPOCHREALTIME/[.,]/} - t0 ))
}
printf '%-22s %10s %10s %8s\n' row "A ms" "B ms" "B / A"
for row in "${rows[@]}"; do
  IFS=: read -r label file opts <<< "$row"
  cat "$work/$file" > /dev/null
  : > "$work/pairs"
  for i in $(seq "$runs"); do
    # shellcheck disable=SC2086
    if [ $((i % 2)) = 0 ]; then ta=$(time_us "$a" "$file" $opts); tb=$(time_us "$b" "$file" $opts)
    else tb=$(time_us "$b" "$file" $opts); ta=$(time_us "$a" "$file" $opts); fi
    echo "$ta $tb" >> "$work/pairs"
  done
  median() { sort -g | awk -v m=$(( (runs + 1) / 2 )) 'NR == m'; }
  printf '%-22s %10.2f %10.2f %8.3f\n' "$label" "$(awk '{ print $1 / 1000 }' "$work/pairs" | median)" \
    "$(awk '{ print $2 / 1000 }' "$work/pairs" | median)" "$(awk '{ print $2 / $1 }' "$work/pairs" | median)"
done

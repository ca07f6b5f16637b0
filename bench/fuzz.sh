#!/usr/bin/env bash
# Builds the libFuzzer harness with clang++-14 (ASan + UBSan) and runs it
# for the given number of seconds on a seed corpus made by the test tree's
# fixture maker. A crash, leak, timeout or sanitizer report fails the script.
# Usage: bench/fuzz.sh [SECONDS] [CORPUS_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
corpus=${2:-build-fuzz/corpus}
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DTONESIFT_FUZZ=ON -DTONESIFT_TESTS=OFF >/dev/null
cmake --build build-fuzz -j >/dev/null
mkdir -p "$corpus/seeds" "$corpus/found" build-fuzz/artifacts
sh tests/fuzz/make_seeds.sh "$PWD/tests/tools/wavgen.py" "$corpus/seeds"
echo "== fuzzing for ${secs}s"
log=build-fuzz/fuzz.log
status=0
build-fuzz/tests/fuzz/tonesift_fuzz -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
  -malloc_limit_mb=1024 -max_len=65536 -close_fd_mask=3 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/artifacts/ "$corpus/found" "$corpus/seeds" >"$log" 2>&1 || status=$?
grep -E '^(stat::number_of_executed_units|Done)' "$log" || true
echo "corpus: $(ls "$corpus/found" | wc -l) files"
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzzing failed (status $status); the input is in build-fuzz/artifacts/, and here, as a"
  echo "run in a scratch copy loses it: base64 -d > input"
  for a in build-fuzz/artifacts/*; do [ -f "$a" ] && base64 "$a"; done
  exit 1
fi

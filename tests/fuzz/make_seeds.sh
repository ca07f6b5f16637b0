#!/bin/sh
# Writes into FOLDER small valid files of every encoding and layout, and
# malformed ones, each with the harness's four query bytes. make_seeds.sh WAVGEN FOLDER
set -eu
wavgen=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") n=0 fmt=fmt_=fmt:1,1,8000,16
cd "$2"
for enc in i16 i24 i32 f32 f64; do
  for layout in "ch=1" "ch=2 tone=1:1000:0.5" "ch=3 ext tone=1:1000:0.5 tone=2:1500:0.5"; do
    echo "$enc rate=8000 frames=1200 tone=0:500:0.5 $layout"
  done
done > seeds.txt
printf '%s\n' "raw riff data=i16:1,2,3,4 $fmt" "raw riff $fmt LIST=t:abc data=i16:1,2,3,4" \
  "raw riff $fmt data=i16:1,2,3,4 data=i16:5,6" "raw riff $fmt data/128=i16:1,2,3,4" \
  "f32 rate=8000 ch=2 frames=32 tone=*:1000:0.25 set=7:nan" "raw bytes=t:RIFF" >> seeds.txt
while read -r args; do
  name=$(printf 'seed-%02d.wav' "$n")
  # shellcheck disable=SC2086
  "$wavgen" "$name" $args
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((n * 37 % 256)) 1 $((0x21 + n)) "$n")" >> "$name"
  n=$((n + 1))
done < seeds.txt
# Stereo queried mid-file at frame 2000, window 1024, all channels, JSON.
"$wavgen" seed-mid.wav i24 ch=2 rate=8000 frames=4000 tone=0:500:0.5 && printf '\320\007\001\000' >> seed-mid.wav
rm seeds.txt

#!/bin/sh
# Writes the shipped example recordings into FOLDER with the fixture maker;
# the output is the same bytes every time (the noise has a fixed seed).
# Usage: examples/make.sh WAVGEN FOLDER
set -eu
wavgen=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cd "$2"
# An A major triad with a few harmonics each, a little noise, 24-bit stereo.
"$wavgen" chord.wav i24 rate=48000 ch=2 frames=96000 \
  tone=0:220:0.30 tone=0:440:0.12 tone=0:277.18:0.20 tone=0:554.37:0.07 tone=0:329.63:0.16 \
  tone=0:659.26:0.04 tone=0:987.77:0.02 \
  tone=1:220:0.18 tone=1:440:0.08 tone=1:277.18:0.26 tone=1:554.37:0.09 tone=1:329.63:0.22 \
  tone=1:659.26:0.06 tone=1:1318.51:0.015 noise=3e-4
# One tone exactly halfway between two bins of the default window
# (85.5 x 48000 / 4096 Hz): its bins read about 1.4 dB low, the interpolated
# peak reads its true level. Mono 16-bit.
"$wavgen" between_bins.wav i16 rate=48000 tone=0:1001.953125:0.5
# Four channels of 32-bit float in an extensible format chunk, each with its
# own tone an octave apart (amplitude 0.4 / (channel + 1)), one second long.
"$wavgen" quad.wav f32 rate=48000 ch=4 ext=0x33 \
  tone=0:250:0.4 tone=1:500:0.2 tone=2:1000:0.13333333333333333 tone=3:2000:0.1

#!/bin/sh
# The tables' loops in a scratch folder; a LAYOUT is wavgen's raw pieces with
# FMT for a 16-bit mono 8000 Hz format chunk and DATA for 2 samples.
#   each refused LAYOUT...  names each not refused with the generic reason
#   each loaded LAYOUT...   names each not of 8000 Hz, 1 channel, 2 samples
#   each answer ARGS...     each argument list's status and first line, and
#                           whether the usage text follows or is all of it
mode=$1 && shift
cd "$(mktemp -d)" || exit 2
tonesift --help > usage
for case in "$@"; do
    if [ "$mode" = answer ]; then
        eval "set -- $case"
        tonesift "$@" > out 2> err
        s=$? usage=$([ "$(tail -n +3 err)" = "$(cat usage)" ] && echo ' +usage')
        echo "$case: $s $(cat err out | head -n 1)$usage$(cmp -s out usage && echo ' (all of it)')"
        continue
    fi
    # shellcheck disable=SC2046
    wavgen f.wav raw $(echo "$case" | sed 's/FMT/fmt_=fmt:1,1,8000,16/g; s/DATA/data=i16:1,2/g') || exit 2
    if [ "$mode" = refused ]; then
        tonesift --input f.wav --at 0 > out 2> err
        [ $? = 1 ] && [ "$(cat err)" = "error: failed to read 'f.wav' (not a supported 16/24/32-bit integer or \
32/64-bit float PCM WAV file)" ] || echo "$case: $(cat err out | grep -m 1 .)"
    else
        got="$(printf '%s Hz, %s ch, ' $(tonesift --input f.wav --at-sample 0 --json |
            sed -n 's/^    "\(sample_rate\|channels\)": \([0-9]*\),$/\2/p'))$(tonesift --input f.wav \
            --at-sample 2147483647 2>&1 | sed 's/.*(\(.*\))$/\1/')"
        [ "$got" = "8000 Hz, 1 ch, 2 samples" ] || echo "$case: $got"
    fi
done

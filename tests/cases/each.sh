#!/bin/sh
# The tables' loops, in a scratch folder. A LAYOUT is wavgen's raw pieces, FMT
# a 16-bit mono 8000 Hz format chunk, DATA two samples.
#   refused LAYOUT...  names each not refused (generic reason) by path or piped
#   loaded LAYOUT...   names each not of 8000 Hz, 1 channel, 2 samples
#   answer ARGS...     the status, first line, and whether usage follows or is all
#                      (of $program, tonesift unless named)
#   ways QUERY... :: WAVGEN_ARGS...  each status if alike by path, piped, - < file
#   piped "SAMPLE WAVGEN_ARGS"...    the last line by path | piped
#   scan "WINDOW T1,T2,... WAVGEN_ARGS"...  how many rows tonesift-scan wrote
#                      by path and piped, if each point's are tonesift's
mode=$1 && shift
cd "$(mktemp -d)" || exit 2
program=${program:-tonesift}
"$program" --help > usage
while [ "$mode" = ways ] && [ "$1" != :: ]; do echo "$1" >> queries && shift; done
[ "$mode" = ways ] && shift
run() { # the output, status and page of a run, its input named in.wav
    tonesift "$@" > o 2>&1; echo $? >> o && sed "s/\"-\"/\"in.wav\"/; s/'-'/'in.wav'/" o
    [ ! -f p.html ] || { sed '/title>\|fname\|generated/d' p.html && rm p.html; }
}
last() { tonesift --input "$1" --at-sample "$q" --csv --top 1 2>&1 | tail -n 1; }
# shellcheck disable=SC2046
layout() { wavgen f.wav raw $(echo "$1" | sed 's/FMT/fmt_=fmt:1,1,8000,16/g; s/DATA/data=i16:1,2/g') || exit 2; }
for case in "$@"; do
    # shellcheck disable=SC2086
    case $mode in
    answer)
        eval "set -- $case"
        "$program" "$@" > out 2> err
        s=$? usage=$([ "$(tail -n +3 err)" = "$(cat usage)" ] && echo ' +usage')
        echo "$case: $s $(cat err out | head -n 1)$usage$(cmp -s out usage && echo ' (all of it)')" ;;
    piped)
        q=${case%% *} case=${case#* } && wavgen in.wav $case || exit 2
        echo "$case @$q: $(last in.wav) | $(cat in.wav | last -)" ;;
    scan)
        set -- $case && w=$1 at=$2 && shift 2 && wavgen f.wav "$@" || exit 2
        for t in $(echo "$at" | tr , ' '); do
            q=$(tonesift --input f.wav --at "$t" --window-samples "$w" --json | jq .query_sample)
            tonesift --input f.wav --at "$t" --window-samples "$w" --csv | sed "1d; s/^/$(printf %.6f "$t"),$q,/"
        done > one
        tonesift-scan --input f.wav --at "$at" --window-samples "$w" --csv | sed 1d | cmp - one &&
            cat f.wav | tonesift-scan --input - --at "$at" --window-samples "$w" --csv | sed 1d | cmp - one &&
            echo "$*: $(wc -l < one) rows alike" ;;
    ways)
        wavgen in.wav $case && printf '%s:' "$case" || exit 2
        while read -r query; do
            run --input in.wav $query > a && cat in.wav | run --input - $query > b && run --input - $query < in.wav > c
            cmp -s a b && cmp -s a c && printf ' %s' "$(tail -n 1 o)" || printf ' differs'
        done < queries
        echo ;;
    refused)
        layout "$case"
        for input in f.wav -; do
            cat f.wav | tonesift --input $input --at 0 > out 2> err
            [ $? = 1 ] && [ "$(cat err)" = "error: failed to read '$input' (not a supported 16/24/32-bit \
integer or 32/64-bit float PCM WAV file)" ] || echo "$case$([ $input = - ] && echo ', piped'): $(cat err out | grep -m 1 .)"
        done ;;
    loaded)
        layout "$case"
        got="$(printf '%s Hz, %s ch, ' $(tonesift --input f.wav --at-sample 0 --json |
            sed -n 's/^    "\(sample_rate\|channels\)": \([0-9]*\),$/\2/p'))$(tonesift --input f.wav \
            --at-sample 2147483647 2>&1 | sed 's/.*(\(.*\))$/\1/')"
        [ "$got" = "8000 Hz, 1 ch, 2 samples" ] || echo "$case: $got" ;;
    esac
done

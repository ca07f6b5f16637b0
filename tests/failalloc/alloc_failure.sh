#!/bin/sh
# Queries on a build whose N-th allocation fails (alone, or with every one
# after it), for every N until none fires: each run ends with status 1, one
# message of the phase that failed (load, analysis, report, in that order),
# nothing on stdout, no block unreleased, no report file created or changed.
# The scan may have written whole rows, a beginning of its answer, before
# its message, and does without the memory it only wants for a second thread;
# its page takes its memory before the first row.
#
#   alloc_failure.sh FAILING_TONESIFT WAVGEN FAILING_SCAN
tonesift=$1 wavgen=$2 scan=$3 failures=0
dir=$(mktemp -d) && cd "$dir" || exit 2
trap 'rm -rf "$dir"' EXIT
fail() { echo "$enc $out: $*"; failures=$((failures + 1)); }

# A stream allocates while it loads, whatever its encoding.
run() { case $out in *pipe) cat in.wav | "$bin" "$@" ;; *) "$bin" "$@" ;; esac; }
for case in "i16 text" "i24 --json" "i32 --csv" "f32 --html" "f64 text" "i16 --html" "i24 pipe" "f32 scan" "i24 scanpipe" "i16 scanhtml"; do
    set -- $case
    enc=$1 out=$2 name=in.wav bin=$tonesift
    "$wavgen" in.wav "$enc" ch=2 frames=12000 tone=0:1000:0.5 tone=1:3000:0.25 || exit 2
    case $out in text) set -- ;; --html) set -- --html out.html ;; pipe) set -- --html out.html; name=- ;; *) set -- "$out" ;; esac
    set -- --input $name --at 0.1 "$@"
    case $out in scan*) bin=$scan && set -- --input in.wav --every 0.05 --csv ;; esac
    [ $out = scanpipe ] && set -- --input - --at 0.1,0.2 --json
    [ $out = scanhtml ] && set -- --input in.wav --every 0.05 --csv --html out.html
    rm -f out.html
    TONESIFT_ALLOC_REPORT=count run "$@" > clean.out 2> clean.err || fail "the run without failures failed"
    read -r total largest live < count
    [ "$live" = 0 ] && [ "$total" -ge 1 ] || fail "$total allocations, $live blocks left after a clean run"
    for from in 0 1; do
        phase=0 seen= n=1
        while [ "$n" -le "$total" ]; do
            # An existing report must survive a failed run untouched.
            rm -f out.html
            [ $((n % 2)) = 0 ] && echo old > out.html
            TONESIFT_FAIL_AT=$n TONESIFT_FAIL_FROM=$from TONESIFT_ALLOC_REPORT=count run "$@" > out 2> err
            status=$? at="allocation $n (from=$from)"
            read -r calls largest live < count
            # The scan does without the memory of a second thread: the normal answer.
            [ "$bin" = "$scan" ] && [ "$status" = 0 ] && cmp -s err clean.err && [ "$live" = 0 ] && cmp -s out clean.out &&
                n=$((n + 1)) && continue
            case $(cat err) in
                "error: failed to read '$name' (not a supported 16/24/32-bit integer or 32/64-bit float PCM WAV file)") which=0 ;;
                "error: out of memory") which=1 ;;
                "error: failed to write 'out.html'") which=2 ;;
                *) which=9; fail "$at: stderr $(cat err)" ;;
            esac
            [ "$status" = 1 ] && { [ ! -s out ] || { [ "$bin" = "$scan" ] && cmp -s -n "$(wc -c < out)" out clean.out; }; } &&
                [ "$which" -ge "$phase" ] && [ "$live" = 0 ] ||
                fail "$at: status $status, $(wc -c < out) bytes out, phase $which after $phase, $live blocks left"
            if [ $((n % 2)) = 0 ]; then [ "$(cat out.html)" = old ] || fail "$at: the old report changed"
            elif [ -e out.html ]; then fail "$at: a report was written"; fi
            phase=$which seen="$seen$which" n=$((n + 1))
        done
        # Load failures only for float data (its check's block) and
        # tonesift's streams (the scan's kept frames are its analysis's, its
        # check's blocks come with it), report failures only with a report.
        case "$seen $enc$out" in *0*" f"* | *0*" i24pipe" | *scan*) ;; *0* | *" f"* | *pipe) fail "load failures: $seen (from=$from)" ;; esac
        case $seen in *1*) ;; *) fail "no analysis failure (from=$from)" ;; esac
        # The scan's page takes all its memory before the first row.
        [ $out = scanhtml ] || case "$seen/$*" in *2*/*"--html out.html") ;; *2*/* | */*"--html out.html") fail "report failures: $seen (from=$from)" ;; esac
    done
    # Past the last allocation nothing fails and the output is the normal one.
    rm -f out.html
    TONESIFT_FAIL_AT=$((total + 1)) TONESIFT_FAIL_FROM=1 run "$@" > out 2> /dev/null && cmp -s out clean.out ||
        fail "past the last allocation: failed or other output"
done
[ "$failures" = 0 ] || exit 1
echo "every allocation failure ended cleanly"

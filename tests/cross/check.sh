#!/bin/sh
# Builds the product for another platform and holds it to the native build:
# every case table through a wrapper named tonesift first on PATH (qemu-user
# or wine), then generated queries whose standard output, standard error,
# status and page must be the native build's bytes (the page's time aside).
# The first difference names the target, the case and the line.
#
#   sh tests/cross/check.sh NATIVE_BUILD TARGET [QUERIES]
#   TARGET: i686-linux-gnu aarch64-linux-gnu s390x-linux-gnu x86_64-w64-mingw32
set -u
native=$(cd "$1" && pwd) target=$2 queries=${3:-60}
root=$(pwd) build=$(pwd)/build-$target
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/$target.cmake" -DTONESIFT_TESTS=OFF > /dev/null &&
    cmake --build "$build" -j2 > "$build/build.log" 2>&1 || { cat "$build/build.log"; echo "$target: build failed"; exit 1; }
mkdir -p "$build/wrap"
case $target in
    x86_64-w64-mingw32)
        export WINEPREFIX="$build/wine" WINEDEBUG=-all
        # wine's first start sets up its prefix and talks about it; not in a case.
        [ -d "$WINEPREFIX" ] || wineboot -i > /dev/null 2>&1
        printf '#!/bin/sh\nexec wine "%s/tonesift.exe" "$@"\n' "$build" > "$build/wrap/tonesift"
        skip=paths_posix.test ;; # names Windows can't hold
    i686-*) printf '#!/bin/sh\nexec qemu-i386 "%s/tonesift" "$@"\n' "$build" > "$build/wrap/tonesift"; skip=none ;;
    *) printf '#!/bin/sh\nexec qemu-%s "%s/tonesift" "$@"\n' "${target%%-*}" "$build" > "$build/wrap/tonesift"; skip=none ;;
esac
chmod +x "$build/wrap/tonesift"

failed=0
cases=0
for table in tests/cases/*.test; do
    [ "$(basename "$table")" = "$skip" ] && continue
    run_table() { TMPDIR=$(mktemp -d) PATH="$build/wrap:$native/tests:$PATH" TONESIFT_SOURCE="$root" shelltest --all --diff "$table" 2>&1; }
    out=$(run_table)
    # An emulator on a busy machine now and then loses a run's output; a
    # real difference shows again.
    if echo "$out" | grep -q 'Failed\]'; then out=$(run_table); fi
    cases=$((cases + $(echo "$out" | sed -n 's/^ Total *\([0-9]*\).*/\1/p')))
    if echo "$out" | grep -q 'Failed\]'; then
        failed=1
        echo "$out" | awk -v t="$target" '/\[Failed\]/ { name = $1; want = 1; next }
            want && /^[-+] +[0-9]+ / { print t ": " name " first difference: " $0; want = 0 }'
    fi
done
echo "$target: $cases table cases run"

# Generated queries over rates, encodings, channel counts, windows and outputs.
dir=$(mktemp -d) && cd "$dir" || exit 1
i=0
while [ $i -lt "$queries" ]; do
    i=$((i + 1))
    set -- 8000 11025 22050 44100 48000 96000; shift $((i % 6)); rate=$1
    set -- i16 i24 i32 f32 f64; shift $((i % 5)); enc=$1
    set -- 1024 2048 4096 8192 16384 32768; shift $((i * 7 % 6)); win=$1
    set -- --json --csv "" --json; shift $((i % 4)); format=$1
    "$native/tests/wavgen" f.wav $enc rate=$rate ch=$((i % 3 + 1)) frames=$((rate * 2)) \
        tone=0:$((i * 37 % 5000 + 50)).$((i % 10)):0.$((i % 9 + 1)) tone=*:$((i * 113 % 9000 + 30)):0.0$((i % 9 + 1)) \
        noise=0.00$((i % 7 + 1)) || exit 1
    set -- --input f.wav --at 1.$((i * 7919 % 1000)) --window-samples $win --top $((i % 64 + 1)) $format --html r.html
    for side in native target; do
        rm -f r.html
        if [ $side = native ]; then "$native/tonesift" "$@"; else "$build/wrap/tonesift" "$@"; fi > $side.out 2> $side.err
        echo "status $?" >> $side.err
        sed 's/[0-9-]* [0-9:]* UTC/TIME/' r.html > $side.html 2> /dev/null
    done
    for part in out err html; do
        cmp -s native.$part target.$part && continue
        line=$(cmp native.$part target.$part 2>&1 | sed -n 's/.*line \([0-9]*\).*/\1/p')
        failed=1 line=${line:-1}
        echo "$target: query $i ($*): $part differs first at line $line"
        echo "  native: $(sed -n "${line}p" native.$part | cut -c1-200)"
        echo "  $target: $(sed -n "${line}p" target.$part | cut -c1-200)"
    done
done
cd "$root" && rm -rf "$dir"
echo "$target: $queries generated queries compared"
[ $failed = 0 ] && echo "$target: the same bytes as the native build"
exit $failed

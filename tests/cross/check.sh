#!/bin/sh
# Builds the product for another platform and runs every case table through
# a wrapper named tonesift first on PATH (qemu-user or wine): the same bytes
# as natively, the first difference named by target, case and line.
#   sh tests/cross/check.sh NATIVE_BUILD TARGET
#   TARGET: i686-linux-gnu aarch64-linux-gnu s390x-linux-gnu x86_64-w64-mingw32
set -u
native=$(cd "$1" && pwd) target=$2
root=$(pwd) build=$(pwd)/build-$target
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/$target.cmake" -DTONESIFT_TESTS=OFF > /dev/null &&
    cmake --build "$build" -j2 > "$build/build.log" 2>&1 || { cat "$build/build.log"; echo "$target: build failed"; exit 1; }
mkdir -p "$build/wrap"
for program in tonesift tonesift-scan; do
    case $target in
        x86_64-w64-mingw32)
            export WINEPREFIX="$build/wine" WINEDEBUG=-all
            # wine's first start sets up its prefix and talks about it; not in a case.
            [ -d "$WINEPREFIX" ] || wineboot -i > /dev/null 2>&1
            run='wine' name=$program.exe skip='*_posix.test' ;; # names and inputs Windows doesn't have
        i686-*) run=qemu-i386 name=$program skip=none ;;
        *) run=qemu-${target%%-*} name=$program skip=none ;;
    esac
    printf '#!/bin/sh\nexec %s "%s/%s" "$@"\n' "$run" "$build" "$name" > "$build/wrap/$program"
    chmod +x "$build/wrap/$program"
done

failed=0 cases=0
for table in tests/cases/*.test; do
    case $(basename "$table") in $skip) continue ;; esac
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
[ $failed = 0 ] && echo "$target: the same bytes as the native build"
exit $failed

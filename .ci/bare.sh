#!/bin/sh
# Runs the README's first command in CLONE as on a machine with a compiler,
# make and CMake and nothing else: inside a private mount namespace (made by
# the caller) where GoogleTest's headers, libraries and CMake files and the
# test tools are hidden by overlays that white them out.
#
#   unshare -m sh .ci/bare.sh CLONE      (or unshare -rm, unprivileged)
set -eu
clone=$1
tools="shelltest node nodejs npm npx chromium jq strace parallel python python3 python3.11"
hide=$(mktemp -d)
set --
for p in /usr/include/gtest /usr/include/gmock /usr/lib/*/libgtest* /usr/lib/*/libgmock* /usr/lib/*/cmake/GTest \
    /usr/lib/*/pkgconfig/gtest* /usr/lib/*/pkgconfig/gmock* /usr/src/googletest /usr/src/gtest /usr/src/gmock; do
    [ -e "$p" ] && set -- "$@" "$p"
done
for d in $(echo "$PATH" | tr ':' ' '); do
    for t in $tools; do [ -e "$d/$t" ] && set -- "$@" "$d/$t"; done
done
# One overlay per folder, its lower layer a folder of whiteouts (character
# devices 0/0) named as the entries to hide.
for dir in $(for p in "$@"; do dirname "$p"; done | sort -u); do
    layer=$hide/$(echo "$dir" | tr '/' '_')
    mkdir "$layer"
    for p in "$@"; do [ "$(dirname "$p")" = "$dir" ] && mknod "$layer/$(basename "$p")" c 0 0; done
    mount -t overlay overlay -o "lowerdir=$layer:$dir" "$dir"
done
for t in $tools; do ! command -v "$t" >/dev/null 2>&1 || { echo "bare: $t is still there"; exit 1; }; done
! [ -e /usr/include/gtest/gtest.h ] || { echo "bare: GoogleTest is still there"; exit 1; }
echo "bare: hid $# paths"
cd "$clone"
first=$(sed -n '/^```sh$/{n;p;q}' README.md)
echo "bare: $first"
sh -c "$first"
test -s chord.html

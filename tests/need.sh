#!/bin/sh
# Runs a test, or fails it naming the set-up when a tool it needs is missing.
#
#   sh tests/need.sh "TOOL..." COMMAND...
for tool in $1; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: run sh tests/setup.sh" >&2; exit 1; }
done
shift
exec "$@"

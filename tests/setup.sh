#!/bin/sh
# Installs what the build and the tests need, only what is missing: Debian
# packages (extra names may be given) after one apt-get update, the
# de_DE.UTF-8 locale, the browser tests' npm packages; root (or sudo) then.
set -eu
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=""
# command:package, for each that is missing
for need in cmake:cmake g++:g++ shelltest:shelltestrunner chromium:chromium node:nodejs npm:npm jq:jq \
    strace:strace parallel:parallel man:man-db groff:groff-base locale-gen:locales python3:python3; do
  command -v "${need%%:*}" >/dev/null 2>&1 || missing="$missing ${need#*:}"
done
[ -e /usr/include/gtest/gtest.h ] || missing="$missing libgtest-dev"
[ -x /usr/bin/time ] || missing="$missing time" # GNU time, for bench/run.sh's peak memory
for pkg in "$@"; do dpkg -s "$pkg" >/dev/null 2>&1 || missing="$missing $pkg"; done
if [ -n "$missing" ]; then
  echo "== installing:$missing"
  as_root apt-get update -qq
  # shellcheck disable=SC2086
  as_root apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

# A comma-decimal locale, to show that the output ignores the environment's.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\{0,1\}8'; then
  echo "== generating de_DE.UTF-8"
  echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi

if [ ! -d tests/browser/node_modules/playwright-core ]; then
  echo "== npm ci (tests/browser)"
  (cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
fi

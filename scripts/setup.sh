#!/usr/bin/env bash
# Installs whatever is missing (Debian packages, npm resources) and builds Tindlewick: everything
# (the app, the unit and X11 tests, the benchmarks), or with --app only the app and what it reads
# at run time (models, lists, highlight.js, icons, manual page), with only the packages those need.
# Idempotent: a second run with nothing changed only checks and rebuilds nothing.
#   scripts/setup.sh [--app] [build-dir] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
package_lists=("$root/scripts/packages.txt" "$root/scripts/test-packages.txt")
parts=(-DTINDLEWICK_TESTS=ON -DTINDLEWICK_BENCHMARKS=ON)
if [ "${1:-}" = --app ]; then
  package_lists=("$root/scripts/packages.txt")
  parts=(-DTINDLEWICK_TESTS=OFF -DTINDLEWICK_BENCHMARKS=OFF)
  shift
fi
build=${1:-$root/build}
shift || true

"$root/scripts/install-packages.sh" "${package_lists[@]}"

# npm resources: installed again only when the lock file changed.
if [ -f "$root/resources/package-lock.json" ]; then
  stamp="$root/resources/node_modules/.tindlewick-lock"
  if ! cmp -s "$root/resources/package-lock.json" "$stamp" 2>/dev/null; then
    (cd "$root/resources" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
    cp "$root/resources/package-lock.json" "$stamp"
  fi
fi

# Compiler cache keyed on paths relative to the checkout, so another clone of the same
# sources (CI builds a fresh one each time) still finds what an earlier build compiled.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${parts[@]}" "$@" >/dev/null
cmake --build "$build" -j "$jobs"

#!/usr/bin/env bash
# Builds the app alone (as scripts/setup.sh --app does: no tests, no benchmarks) and its Debian
# package from the install rules: <build-dir>/tindlewick_VERSION_ARCH.deb, installed with
# `sudo apt install ./build/tindlewick_*.deb`.
#   scripts/package.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$root/scripts/setup.sh" --app "$build"
cpack --config "$build/CPackConfig.cmake" -B "$build" >/dev/null
ls "$build"/tindlewick_*.deb

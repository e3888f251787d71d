#!/usr/bin/env bash
# Builds and runs the benchmarks (Release build in build-release/). Arguments go to
# Google Benchmark, e.g. --benchmark_filter=Store.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build-release" -DCMAKE_BUILD_TYPE=Release
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec "$root/build-release/bin/tindlewick_bench" "$@"

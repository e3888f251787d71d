#!/usr/bin/env bash
# Installs what is missing, builds the app (no tests, no benchmarks), and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" --app "$root/build"
exec "$root/build/bin/tindlewick" "$@"

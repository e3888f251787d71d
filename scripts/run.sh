#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tindlewick.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"
exec "$root/build/bin/tindlewick" "$@"

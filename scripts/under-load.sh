#!/usr/bin/env bash
# Runs a command while as many busy processes as the machine has cores keep every core
# occupied, as on a loaded CI machine, then stops them. Used to show that the tests wait
# for what they expect instead of assuming an idle machine.
#   scripts/under-load.sh [-n busy-processes] command [arguments...]
set -euo pipefail
busy=$(nproc 2>/dev/null || echo 2)
if [ "${1:-}" = "-n" ]; then busy=$2; shift 2; fi
[ $# -gt 0 ] || { echo "usage: scripts/under-load.sh [-n busy-processes] command [arguments...]" >&2; exit 2; }
pids=()
stop() { [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null || true; }
trap stop EXIT
for _ in $(seq 1 "$busy"); do
  ( while :; do :; done ) &
  pids+=($!)
done
echo "under-load: $busy busy processes" >&2
"$@"

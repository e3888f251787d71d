#!/usr/bin/env bash
# Runs the unit tests in one process again and again, each run in an order shuffled with a
# new random seed and repeated, to find tests that pass only in some orders. Prints each seed
# with its result; a failing seed repeats its order with
#   build/bin/tindlewick_tests --gtest_shuffle --gtest_random_seed=<seed> --gtest_repeat=<repeat>
#   scripts/shuffle-hunt.sh [runs (10)] [repeat (3)] [binary (build/bin/tindlewick_tests)]
# Extra gtest arguments go in TINDLEWICK_HUNT_ARGS (e.g. --gtest_filter=Recorder*).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10}
repeat=${2:-3}
binary=${3:-$root/build/bin/tindlewick_tests}
[ -x "$binary" ] || { echo "shuffle-hunt: no test binary at $binary (build first)" >&2; exit 2; }
logs=$(mktemp -d "${TMPDIR:-/tmp}/tindlewick-hunt-XXXXXX")
failed=()
for run in $(seq 1 "$runs"); do
  seed=$(( (RANDOM << 15 | RANDOM) % 99999 + 1 ))
  log="$logs/seed-$seed.log"
  # shellcheck disable=SC2086 # the extra arguments are words on purpose
  if "$binary" --gtest_shuffle --gtest_random_seed="$seed" --gtest_repeat="$repeat" --gtest_brief=1 \
    ${TINDLEWICK_HUNT_ARGS:-} >"$log" 2>&1; then
    echo "run $run/$runs seed $seed: passed ($repeat times)"
    rm -f "$log"
  else
    echo "run $run/$runs seed $seed: FAILED, log in $log"
    grep -E '^\[  FAILED  \]|left behind' "$log" | sort -u | head -n 10
    failed+=("$seed")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "${#failed[@]} of $runs runs failed: seeds ${failed[*]}"
  exit 1
fi
rmdir "$logs" 2>/dev/null
echo "all $runs runs passed"

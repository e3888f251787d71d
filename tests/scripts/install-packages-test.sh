#!/usr/bin/env bash
# Checks what scripts/install-packages.sh says and does while another package manager holds
# apt's locks, against an apt-get that answers as apt 2.6 does (its messages in English) and
# notes each call.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# APT_LOCKED="update install" names the commands that find their lock held, APT_LOCKED_TRIES how
# many times; APT_ERROR an error that is not a lock's.
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
command=$1
for word in "$@"; do case "$word" in update | install) command=$word ;; esac; done
echo "$command $*" >>"$STUB_CALLS"
tries=$(grep -c "^$command " "$STUB_CALLS")
# Given DPkg::Lock::Timeout, apt waits for the dpkg lock without a word; not for the lists' lock.
silent_wait=0
[ "$command" = install ] && [[ " $* " == *" DPkg::Lock::Timeout="* ]] && silent_wait=1
if [[ " $APT_LOCKED " == *" $command "* ]] && [ "$tries" -le "$APT_LOCKED_TRIES" ] && [ $silent_wait -eq 0 ]; then
  case "$command" in
    update) echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4243 (apt-get)"
            echo "N: Be aware that removing the lock file is not a solution and may break your system."
            echo "E: Unable to lock directory /var/lib/apt/lists/" ;;
    install) echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (unattended-upgr)"
             echo "N: Be aware that removing the lock file is not a solution and may break your system."
             echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" ;;
  esac >&2
  exit 100
fi
[ "$command" = install ] && [ -n "$APT_ERROR" ] && { echo "E: $APT_ERROR" >&2; exit 100; }
[ "$command" = install ] && echo "Setting up ${*: -1} ..."
exit 0
EOF
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/apt-get" "$work/bin/sudo"
echo "tindlewick-test-missing-package" >"$work/missing.txt"
echo "dpkg" >"$work/installed.txt"
npm_missing=0
command -v npm >/dev/null 2>&1 || npm_missing=1

failed=0
# name | list | locked commands | locked tries | other error | bound (s) | status 0? |
# apt-get calls (update install) | text the output must hold, '|'-separated ('!' = must not)
cases=(
  "nothing held|missing.txt|||||0|1 1|Installing: tindlewick-test-missing-package|Setting up|!Waiting"
  "dpkg lock held twice|missing.txt|install|2||600|0|1 3|Waiting for another package manager to finish (up to 600 s): /var/lib/dpkg/lock-frontend. It is held by process 4242 (unattended-upgr)|The other package manager has finished.|Setting up|!E: Could not get lock|!removing the lock file"
  "package lists' lock held once|missing.txt|update|1||600|0|2 1|Waiting for another package manager to finish (up to 600 s): /var/lib/apt/lists/lock. It is held by process 4243 (apt-get)|Setting up"
  "held past the bound|missing.txt|install|99||0|1|1 1|E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242|Another package manager still holds apt's lock|!Setting up"
  "another error|missing.txt|||Unable to locate package tindlewick-test-missing-package|600|1|1 1|E: Unable to locate package|!Waiting|!still holds"
  "nothing missing|installed.txt|||||0|$npm_missing $npm_missing|"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name list locked tries error bound status calls texts <<<"$row"
  : >"$work/calls"
  output=$(PATH="$work/bin:$PATH" STUB_CALLS="$work/calls" APT_LOCKED="$locked" APT_LOCKED_TRIES="${tries:-0}" \
    APT_ERROR="$error" TINDLEWICK_APT_LOCK_WAIT="${bound:-600}" \
    timeout 60 "$root/scripts/install-packages.sh" "$work/$list" 2>&1)
  got=$?
  problems=()
  { [ "$status" -eq 0 ] && [ "$got" -eq 0 ]; } || { [ "$status" -ne 0 ] && [ "$got" -ne 0 ] && [ "$got" -ne 124 ]; } \
    || problems+=("status $got")
  seen_calls="$(grep -c '^update ' "$work/calls") $(grep -c '^install ' "$work/calls")"
  [ "$seen_calls" = "$calls" ] || problems+=("apt-get update and install ran $seen_calls times, not $calls")
  IFS='|' read -r -a expected <<<"$texts"
  for text in "${expected[@]}"; do
    [ -n "$text" ] || continue
    if [ "${text:0:1}" = '!' ]; then
      ! grep -qF -- "${text:1}" <<<"$output" || problems+=("says '${text:1}'")
    else
      grep -qF -- "$text" <<<"$output" || problems+=("does not say '$text'")
    fi
  done
  if [ ${#problems[@]} -gt 0 ]; then
    failed=1
    printf 'FAIL %s: %s\n--- output:\n%s\n---\n' "$name" "$(IFS=';'; echo "${problems[*]}")" "$output"
  fi
done
[ "$failed" -eq 0 ] && echo "install-packages.sh: ${#cases[@]} cases pass"
exit "$failed"

#!/usr/bin/env bash
# Installs with apt (through sudo when not run as root) the Debian packages of the given lists
# (one a line, # comments) that are not installed yet, and nodejs and npm when npm is missing.
# While another package manager (unattended upgrades, often, on a fresh desktop) holds apt's
# lock it says so, names the holder, and waits for it, up to ten minutes.
#   scripts/install-packages.sh package-list...
set -euo pipefail
lock_wait_seconds=${TINDLEWICK_APT_LOCK_WAIT:-600}

missing=()
while read -r package; do
  case "$package" in '' | '#'*) continue ;; esac
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done < <(cat "$@")
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)
[ ${#missing[@]} -gt 0 ] || exit 0

if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null 2>&1; then
  echo "These packages are missing: ${missing[*]}" >&2
  echo "Install them as root (apt install ...), or install sudo, and run this again." >&2
  exit 1
fi
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Runs apt-get, and again while it fails on a lock that another process holds: apt's own wait
# (DPkg::Lock::Timeout) is silent under -qq and does not cover the package lists' lock. Its
# messages are read in English; those of a lock it could not get are shown once, as the wait.
lock_messages='^(E: (Could not get lock|Unable to (acquire|lock))|N: Be aware that removing the lock)'
apt_get() {
  local log status waited="" deadline=$((SECONDS + lock_wait_seconds))
  log=$(mktemp)
  while true; do
    set +o errexit
    as_root env LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>&1 | tee "$log" \
      | grep -E -v --line-buffered "$lock_messages"
    status=${PIPESTATUS[0]}
    set -o errexit
    [ "$status" -ne 0 ] && grep -q '^E: Could not get lock' "$log" && [ $SECONDS -lt $deadline ] || break
    if [ -z "$waited" ]; then
      echo "Waiting for another package manager to finish (up to $lock_wait_seconds s):" \
        "$(sed -n '/^E: Could not get lock /{s///p;q}' "$log")"
      waited=1
    fi
    sleep 2
  done
  if [ "$status" -ne 0 ]; then
    grep -E "$lock_messages" "$log" >&2 || true
    grep -q '^E: Could not get lock' "$log" \
      && echo "Another package manager still holds apt's lock: run this again once it has finished." >&2
  elif [ -n "$waited" ]; then
    echo "The other package manager has finished."
  fi
  rm -f "$log"
  return "$status"
}

echo "Installing: ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"

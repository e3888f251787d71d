#!/usr/bin/env bash
# Runs a command on a private Xvfb display with the openbox window manager (EWMH),
# then stops both. Used by the X11 tests.
#   scripts/with-xserver.sh command [arguments...]
# TINDLEWICK_XSERVER_DISPLAY=N uses display N instead of drawing one (for the test of this script).
set -euo pipefail
# A display number drawn at random from a wide range: a server that is shutting down removes its
# socket late, so a number just given back (what Xvfb's own -displayfd would pick) can lose its
# socket under the new server, and with it every client that connects afterwards.
# Clients reach the server as "unix:N", never ":N": with ":N" a client that finds no socket (the
# server not up yet, or gone) tries TCP port 6000+N, where a program that accepts and never
# answers holds it for good. Every wait below has a bound for the same reason.
xvfb=""
wm=""
# Stops both, and kills what has not ended 5 s later.
stop() {
  local running
  kill $wm $xvfb 2>/dev/null || true
  for _ in $(seq 1 50); do
    running=""
    for process in $wm $xvfb; do kill -0 "$process" 2>/dev/null && running+=" $process"; done
    [ -n "$running" ] || return 0
    sleep 0.1
  done
  kill -KILL $running 2>/dev/null || true
}
trap stop EXIT
# Asks the X server $1 something, for at most $2 seconds.
ask() { timeout -k 1 "$2" env DISPLAY="$1" "${@:3}"; }

display=""
deadline=$((SECONDS + 60))
for _ in $(seq 1 30); do
  n=${TINDLEWICK_XSERVER_DISPLAY:-$((200 + RANDOM % 3800))}
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1920x1080x24 -ac -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  while [ $SECONDS -lt $deadline ] && kill -0 "$xvfb" 2>/dev/null; do
    ask "unix:$n" 5 xdpyinfo >/dev/null 2>&1 && { display="unix:$n"; break; }
    sleep 0.1
  done
  [ -n "$display" ] || [ $SECONDS -ge $deadline ] && break
  kill "$xvfb" 2>/dev/null || true
  xvfb=""
done
[ -n "$display" ] || { echo "with-xserver: Xvfb did not start within 60 s" >&2; exit 1; }
export DISPLAY=$display
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Before the window manager is up xprop answers "no such atom on any window": wait for the
# property's value, or the first window mapped may never be managed. On a loaded machine openbox
# can take several seconds to start: wait up to 60 s, and say so when it never came up.
wm_ready=""
deadline=$((SECONDS + 60))
while [ $SECONDS -lt $deadline ]; do
  ask "$display" 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { wm_ready=1; break; }
  if ! kill -0 "$wm" 2>/dev/null; then
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
  fi
  sleep 0.1
done
[ -n "$wm_ready" ] || echo "with-xserver: the window manager did not start within 60 s" >&2
export QT_QPA_PLATFORM=xcb
"$@"

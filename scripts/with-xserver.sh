#!/usr/bin/env bash
# Runs a command on a private Xvfb display with the openbox window manager (EWMH),
# then stops both. Used by the X11 tests.
#   scripts/with-xserver.sh command [arguments...]
set -euo pipefail
# A display number drawn at random from a wide range: a server that is shutting down removes its
# socket late, so a number just given back (what Xvfb's own -displayfd would pick) can lose its
# socket under the new server, and with it every client that connects afterwards.
xvfb=""
wm=""
cleanup() { kill $wm $xvfb 2>/dev/null || true; wait 2>/dev/null || true; }
trap cleanup EXIT
display=""
for _ in $(seq 1 30); do
  n=$((200 + RANDOM % 3800))
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1920x1080x24 -ac -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 300); do
    kill -0 "$xvfb" 2>/dev/null || break
    DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && { display=":$n"; break; }
    sleep 0.1
  done
  [ -n "$display" ] && break
  kill "$xvfb" 2>/dev/null || true
  xvfb=""
done
[ -n "$display" ] || { echo "with-xserver: Xvfb did not start" >&2; exit 1; }
export DISPLAY=$display
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Before the window manager is up xprop answers "no such atom on any window": wait for the
# property's value, or the first window mapped may never be managed. On a loaded machine openbox
# can take several seconds to start: wait up to 60 s, and say so when it never came up.
wm_ready=""
for _ in $(seq 1 600); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { wm_ready=1; break; }
  if ! kill -0 "$wm" 2>/dev/null; then
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
  fi
  sleep 0.1
done
[ -n "$wm_ready" ] || echo "with-xserver: the window manager did not start within 60 s" >&2
export QT_QPA_PLATFORM=xcb
"$@"

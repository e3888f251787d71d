#!/usr/bin/env bash
# Runs a command on a private Xvfb display with the openbox window manager (EWMH),
# then stops both. Used by the X11 tests.
#   scripts/with-xserver.sh command [arguments...]
set -euo pipefail
# Xvfb picks a free display itself (-displayfd), so several test runs can start at once.
fifo=$(mktemp -u /tmp/with-xserver.XXXXXX)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -ac -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r -t 10 number <"$fifo" || number=""
rm -f "$fifo"
[ -n "$number" ] || { echo "with-xserver: Xvfb did not start" >&2; kill "$xvfb" 2>/dev/null; exit 1; }
display=":$number"
cleanup() { kill "$wm" "$xvfb" 2>/dev/null || true; wait 2>/dev/null || true; }
wm=""
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 1 300); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Before the window manager is up xprop answers "no such atom on any window": wait for the
# property's value, or the first window mapped may never be managed. On a loaded machine openbox
# can take several seconds to start: wait up to 60 s, and say so when it never came up.
wm_ready=""
for _ in $(seq 1 600); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { wm_ready=1; break; }
  sleep 0.1
done
[ -n "$wm_ready" ] || echo "with-xserver: the window manager did not start within 60 s" >&2
export QT_QPA_PLATFORM=xcb
"$@"

#!/usr/bin/env bash
# Checks that scripts/with-xserver.sh starts its X server and window manager in bounded time and
# reaches them through the local socket only, although a program on the display's TCP port
# accepts every connection and never answers. An Xvfb that makes its socket a second late keeps
# the script's first probes ahead of the server, where a client given ":N" falls back to TCP.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bound=120
for tool in Xvfb openbox xdpyinfo python3 timeout; do
  command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is not installed"; exit 1; }
done
work=$(mktemp -d)
listener=""
display_number=""
cleanup() {
  [ -n "$listener" ] && kill "$listener" 2>/dev/null
  # An X server left behind by a script that was stopped.
  if [ -n "$display_number" ] && [ -f "/tmp/.X$display_number-lock" ]; then
    server=$(tr -dc 0-9 <"/tmp/.X$display_number-lock")
    [ -n "$server" ] && [ "$(cat "/proc/$server/comm" 2>/dev/null)" = Xvfb ] && kill "$server"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Accepts connections on the port, notes each in $2 and never answers; $3 says it listens.
cat >"$work/listener.py" <<'EOF'
import socket, sys
server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(16)
try:
    extra = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
    extra.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
    extra.bind(("::1", int(sys.argv[1])))
    extra.listen(16)
except OSError:
    extra = None
open(sys.argv[3], "w").close()
import select
held = []
while True:
    ready, _, _ = select.select([s for s in (server, extra) if s], [], [])
    for s in ready:
        held.append(s.accept()[0])
        with open(sys.argv[2], "a") as log:
            log.write("connection\n")
EOF

# A display number free here whose TCP port the listener could take.
for _ in $(seq 1 40); do
  n=$((200 + RANDOM % 3800))
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  python3 "$work/listener.py" $((6000 + n)) "$work/connections" "$work/listening" 2>/dev/null &
  listener=$!
  for _ in $(seq 1 50); do
    [ -e "$work/listening" ] && break
    kill -0 "$listener" 2>/dev/null || break
    sleep 0.1
  done
  [ -e "$work/listening" ] && { display_number=$n; break; }
  kill "$listener" 2>/dev/null
  listener=""
done
[ -n "$display_number" ] || { echo "FAIL: found no free display number with a free TCP port"; exit 1; }

# An Xvfb that starts a second late.
mkdir "$work/bin"
printf '#!/bin/sh\nsleep 1\nexec %s "$@"\n' "$(command -v Xvfb)" >"$work/bin/Xvfb"
chmod +x "$work/bin/Xvfb"

started=$SECONDS
PATH="$work/bin:$PATH" TINDLEWICK_XSERVER_DISPLAY=$display_number \
  timeout -k 5 "$bound" "$root/scripts/with-xserver.sh" \
  sh -c 'printf "%s" "$DISPLAY" >"$1" && xprop -root _NET_SUPPORTING_WM_CHECK >>"$1"' sh "$work/seen"
status=$?
took=$((SECONDS - started))

failed=0
fail() { echo "FAIL: $*"; failed=1; }
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  fail "with-xserver.sh had not finished after $bound s"
elif [ "$status" -ne 0 ]; then
  fail "with-xserver.sh ended with status $status"
fi
seen=$(cat "$work/seen" 2>/dev/null)
case "$seen" in
  "unix:$display_number"*"window id"*) ;;
  *) fail "the command saw DISPLAY and window manager '$seen', not unix:$display_number with a window manager" ;;
esac
[ -s "$work/connections" ] \
  && fail "$(wc -l <"$work/connections") connection(s) went to TCP port $((6000 + display_number)) instead of the local socket"
[ "$failed" -eq 0 ] && echo "with-xserver.sh started display :$display_number in $took s through its local socket"
exit "$failed"

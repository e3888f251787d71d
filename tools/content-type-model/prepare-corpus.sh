#!/usr/bin/env bash
# Installs the Debian packages whose files the content-type model learns from, and unpacks
# the source archives among them into a corpus folder (default /tmp/tindlewick-corpus), and
# renders a share of the manual pages to plain text there.
#   tools/content-type-model/prepare-corpus.sh [corpus folder]
set -euo pipefail
corpus=${1:-/tmp/tindlewick-corpus}
here=$(cd "$(dirname "$0")" && pwd)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
packages=$(grep -v '^#' "$here/packages.txt" | xargs)
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $packages

mkdir -p "$corpus"
[ -d "$corpus/linux-source-6.1" ] || tar -C "$corpus" -xf /usr/src/linux-source-6.1.tar.xz
[ -d "$corpus/glibc-2.36" ] || tar -C "$corpus" -xf /usr/src/glibc/glibc-2.36.tar.xz
if [ ! -d "$corpus/jdk" ]; then
  mkdir -p "$corpus/jdk"
  (cd "$corpus/jdk" && unzip -q /usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip)
fi
# Manual pages as plain text, for their prose: every third page of sections 1, 5 and 8 in
# name order, rendered 80 columns wide without overstriking. The pages of a cloud SDK that
# some machines carry from outside Debian's archive are left out.
if [ ! -d "$corpus/man-text" ]; then
  mkdir -p "$corpus/man-text"
  foreign=$(mktemp)
  for package in google-cloud-cli google-cloud-sdk; do dpkg -L "$package" 2>/dev/null || true; done \
    | LC_ALL=C sort > "$foreign"
  find /usr/share/man/man1 /usr/share/man/man5 /usr/share/man/man8 -maxdepth 1 -type f -name '*.gz' \
    | LC_ALL=C sort | LC_ALL=C comm -23 - "$foreign" | awk 'NR % 3 == 0' \
    | xargs -P "$(nproc)" -I{} sh -c \
        'MANWIDTH=80 man -l "$1" 2>/dev/null | col -bx > "$2/$(basename "$1" .gz).txt"' _ {} "$corpus/man-text"
  rm -f "$foreign"
fi
echo "Corpus ready in $corpus"

#!/usr/bin/env bash
# Installs the Debian packages whose files the content-type model learns from, and unpacks
# the source archives among them into a corpus folder (default /tmp/tindlewick-corpus).
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
echo "Corpus ready in $corpus"

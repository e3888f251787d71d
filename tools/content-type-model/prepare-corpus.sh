#!/usr/bin/env bash
# Gathers the files the content-type model learns from (see packages.txt and corpus.txt):
# installs the Debian packages, downloads and unpacks the others, the source packages and
# the npm packages into a corpus folder (default /tmp/tindlewick-corpus), unpacks the
# source archives among them, and renders a share of the manual pages to plain text there.
#   tools/content-type-model/prepare-corpus.sh [corpus folder]
set -euo pipefail
corpus=${1:-/tmp/tindlewick-corpus}
here=$(cd "$(dirname "$0")" && pwd)
list="$here/packages.txt"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
entries() { grep -v '^#' "$list" | awk -v kind="$1" 'NF == 2 && $1 == kind { print $2 }'; }

# Source packages need a deb-src entry; add one for bookworm when none is configured.
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    | as_root tee /etc/apt/sources.list.d/tindlewick-corpus-src.sources >/dev/null
fi
as_root apt-get update -qq
installs=$(grep -v '^#' "$list" | awk 'NF == 1' | xargs)
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $installs dpkg-dev

mkdir -p "$corpus"/{deb,src,npm,downloads}
corpus=$(cd "$corpus" && pwd)
cd "$corpus/downloads"
for package in $(entries download); do
  [ -d "$corpus/deb/$package" ] && continue
  apt-get download "$package"
  dpkg -x "$package"_*.deb "$corpus/deb/$package"
done
# Clojure libraries ship their sources inside their jars. (unzip makes only the last folder
# of its target, and most packages have no jars at all.)
for package in $(entries download); do
  [ -d "$corpus/deb/$package/usr/share/java" ] && [ ! -d "$corpus/deb/$package/jar-src" ] || continue
  find "$corpus/deb/$package/usr/share/java" -maxdepth 1 -type f -name '*.jar' | LC_ALL=C sort \
    | while read -r jar; do
        target="$corpus/deb/$package/jar-src/$(basename "$jar" .jar)"
        mkdir -p "$target"
        unzip -qo "$jar" '*.clj' '*.cljc' -d "$target" 2>/dev/null || true
      done
done
# Packages of Debian 11, found in its package index and checked against the index's
# checksum before they are unpacked.
old_index=""
for package in $(entries bullseye); do
  [ -d "$corpus/deb/$package" ] && continue
  if [ -z "$old_index" ]; then
    old_index="$corpus/downloads/bullseye-Packages"
    for arch in all amd64; do
      curl -fsS "http://deb.debian.org/debian/dists/bullseye/main/binary-$arch/Packages.xz" | xz -d
    done > "$old_index"
  fi
  record=$(awk -v name="$package" '$0 == "Package: " name { found = 1 } found && /^$/ { exit } found' "$old_index")
  file=$(echo "$record" | awk '/^Filename: / { print $2 }')
  sum=$(echo "$record" | awk '/^SHA256: / { print $2 }')
  [ -n "$file" ] || { echo "$package is not in Debian 11" >&2; exit 1; }
  curl -fsS -o "$(basename "$file")" "http://deb.debian.org/debian/$file"
  echo "$sum  $(basename "$file")" | sha256sum -c --quiet
  dpkg -x "$(basename "$file")" "$corpus/deb/$package"
done
for package in $(entries source); do
  [ -d "$corpus/src/$package" ] && continue
  apt-get source --download-only "$package"
  dpkg-source --no-check -x "$(ls "$package"_*.dsc | head -n 1)" "$corpus/src/$package" >/dev/null
done
for spec in $(entries npm); do
  name=${spec%@*}; version=${spec##*@}
  folder="$corpus/npm/$(echo "$name" | sed 's|^@||; s|/|-|')-$version"
  [ -d "$folder" ] && continue
  tarball=$(npm pack --silent "$spec" | tail -n 1)
  mkdir -p "$folder" && tar -C "$folder" -xzf "$tarball" --strip-components=1
done
cd "$corpus"

[ -d linux-source-6.1 ] || tar -xf /usr/src/linux-source-6.1.tar.xz
[ -d glibc-2.36 ] || tar -xf /usr/src/glibc/glibc-2.36.tar.xz
if [ ! -d jdk ]; then
  mkdir -p jdk
  (cd jdk && unzip -q /usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip)
fi
# The test suites and run-time libraries of GCC's Fortran and Objective-C front ends.
if [ ! -d gcc-12 ]; then
  mkdir -p gcc-12
  tar -C gcc-12 -xJf deb/gcc-12-source/usr/src/gcc-12/gcc-12.2.0-dfsg.tar.xz --strip-components=1 --wildcards \
    '*/gcc/testsuite/gfortran.dg/*' '*/gcc/testsuite/objc.dg/*' '*/gcc/testsuite/objc/*' '*/libgfortran/*' '*/libobjc/*'
fi
# Manual pages as plain text, for their prose, 80 columns wide without overstriking, in a
# folder per package: every third installed page of sections 1, 5 and 8 in name order (the
# pages of a cloud SDK that some machines carry from outside Debian's archive are left out),
# and every fifth page of section 1 of the German, French, Spanish, Italian and Polish
# manual pages.
render() { # page-file package
  mkdir -p "$corpus/man-text/$2"
  MANWIDTH=80 man -l "$1" 2>/dev/null | col -bx > "$corpus/man-text/$2/$(basename "$1" .gz).txt"
}
export -f render; export corpus
if [ ! -d man-text ]; then
  foreign=$(mktemp)
  for package in google-cloud-cli google-cloud-sdk; do dpkg -L "$package" 2>/dev/null || true; done \
    | LC_ALL=C sort > "$foreign"
  find /usr/share/man/man1 /usr/share/man/man5 /usr/share/man/man8 -maxdepth 1 -type f -name '*.gz' \
    | LC_ALL=C sort | LC_ALL=C comm -23 - "$foreign" | awk 'NR % 3 == 0' \
    | xargs dpkg -S 2>/dev/null | sed 's/^\([^:,]*\)[^ ]* \(.*\)$/\2 \1/' \
    | xargs -P 3 -n 2 bash -c 'render "$0" "$1"'
  for language in de fr es it pl; do
    find "deb/manpages-$language/usr/share/man/$language/man1" -type f -name '*.gz' | LC_ALL=C sort \
      | awk 'NR % 5 == 0' | xargs -P 3 -I{} bash -c 'render "$0" "$1"' {} "manpages-$language"
  done
  rm -f "$foreign"
fi
echo "Corpus ready in $corpus"

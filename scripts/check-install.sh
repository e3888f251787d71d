#!/usr/bin/env bash
# Checks the installation of a finished build, without building anything:
#  1. installs it into a temporary folder as a package would (DESTDIR, prefix /usr) and checks
#     the layout, the menu entry (desktop-file-validate), --version/--help, the manual page's
#     options and keys, and the copyright file (Debian's format, a licence text for each licence
#     named, a paragraph for each piece shipped from elsewhere);
#  2. starts the installed program under Xvfb with a private home and sees a copied code snippet
#     stored as a code item (which takes the installed models) and the panel open on Control+Space;
#  3. builds the Debian package from the same install rules and fails on a file outside usr/, a
#     missing copyright file or changelog, or a changelog of another version.
#   scripts/check-install.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

fail() {
  echo "check-install: $*" >&2
  exit 1
}

# Polls a command every 0.2 s until it succeeds or the seconds run out.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# A snippet that only the models recognise as code (the patterns take it for text), with the
# language they give it.
snippet=$'local function greet(name)\n  return "Hello, " .. name\nend\nprint(greet("world"))\n'
snippet_language=lua

code_items() {
  sqlite3 -readonly "$1" "SELECT count(*) FROM ClipboardItem WHERE itemType = 'code'
    AND codeLanguage = '$snippet_language' AND guesslangLanguage IS NOT NULL
    AND textContent LIKE 'local function greet(name)%'" 2>/dev/null
}
has_code_item() { [ "$(code_items "$1")" = 1 ]; }
app_running() { kill -0 "$app" 2>/dev/null || fail "the installed app quit: $(cat "$1")"; }
copy_until_stored() {
  app_running "$2"
  printf "%s" "$snippet" | xclip -selection clipboard 2>/dev/null
  wait_for 2 has_code_item "$1"
}
app_gone() { ! kill -0 "$app" 2>/dev/null; }
panel_shown() { xdotool search --onlyvisible --pid "$app" >/dev/null 2>&1; }
open_panel() {
  app_running "$1"
  xdotool key ctrl+space
  wait_for 1 panel_shown
}

# The keys of the panel that the manual page names in its KEYS section.
panel_keys=(Down Up Left Right Return Escape Tab Shift+Tab Control+K Control+P Control+. Control+1 Control+7
  /clear /emoji)
check_manual_keys() {
  local keys
  keys=$(zcat "$1" | sed -n '/^\.SH KEYS/,/^\.SH [^K]/p')
  [ -n "$keys" ] || fail "the manual page has no KEYS section"
  for key in "${panel_keys[@]}"; do
    grep -qF -- "$key" <<<"$keys" || fail "the manual page's KEYS section does not name $key"
  done
}

# Third-party pieces installed under share/tindlewick, each to be named by the copyright file.
third_party=(highlight.min.js highlight-styles.json guesslang.bin public_suffix_list.dat)
check_copyright() {
  local file=$1 missing
  head -n 1 "$file" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    || fail "$file is not in Debian's copyright format"
  grep -qx 'Files: \*' "$file" || fail "$file has no paragraph for the project's own files"
  # A licence named in a Files paragraph needs its text there or in a paragraph of its own.
  missing=$(awk 'BEGIN { RS = ""; FS = "\n" }
    { files = 0; name = ""; text = 0
      for (i = 1; i <= NF; i++) {
        if ($i ~ /^Files:/) files = 1
        if ($i ~ /^License:/) { name = $i; sub(/^License: */, "", name); text = i < NF && $(i + 1) ~ /^ / }
      }
      if (name == "") next
      if (files) used[name] = 1
      if (text) given[name] = 1 }
    END { for (name in used) if (!(name in given)) print name }' "$file")
  [ -z "$missing" ] || fail "$file names licences without their text: $missing"
  for piece in "${third_party[@]}"; do
    grep -Eq "^Files:.* usr/share/tindlewick/$piece( |\$)" "$file" || fail "$file does not name $piece"
  done
}

# Step 2, run by with-xserver.sh: $1 the installed program, $2 a fresh home, $3 the folder for
# the screenshot, $4 the menu entry's StartupWMClass.
check_running_app() {
  local program=$1 home=$2 artefacts=$3 wm_class=$4
  mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
  export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache
  export XDG_RUNTIME_DIR=$home/runtime
  unset TINDLEWICK_RESOURCE_DIR
  local store=$XDG_DATA_HOME/Tindlewick/default.store log=$home/app.log window
  "$program" >"$log" 2>&1 &
  app=$!
  trap 'kill $app 2>/dev/null || true' EXIT

  wait_for 60 test -s "$store" || fail "the installed app made no store at $store: $(cat "$log")"
  # The app may start watching the clipboard a moment after it made its store: copy again
  # until the item is there.
  wait_for 60 copy_until_stored "$store" "$log" || fail "no $snippet_language code item in the store:" \
    "$(sqlite3 -readonly "$store" 'SELECT itemType, codeLanguage, guesslangLanguage FROM ClipboardItem')" \
    "$(cat "$log")"
  ! grep -E 'Could not (find|read)' "$log" || fail "the installed app misses a resource"
  echo "check-install: the copied snippet is stored as $snippet_language code"

  wait_for 60 open_panel "$log" || fail "no window of the installed app appeared on Control+Space: $(cat "$log")"
  window=$(xdotool search --onlyvisible --pid "$app" | head -n 1)
  xprop -id "$window" WM_CLASS | grep -q "\"$wm_class\"\$" \
    || fail "the panel's WM_CLASS ($(xprop -id "$window" WM_CLASS)) is not the menu entry's $wm_class"
  xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (' || fail "the panel has no icon"
  mkdir -p "$artefacts"
  import -window root "$artefacts/installed-app-panel.png" 2>/dev/null || true
  echo "check-install: Control+Space opens the panel (window $window, WM_CLASS $wm_class, with its icon)"

  kill -TERM "$app"
  wait_for 10 app_gone || fail "the installed app did not quit on SIGTERM"
}

if [ "${1:-}" = --running-app ]; then
  shift
  check_running_app "$@"
  exit 0
fi

build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 1. The installed layout.
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
for file in bin/tindlewick share/tindlewick/Magika.mlmodelc/model.bin share/tindlewick/magika_labels.txt \
  share/tindlewick/guesslang.bin share/tindlewick/highlight.min.js share/tindlewick/highlight-styles.json \
  share/tindlewick/adult_domains.txt share/tindlewick/public_suffix_list.dat \
  share/applications/tindlewick.desktop share/icons/hicolor/scalable/apps/tindlewick.svg \
  share/icons/hicolor/16x16/apps/tindlewick.png share/icons/hicolor/48x48/apps/tindlewick.png \
  share/icons/hicolor/256x256/apps/tindlewick.png share/man/man1/tindlewick.1.gz \
  share/doc/tindlewick/copyright share/doc/tindlewick/changelog.gz; do
  [ -e "$stage/usr/$file" ] || fail "usr/$file is not installed"
done
entry=$stage/usr/share/applications/tindlewick.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
grep -qx 'Exec="/usr/bin/tindlewick"' "$entry" || fail "the menu entry does not start /usr/bin/tindlewick"
grep -qx 'Exec="/usr/bin/tindlewick" --settings' "$entry" \
  || fail "the menu entry's Settings action does not start /usr/bin/tindlewick --settings"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$wm_class" ] || fail "the menu entry has no StartupWMClass"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$(env -u DISPLAY "$stage/usr/bin/tindlewick" --version)" = "Tindlewick $version" ] \
  || fail "--version does not say Tindlewick $version"
env -u DISPLAY "$stage/usr/bin/tindlewick" --help | grep -qx "  $stage/usr/share/tindlewick" \
  || fail "--help does not name the installed resources"
env -u DISPLAY "$stage/usr/bin/tindlewick" --help | grep -q -- "--settings" || fail "--help does not list --settings"
zcat "$stage/usr/share/man/man1/tindlewick.1.gz" | grep -qF '\-\-settings' || fail "the manual page does not list --settings"
check_manual_keys "$stage/usr/share/man/man1/tindlewick.1.gz"
check_copyright "$stage/usr/share/doc/tindlewick/copyright"
echo "check-install: installed $(find "$stage" -type f | wc -l) files under usr/; the menu entry is valid"

# 2. The installed program at work.
"$root/scripts/with-xserver.sh" "$0" --running-app "$stage/usr/bin/tindlewick" "$work/home" \
  "$build/artefacts" "$wm_class"

# 3. The Debian package, from the build as it is.
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 \
  || fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(find "$work/package" -maxdepth 1 -name 'tindlewick_*.deb' | head -n 1)
[ -n "$deb" ] || fail "cpack wrote no tindlewick_*.deb: $(cat "$work/cpack.log")"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
outside=$(grep -vE '^\./(usr/.*)?$' <<<"$contents" || true)
[ -z "$outside" ] || fail "the package installs outside usr/: $outside"
for file in usr/bin/tindlewick usr/share/doc/tindlewick/copyright usr/share/doc/tindlewick/changelog.gz; do
  grep -qx "./$file" <<<"$contents" || fail "the package lacks $file"
done
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tindlewick/changelog.gz | gzip -dc >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$(dpkg-deb -f "$deb" Version)" ] \
  || fail "the package's changelog does not end at its version $(dpkg-deb -f "$deb" Version)"
for field in Maintainer Description Section Priority; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
done
echo "check-install: $(basename "$deb"): $(grep -vc '/$' <<<"$contents") files, all under usr/, with its" \
  "copyright file and changelog;" \
  "Depends: $(dpkg-deb -f "$deb" Depends)"

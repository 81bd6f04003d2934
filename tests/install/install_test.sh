#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop finds there: the programs,
# the desktop entry, the icons, the man pages, the guide, and a message base recognised by the
# MIME database both by its name and, renamed, by its first bytes.
set -euo pipefail
build=$(cd "$1" && pwd) samples=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for file in bin/vireo bin/vireo-cli share/applications/vireo.desktop share/mime/packages/vireo-dbx.xml \
            share/icons/hicolor/scalable/apps/vireo.svg share/man/man1/vireo.1 share/man/man1/vireo-cli.1 \
            share/vireo/help/index.html; do
  [ -s "$prefix/$file" ] || fail "$file not installed"
done
for size in 16 32 48 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/vireo.png
  [ -s "$png" ] || fail "no ${size}x${size} icon"
  # The PNG header's width and height, big-endian at bytes 16 and 20.
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
  [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "${size}x${size} icon is ${width}x${height}"
done
grep -q '^MimeType=application/x-outlook-express-dbx;$' "$prefix/share/applications/vireo.desktop" ||
  fail "the desktop entry does not offer Vireo for message bases"
grep -q '^Categories=Office;Email;$' "$prefix/share/applications/vireo.desktop" || fail "categories"

"$prefix/bin/vireo-cli" info "$samples/Inbox.dbx" >/dev/null || fail "the installed vireo-cli does not run"

XDG_DATA_DIRS="$prefix/share:/usr/share" update-mime-database "$prefix/share/mime"
cp "$samples/Inbox.dbx" "$work/Inbox.dbx"
cp "$samples/Inbox.dbx" "$work/renamed-base"
printf 'just some text\n' > "$work/notes.txt"
query() {
  XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$work/none" XDG_CURRENT_DESKTOP=GNOME \
    xdg-mime query filetype "$1"
}
[ "$(query "$work/Inbox.dbx")" = application/x-outlook-express-dbx ] || fail "Inbox.dbx is $(query "$work/Inbox.dbx")"
[ "$(query "$work/renamed-base")" = application/x-outlook-express-dbx ] ||
  fail "a renamed base is $(query "$work/renamed-base")"
[ "$(query "$work/notes.txt")" != application/x-outlook-express-dbx ] || fail "a text file taken for a base"
echo "installed and recognised"

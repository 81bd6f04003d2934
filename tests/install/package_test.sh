#!/usr/bin/env bash
# Makes the Debian package from the build and looks inside it: its dependencies come from the
# libraries the programs link, and it holds everything `cmake --install` puts in place.
set -euo pipefail
build=$(cd "$1" && pwd) samples=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(find "$work/out" -maxdepth 1 -name 'vireo_*.deb' | head -n 1)
[ -n "$deb" ] || fail "no package made"

dpkg-deb -I "$deb" > "$work/info"
depends=$(sed -n 's/^ Depends: //p' "$work/info")
[ -n "$depends" ] || fail "the package names no dependencies"
for library in libqt6webenginewidgets6 libgmime-3.0 libuchardet libhivex libgumbo libqt6svg6 libqt6webenginecore6-bin; do
  grep -q "$library" <<<"$depends" || fail "$library missing from Depends: $depends"
done

dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|' > "$work/contents"
for file in /usr/bin/vireo /usr/bin/vireo-cli /usr/share/applications/vireo.desktop \
            /usr/share/mime/packages/vireo-dbx.xml /usr/share/icons/hicolor/scalable/apps/vireo.svg \
            /usr/share/icons/hicolor/48x48/apps/vireo.png /usr/share/man/man1/vireo.1 \
            /usr/share/man/man1/vireo-cli.1 /usr/share/vireo/help/index.html; do
  grep -qx "$file" "$work/contents" || fail "$file not in the package"
done

dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/vireo-cli" list "$samples/Inbox.dbx" >/dev/null || fail "the packaged vireo-cli does not run"
echo "package: $(basename "$deb")"
echo "Depends: $depends"

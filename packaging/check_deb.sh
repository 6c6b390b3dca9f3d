#!/bin/sh
# Builds the Debian package into a temporary folder and checks what apt needs to install it on a
# fresh Debian 12: the Qt runtime libraries, the X11 platform plugin, the fonts and Qt's Italian
# texts as dependencies, and the program, its menu entry and its icon as contents.
#   check_deb.sh <cpack> <build dir>
set -eu

cpack=$1
build=$2
command -v dpkg-deb >/dev/null 2>&1 || { echo "SKIP: dpkg-deb is not installed"; exit 77; }
out=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-deb.XXXXXX")
trap 'rm -rf "$out"' EXIT

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; exit 1; }
deb=$(ls "$out"/quorvel_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: cpack made no quorvel_*.deb" >&2; cat "$out/cpack.log" >&2; exit 1; }

status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 qt6-qpa-plugins \
    fonts-liberation2 qt6-translations-l10n; do
    # A dependency is a whole package name, optionally followed by a version constraint.
    echo ", $depends," | grep -Eq ", $package( \([^)]*\))?," || fail "Depends lacks $package: $depends"
done
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/quorvel ./usr/share/applications/quorvel.desktop \
    ./usr/share/icons/hicolor/scalable/apps/quorvel.svg; do
    echo "$contents" | grep -q " $path\$" || fail "package lacks $path"
done
[ "$(dpkg-deb -f "$deb" Package)" = quorvel ] || fail "package name is not quorvel"

[ "$status" -eq 0 ] && echo "$(basename "$deb"): Depends: $depends"
exit "$status"

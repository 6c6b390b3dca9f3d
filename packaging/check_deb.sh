#!/bin/sh
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the Debian package into a temporary folder and checks what apt needs to install it on a
# fresh Debian 12: the Qt runtime libraries, the X11 platform plugin, the fonts and Qt's Italian
# texts as dependencies; the program, its menu entry, its icon, its software-centre entry, its
# manual page and its licence as contents; and no error or warning from lintian (each one
# accepted would be overridden in the package, with its reason). Exits 77 (skipped) without
# dpkg-deb or lintian.
#   check_deb.sh <cpack> <build dir> <app id>
set -eu

cpack=$1
build=$2
id=$3
for tool in dpkg-deb lintian; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
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
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libgif7 qt6-qpa-plugins \
    fonts-liberation2 qt6-translations-l10n; do
    # A dependency is a whole package name, optionally followed by a version constraint.
    echo ", $depends," | grep -Eq ", $package( \([^)]*\))?," || fail "Depends lacks $package: $depends"
done
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/quorvel ./usr/share/applications/$id.desktop \
    ./usr/share/icons/hicolor/scalable/apps/quorvel.svg ./usr/share/metainfo/$id.metainfo.xml \
    ./usr/share/man/man1/quorvel.1.gz ./usr/share/doc/quorvel/copyright \
    ./usr/share/doc/quorvel/changelog.gz; do
    echo "$contents" | grep -q " $path\$" || fail "package lacks $path"
done
[ "$(dpkg-deb -f "$deb" Package)" = quorvel ] || fail "package name is not quorvel"

# Errors (E:) and warnings (W:) fail; notes (I:, P:) are only shown. Lintian says more than once
# that it should not run as root: that line is not about the package.
rc=0
lintian --pedantic --display-info "$deb" >"$out/lintian.log" 2>&1 || rc=$?
# 1: tags at the failing level were found (told below); more: lintian itself did not run.
[ "$rc" -le 1 ] || fail "lintian ended with status $rc"
grep -v 'running with root privileges' "$out/lintian.log" || true
if grep -Eq '^(E|W): ' "$out/lintian.log"; then
    fail "lintian reports errors or warnings"
fi

[ "$status" -eq 0 ] && echo "$(basename "$deb"): Depends: $depends"
exit "$status"

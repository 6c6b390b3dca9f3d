#!/bin/sh
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs the build into a temporary prefix and checks what a desktop needs to find and start
# the program: the executable, its menu entry (in the Education and Math menus) and its icon;
# what a software centre lists (the AppStream entry), the manual page and the licence.
#   check_install.sh <cmake> <build dir> <app id>
set -eu

cmake=$1
build=$2
id=$3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix"

status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

program=$prefix/bin/quorvel
desktop=$prefix/share/applications/$id.desktop
icon=$prefix/share/icons/hicolor/scalable/apps/quorvel.svg
metainfo=$prefix/share/metainfo/$id.metainfo.xml
page=$prefix/share/man/man1/quorvel.1.gz
copyright=$prefix/share/doc/quorvel/copyright

[ -x "$program" ] || fail "no executable $program"
[ -s "$icon" ] || fail "no icon $icon"
grep -q '<svg' "$icon" 2>/dev/null || fail "$icon is not an SVG image"
if [ -f "$desktop" ]; then
    grep -qx 'Categories=Education;Math;' "$desktop" || fail "$desktop: not in Education;Math;"
    # The entry starts the installed program by name and shows the installed icon.
    grep -qx 'Exec=quorvel' "$desktop" || fail "$desktop: Exec is not the installed program"
    grep -qx 'Icon=quorvel' "$desktop" || fail "$desktop: Icon is not the installed icon"
    if command -v desktop-file-validate >/dev/null 2>&1; then
        desktop-file-validate "$desktop" || fail "$desktop: desktop-file-validate objects"
    fi
else
    fail "no desktop entry $desktop"
fi

if [ -f "$metainfo" ]; then
    if command -v appstreamcli >/dev/null 2>&1; then
        appstreamcli validate --no-net "$metainfo" || fail "$metainfo: appstreamcli objects"
    fi
else
    fail "no software-centre entry $metainfo"
fi
if [ -f "$page" ]; then
    gzip -t "$page" || fail "$page is not a gzip file"
    # `man quorvel` finds the page through MANPATH as it finds an installed one.
    if command -v man >/dev/null 2>&1; then
        MANPATH=$prefix/share/man LC_ALL=C.UTF-8 MANWIDTH=80 man quorvel 2>/dev/null |
            grep -q 'tracciamento di curve piane per punti' || fail "man quorvel does not find $page"
    fi
else
    fail "no manual page $page"
fi
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$copyright" 2>/dev/null || fail "no machine-readable licence $copyright"
grep -qx 'License: GPL-3.0-or-later' "$copyright" 2>/dev/null ||
    fail "$copyright does not name GPL-3.0-or-later"

[ "$status" -eq 0 ] && echo "installed program, desktop files, manual page and licence under $prefix"
exit "$status"

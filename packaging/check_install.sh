#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop needs to find and start
# the program: the executable, its menu entry (in the Education and Math menus) and its icon.
#   check_install.sh <cmake> <build dir>
set -eu

cmake=$1
build=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix"

status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

program=$prefix/bin/quorvel
desktop=$prefix/share/applications/quorvel.desktop
icon=$prefix/share/icons/hicolor/scalable/apps/quorvel.svg

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

[ "$status" -eq 0 ] && echo "installed program, desktop entry and icon under $prefix"
exit "$status"

#!/bin/sh
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Reads the menu entry, the software-centre entry and the manual page as their own tools do:
# desktop-file-validate, appstreamcli (offline), man with its warnings on, and lexgrog (which
# apropos and whatis need). The newest release of the software-centre entry must be this build's
# version. Exits 77 (skipped) when one of the tools is missing.
#   check_metadata.sh <packaging source dir> <configured manual page> <app id> <version>
set -eu

src=$1
page=$2
id=$3
version=$4
for tool in desktop-file-validate appstreamcli man lexgrog; do
    command -v "$tool" >/dev/null 2>&1 ||
        { echo "SKIP: $tool is not installed (scripts/quorvel.sh test installs it)"; exit 77; }
done

status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

desktop=$src/$id.desktop
metainfo=$src/$id.metainfo.xml
desktop-file-validate "$desktop" || fail "$desktop: desktop-file-validate objects"
appstreamcli validate --no-net "$metainfo" || fail "$metainfo: appstreamcli objects"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "$metainfo: the launchable is not $id.desktop"
# Releases are listed newest first.
newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$newest" = "$version" ] ||
    fail "$metainfo: newest release is '$newest', the build's version is $version"

# man's warnings (groff's, and its own) go to stderr; there must be none.
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "$page: man warns: $warnings"
lexgrog "$page" >/dev/null || fail "$page: lexgrog finds no name line"
grep -q "quorvel $version" "$page" || fail "$page: the title line lacks the version $version"

[ "$status" -eq 0 ] && echo "desktop entry, software-centre entry and manual page are clean"
exit "$status"

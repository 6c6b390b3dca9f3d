#!/bin/sh
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Gives every file that `reuse lint` finds without copyright and licence the project's two lines,
# in the file's own comment syntax, right after a #! line if there is one; then runs `reuse lint`
# again, which must find the project compliant. Data with no room for a comment is covered by
# .reuse/dep5. Files that already carry the lines are left alone: running it again changes
# nothing.
set -eu
cd "$(dirname "$0")/.."
missing=$(reuse lint | sed -n '/^The following files have no copyright and licensing information:/,/^$/s/^\* //p')
for file in $missing; do
    case $file in
    # "#" comments in files whose names reuse does not know.
    .clang-format | .clang-tidy | .ci/* | *.desktop | *.supp) style="--style python" ;;
    *) style="" ;;
    esac
    # shellcheck disable=SC2086 # $style is one option or none
    reuse annotate --template quorvel --copyright "The QUORVEL developers" --year 2026 \
        --license GPL-3.0-or-later $style "$file" >/dev/null
    # reuse leaves a blank line between the #! line and the header: the header follows it.
    if head -n 1 "$file" | grep -q '^#!' && [ -z "$(sed -n 2p "$file")" ]; then
        sed -i 2d "$file"
    fi
done
reuse lint

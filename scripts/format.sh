#!/bin/sh
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Formats the C++ sources with the repository's .clang-format. Only C++: clang-format takes any
# other file it is given for C++ too, and would mangle CMake files and scripts.
#   scripts/format.sh            every tracked .cpp and .h file
#   scripts/format.sh FILE...    those files (C++ ones only)
set -eu
cd "$(dirname "$0")/.."
if [ "$#" -eq 0 ]; then
    git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format -i
    exit 0
fi
for file in "$@"; do
    case $file in
    *.cpp | *.h | *.h.in) clang-format -i "$file" ;;
    *) echo "format: $file is not C++, left alone" >&2 ;;
    esac
done

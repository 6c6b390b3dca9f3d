#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what is missing on Debian 12, builds, then runs the program, the test suite or the
# benchmarks; each mode installs only the packages it needs (lists below).
#   scripts/quorvel.sh run     build and start the program
#   scripts/quorvel.sh test    build and run the whole test suite
#   scripts/quorvel.sh bench   build and run the benchmarks, each result against its goal
# QUORVEL_CMAKE_ARGS passes options to cmake; QUORVEL_CTEST_ARGS to ctest ("-LE long": the fast
# suite only).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$here/build}
mode=${1:-run}
case "$mode" in
run | test | bench) ;;
*)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac

# One package a line, each for something that uses it. `run` installs what building and running
# the program need; `test` adds what the tests need (CI runs `test`); `bench` adds what the
# benchmarks need.
run_packages=(
    # the build: compiler, CMake and Ninja, Qt's headers and moc
    build-essential
    cmake
    ninja-build
    pkg-config # Qt's CMake package looks its optional dependencies up with it
    qt6-base-dev
    qt6-base-dev-tools
    zlib1g-dev # the PDF writer compresses its pages as it writes them
    libgif-dev # giflib: the explore window's animations exported as GIF files
    # at run time: the X11 platform plugin, Qt's own texts in Italian, the stand-ins for the
    # designed fonts
    qt6-qpa-plugins
    qt6-translations-l10n
    fonts-liberation2
)
test_packages=(
    # the libFuzzer target (CI's fuzzing step)
    clang
    libclang-rt-14-dev
    # the end-to-end test: X server, window manager, input, window facts, screenshots
    xvfb
    openbox
    xdotool
    x11-utils
    imagemagick
    python3
    # the end-to-end test under memcheck (E2E_VALGRIND=1)
    valgrind
    # the accessibility test through the AT-SPI bus: the bus, its Python client, a D-Bus session
    at-spi2-core
    python3-pyatspi
    dbus-x11
    # packaging_metadata: the menu entry, the software-centre entry, the manual page
    desktop-file-utils
    appstream
    man-db
    groff-base
    # packaging_deb: the Debian package's dependencies read from the binary, and its check
    dpkg-dev
    lintian
    # licence_headers: every file's licence and copyright (REUSE)
    reuse
)
bench_packages=(
    # memory_bench.sh: the peak memory from /usr/bin/time -v
    time
)

packages=("${run_packages[@]}")
case "$mode" in
test) packages+=("${test_packages[@]}") ;;
bench) packages+=("${bench_packages[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QUORVEL_CMAKE_ARGS:-}

case "$mode" in
run)
    cmake --build "$build" --target quorvel
    exec "$build/src/app/quorvel"
    ;;
test)
    cmake --build "$build"
    cd "$build"
    ctest --output-on-failure --timeout 600 -j2 ${QUORVEL_CTEST_ARGS:-}
    ;;
bench)
    cmake --build "$build"
    exec "$here/bench/run_benchmarks.sh" "$build"
    ;;
esac

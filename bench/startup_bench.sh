#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Start-up time: from starting the program to its first window painted once, against the smallest
# Qt Widgets program that shows one window (bench_minimal_window). The program is started by its
# own driver (bench_startup_driver: main()'s set-up and first window); both end (status 0) right
# after that first paint, so a run's wall time is start, first paint and exit. Runs alternate
# between the two; each median is printed.
#   bench/startup_bench.sh <build dir> [runs of each, default 21]
# The offscreen platform is used unless QT_QPA_PLATFORM says otherwise.
set -euo pipefail

build=${1:?usage: $0 <build dir> [runs]}
runs=${2:-21}
program=$build/bench/bench_startup_driver
minimal=$build/bench/bench_minimal_window
for exe in "$program" "$minimal"; do
    [ -x "$exe" ] || { echo "startup_bench: $exe not built" >&2; exit 1; }
done

# Bash's clock and awk's numbers with a decimal point, whatever the locale.
export LC_ALL=C
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime

# Milliseconds from starting $1 to its end; fails if it does not end by itself.
once() {
    local start end
    start=$EPOCHREALTIME
    if ! timeout 30 "$1" >/dev/null 2>&1; then
        echo "startup_bench: $1 did not end with status 0 after its first paint" >&2
        return 1
    fi
    end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) * 1000 }'
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { printf "%.3f\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Warm the file cache and the font cache first.
for _ in 1 2; do
    once "$program" >/dev/null
    once "$minimal" >/dev/null
done
program_ms=()
minimal_ms=()
for ((i = 0; i < runs; i++)); do
    ms=$(once "$program")
    program_ms+=("$ms")
    ms=$(once "$minimal")
    minimal_ms+=("$ms")
done

program_median=$(printf '%s\n' "${program_ms[@]}" | median)
minimal_median=$(printf '%s\n' "${minimal_ms[@]}" | median)
awk -v p="$program_median" -v m="$minimal_median" 'BEGIN {
    printf "BENCH startup median_ms=%.3f ratio=%.2f\n", p, p / m
    printf "BENCH startup_minimal_window median_ms=%.3f ratio=1.00\n", m
}'

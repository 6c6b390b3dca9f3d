#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Peak memory (maximum resident set size, from /usr/bin/time -v) of the program with its three
# windows open and the starting plot drawn, on a 1920x1080 offscreen screen (bench_memory_driver
# drives the real windows), and again after ten more runs of 196,608 points each (what the
# curve window keeps of them for pictures and the table must stay small). Median of a few runs,
# in MB of 1024x1024 bytes. Last, the explore window open beside the curve window, both showing
# that run of 196,608 points.
#   bench/memory_bench.sh <build dir> [runs, default 5]
# QUORVEL_BENCH_SCREEN=WIDTHxHEIGHT measures on another screen size.
set -euo pipefail

build=${1:?usage: $0 <build dir> [runs]}
runs=${2:-5}
driver=$build/bench/bench_memory_driver
[ -x "$driver" ] || { echo "memory_bench: $driver not built" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "memory_bench: /usr/bin/time missing (package time)" >&2; exit 1; }

export LC_ALL=C
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
screen=${QUORVEL_BENCH_SCREEN:-1920x1080}
export QUORVEL_BENCH_SCREEN=$screen

# measure <name> <limit in MB> [driver arguments]: one BENCH line.
measure() {
    local name=$1 limit=$2
    shift 2
    local peaks=()
    for ((i = 0; i < runs; i++)); do
        if ! /usr/bin/time -v -o "$runtime/time.txt" "$driver" "$@" >/dev/null 2>"$runtime/err.txt"; then
            cat "$runtime/err.txt" >&2
            echo "memory_bench: the driver failed" >&2
            exit 1
        fi
        kb=$(awk -F': *' '/Maximum resident set size/ { print $2 }' "$runtime/time.txt")
        peaks+=("$kb")
    done
    printf '%s\n' "${peaks[@]}" | sort -n | awk -v screen="$screen" -v name="$name" -v limit="$limit" '{ v[NR] = $1 } END {
        kb = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "BENCH %s peak_mb=%.1f limit_mb=%s screen=%s\n", name, kb / 1024, limit, screen
    }'
}
measure memory_peak 60
measure memory_peak_ten_runs 60 --ten-long-runs
measure memory_explore_196608 80 --explore

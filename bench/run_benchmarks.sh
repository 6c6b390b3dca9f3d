#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs every benchmark against a build and ends with all their BENCH lines together.
#   bench/run_benchmarks.sh <build dir>
# Each result is then printed against its goal from bench/goals.txt, and every goal missed is
# named. A missed goal is a finding, not a failure: the exit status is 1 only when a benchmark
# could not run. The long-run pictures also print their size ("# ... file_bytes=<n>", <= 20 MB).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:?usage: $0 <build dir>}" && pwd)
log=$(mktemp)
runtime=$(mktemp -d)
trap 'rm -rf "$log" "$runtime"' EXIT
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

failed=()
run() {
    local name=$1
    shift
    echo "== $name"
    if "$@" 2>&1 | tee -a "$log"; then :; else failed+=("$name"); fi
}
run calibration "$build/bench/bench_calibration"
run curve "$build/bench/bench_curve"
run picture "$build/bench/bench_picture"
run explore "$build/bench/bench_explore"
run animation "$build/bench/bench_animation"
run lesson "$build/bench/bench_lesson"
run player "$build/bench/bench_player"
run startup "$here/startup_bench.sh" "$build"
run memory "$here/memory_bench.sh" "$build"

echo
echo "== all results"
grep '^BENCH ' "$log"

echo
echo "== against the goals (bench/goals.txt)"
# Goals first, then the BENCH lines; a goal whose line did not come out is "no result".
grep '^BENCH ' "$log" | LC_ALL=C awk '
    FNR == NR {
        if ($0 ~ /^[ \t]*(#|$)/) next
        goals[++n] = $1 " " $2; limit[n] = $3
        next
    }
    {
        for (i = 3; i <= NF; i++) {
            split($i, kv, "=")
            value[$2 " " kv[1]] = kv[2]
        }
    }
    END {
        for (i = 1; i <= n; i++) {
            split(goals[i], g, " ")
            if (!(goals[i] in value)) {
                printf "%-26s %-10s %12s   goal <= %-6s no result\n", g[1], g[2], "-", limit[i]
                if (!(g[1] in told)) absent = absent " " g[1]
                told[g[1]] = 1
                continue
            }
            ok = value[goals[i]] + 0 <= limit[i] + 0
            printf "%-26s %-10s %12s   goal <= %-6s %s\n", g[1], g[2], value[goals[i]], limit[i],
                   ok ? "ok" : "MISSED"
            if (!ok)
                missed = missed " " g[1] "(" g[2] "=" value[goals[i]] " > " limit[i] ")"
        }
        if (missed != "")
            print "goals missed:" missed
        else
            print "every goal met"
        if (absent != "")
            print "no result for:" absent
    }' "$here/goals.txt" -
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi

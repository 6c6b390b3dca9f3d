#!/usr/bin/env bash
# Runs every benchmark against a build and ends with all their BENCH lines together.
#   bench/run_benchmarks.sh <build dir>
# Goals: curve_calcola_196608 median <= 2 ms and ratio <= 0.3, curve_calcola_196608_t1 median
# <= 3 ms, curve_esegui_painted median <= 3 ms, surface_full_repaint median <= 0.5 ms,
# curve_starting_plot median <= 0.1 ms, calibration_redraw median <= 0.5 ms, startup ratio
# <= 1.5, picture_png_1920x1080 <= 100 ms, picture_svg/pdf/csv_10x196608 <= 2000 ms each,
# picture_svg/pdf_long_run <= 2000 ms each (files <= 20 MB, printed as "# ... file_bytes=<n>"),
# memory_peak and memory_peak_ten_runs <= 60 MB (see README.md).
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
run startup "$here/startup_bench.sh" "$build"
run memory "$here/memory_bench.sh" "$build"

echo
echo "== all results"
grep '^BENCH ' "$log"
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi

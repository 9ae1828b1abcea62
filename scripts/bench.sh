#!/usr/bin/env bash
# Builds and runs the benchmarks (QtTest QBENCHMARK, wall time), then lists
# each cost beside its floor: the "ratio" lines of the programs, measured in
# alternation (page builder / one-join floor, grading / bare read, report
# window / bare view, whole program / bare web view for start and memory).
# QBRX_BENCH_QUESTIONS sets the size of the synthetic bank (default 100000),
# QBRX_BENCH_SIZES the paper sizes (default 100,1000,5000). Arguments go to
# every program (e.g. a function name, or -median 3).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cmake --build build --target benchmarks
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@" 2>&1 | tee -a "$log"
done
echo
echo "== costs beside their floors"
grep -ho "ratio .*" "$log" | sort -u || true

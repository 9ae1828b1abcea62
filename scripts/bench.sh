#!/usr/bin/env bash
# Builds and runs the benchmarks (QtTest QBENCHMARK, wall time).
# QBRX_BENCH_QUESTIONS sets the size of the synthetic bank (default 100000).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cmake --build build --target benchmarks
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done

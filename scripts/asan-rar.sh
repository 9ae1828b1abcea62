#!/usr/bin/env bash
# libunrar under AddressSanitizer and UndefinedBehaviorSanitizer: a separate
# small build (the library and a fuzz driver, no Qt) in build-asan-rar/, then
# 2,000 damaged and hostile archives (fixed seed) listed, tested and extracted.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build-asan-rar
cmake -S tests/rar -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$BUILD" -j2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  timeout 600 "$BUILD/fuzz_unrar" "$WORK" 2000 20261210

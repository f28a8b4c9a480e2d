#!/usr/bin/env bash
# Installs what is missing, builds Rootix and runs the main job: a 32M run in
# the terminal console, then exits. Extra arguments go to rootix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DROOTIX_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target rootix
exec build/rootix -run=32M -exit=1 --terminal "$@"

#!/usr/bin/env bash
# Installs what is missing, builds Rootix and runs the main job: a 32M run in
# the terminal console, then exits. Extra arguments go to rootix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/common.sh
configure_main_tree
cmake --build build -j"$ROOTIX_JOBS" --target rootix
exec build/rootix -run=32M -exit=1 --terminal "$@"

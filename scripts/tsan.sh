#!/usr/bin/env bash
# The engine's tests in a ThreadSanitizer build of their own (build-tsan/), at
# -O1 as the AddressSanitizer tree: it compiles faster and TSan needs no more.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE="$ROOTIX_BUILD_TYPE" -DROOTIX_SANITIZE=thread \
  -DROOTIX_BUILD_TESTS=ON -DROOTIX_BUILD_BENCH=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
  "${ci_tree_options[@]}" >/dev/null
ci_tree_build build-tsan --target test_engine -j"$ROOTIX_JOBS"
# Rootix ends the process at once on "exit" while its standard-input reader
# may still be running: by design, so thread leaks are not reported.
# The kernels' exhaustive checks run on one thread: races are not theirs to
# find, and the other trees run them.
# One shard per core, side by side (ctest runs these cases side by side too),
# so that the run keeps every core busy; a shard that fails prints its output.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 report_thread_leaks=0 suppressions=$PWD/scripts/tsan.supp"
export GTEST_TOTAL_SHARDS=$ROOTIX_JOBS
logs=$(mktemp -d)
pids=()
for ((shard = 0; shard < GTEST_TOTAL_SHARDS; shard++)); do
  GTEST_SHARD_INDEX=$shard build-tsan/tests/test_engine --gtest_brief=1 \
    --gtest_filter='-EachKernel/RangeKernel.EveryWholeNumber*' >"$logs/$shard.log" 2>&1 &
  pids+=($!)
done
status=0
for ((shard = 0; shard < GTEST_TOTAL_SHARDS; shard++)); do
  if wait "${pids[shard]}"; then
    tail -n 2 "$logs/$shard.log"
  else
    cat "$logs/$shard.log"
    status=1
  fi
done
rm -rf "$logs"
exit "$status"

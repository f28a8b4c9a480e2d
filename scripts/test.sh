#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the engine tests under ThreadSanitizer, a bounded fuzz run of the score
# file reader, then every unit and end-to-end test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
fuzz_seconds=${ROOTIX_FUZZ_SECONDS:-60}

echo "== engine tests under ThreadSanitizer"
scripts/tsan.sh

echo "== fuzz: score file reader, ${fuzz_seconds} s"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DROOTIX_FUZZ=ON -DROOTIX_BUILD_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build build-fuzz --target fuzz_score_text -j"$jobs"
mkdir -p build-fuzz/corpus
if ! build-fuzz/fuzz/fuzz_score_text -max_total_time="$fuzz_seconds" -print_final_stats=1 \
    -dict=tests/fuzz/score_text.dict -artifact_prefix=build-fuzz/ build-fuzz/corpus tests/fuzz/corpus/score_text \
    >build-fuzz/fuzz.log 2>&1; then
  tail -n 60 build-fuzz/fuzz.log
  echo "fuzz run found a failure (input saved under build-fuzz/)"
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units)' build-fuzz/fuzz.log || true

echo "== build and unit tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600)

# ---------------------------------------------------------------------------
echo "== result server tests on PostgreSQL (a throwaway cluster; skipped with the reason if none starts)"
scripts/with-postgres.sh build/tests/test_server --gtest_filter='*/PostgreSQL'

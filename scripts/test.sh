#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite,
# in steps: the main build (shared with run.sh), the Debian package and its
# checks, the unit suite under AddressSanitizer + UndefinedBehaviorSanitizer
# (with warnings as errors), the engine tests under ThreadSanitizer, a bounded
# fuzz run of the score file reader and the result server, and last the whole suite on the main
# build, ending with ctest's count.
#
# Each step's output goes to build-logs/<step>.log and is shown only when the
# step fails. To add a step: write a step_<name> function and call
# `step <name>` below; lines it sends to fd 3 are shown even when it passes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
source scripts/common.sh

logs=build-logs
mkdir -p "$logs"
fuzz_seconds=${ROOTIX_FUZZ_SECONDS:-60}
# Starting programs that stop at the first finding; "exit" ends rootix at once
# by design, so leaks at that point are not findings.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

step() {
  local name=$1 log="$logs/$1.log" start=$SECONDS
  echo "== $name"
  if "step_$name" 3>&1 >"$log" 2>&1; then
    echo "   ok ($((SECONDS - start)) s)"
  else
    tail -n 80 "$log"
    echo "== step '$name' failed after $((SECONDS - start)) s; whole log: $log"
    exit 1
  fi
}
# Shows a log's lines from the first that matches a pattern (ctest's summary).
show_from() { sed -n "/$1/,\$p" "$2" >&3; }

step_build() {
  configure_main_tree -DROOTIX_BUILD_TESTS=ON -DROOTIX_BUILD_BENCH=ON
  cmake --build build -j"$ROOTIX_JOBS"
}

step_package() {
  desktop-file-validate packaging/rootix.desktop
  rm -rf build/package
  (cd build && cpack -G DEB)
  local deb
  deb=$(echo build/package/rootix_*.deb)
  lintian --fail-on error "$deb"
  dpkg -x "$deb" build/package/root
  desktop-file-validate build/package/root/usr/share/applications/rootix.desktop
  local version
  version=$(build/package/root/usr/bin/rootix --version)
  [[ $version == "rootix $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)" ]]
  echo "   $(basename "$deb"): lintian clean, unpacked: $version" >&3
}

step_asan() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE="$ROOTIX_BUILD_TYPE" \
    -DROOTIX_SANITIZE=address,undefined -DROOTIX_WERROR=ON -DROOTIX_BUILD_TESTS=ON -DROOTIX_BUILD_BENCH=ON \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" >/dev/null
  cmake --build build-asan -j"$ROOTIX_JOBS"
  (cd build-asan && ctest --output-on-failure --no-tests=error -j"$ROOTIX_JOBS" --timeout 900)
  show_from 'tests passed' "$logs/asan.log" | head -n 1
}

step_tsan() {
  scripts/tsan.sh
}

step_fuzz() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE="$ROOTIX_BUILD_TYPE" \
    -DROOTIX_FUZZ=ON -DROOTIX_BUILD_BENCH=OFF -DROOTIX_WERROR=ON \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" >/dev/null
  cmake --build build-fuzz --target fuzz_score_text fuzz_submission fuzz_respond -j"$ROOTIX_JOBS"
  # The fuzz time is shared: half for the score file reader, a quarter each
  # for the server's submission path and its answer to any request.
  local half=$((fuzz_seconds / 2)) quarter=$((fuzz_seconds / 4))
  fuzz score_text "the score file reader" "$half" -dict=tests/fuzz/score_text.dict || return 1
  fuzz submission "the server's submission path" "$quarter" -dict=tests/fuzz/score_text.dict || return 1
  fuzz respond "the server's answer to a request" "$quarter"
}

# fuzz TARGET WHAT SECONDS [OPTIONS...]: one libFuzzer target with its seeds.
fuzz() {
  local target=$1 what=$2 seconds=$3
  shift 3
  mkdir -p "build-fuzz/corpus/$target"
  echo "fuzzing $what for ${seconds} s; a failing input is saved under build-fuzz/"
  build-fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -print_final_stats=1 "$@" \
    -artifact_prefix=build-fuzz/ "build-fuzz/corpus/$target" "tests/fuzz/corpus/$target" >"$logs/fuzz-$target.log" 2>&1 ||
    { tail -n 40 "$logs/fuzz-$target.log"; return 1; }
  grep -E '^stat::number_of_executed_units' "$logs/fuzz-$target.log" | sed "s/^/   $target: /" >&3 || true
}

# The server's tests once more, on a throwaway PostgreSQL cluster (they skip
# with the reason when none starts).
step_postgres() {
  scripts/with-postgres.sh build/tests/test_server --gtest_filter='*/PostgreSQL' --gtest_brief=1
  grep -E '^\[  (PASSED|SKIPPED|FAILED) ' "$logs/postgres.log" | sed 's/^/   /' >&3 || true
}

step_suite() {
  (cd build && ctest --output-on-failure --no-tests=error -j"$ROOTIX_JOBS" --timeout 600)
  show_from 'tests passed' "$logs/suite.log"
}

step build
step package
step asan
step tsan
step fuzz
step postgres
step suite

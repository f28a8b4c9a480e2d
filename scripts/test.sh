#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite,
# in steps: the optimised main build (shared with run.sh: the program, the
# server, the tools and the benchmarks), its two Debian packages and their
# checks, the build without the window, the kernels' bit-identity on the
# optimised code, the engine's tests under ThreadSanitizer, a bounded fuzz
# run of the score file reader and the result server, the sanitized tree (AddressSanitizer + UndefinedBehaviorSanitizer at
# -O1, warnings as errors) with the server's tests on PostgreSQL, and last
# the whole suite in that tree, ending with ctest's count. Each suite runs
# once: the sanitized run catches all that a plain one would.
#
# Each step's output goes to build-logs/<step>.log and is shown only when the
# step fails; each prints its wall and CPU time (user + sys of what it ran).
# To add a step: write a step_<name> function and call `step <name>` below;
# lines it sends to fd 3 are shown even when it passes.
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

# CPU seconds (user + sys) of this shell's finished children so far.
children_cpu() {
  local stat
  read -r stat </proc/$$/stat
  stat=${stat##*) }
  # Fields 16 and 17 (cutime, cstime) are the 14th and 15th after the name.
  set -- $stat
  echo $(((${14} + ${15}) / $(getconf CLK_TCK)))
}

step() {
  local name=$1 log="$logs/$1.log" start=$SECONDS cpu status
  cpu=$(children_cpu)
  echo "== $name"
  # A subshell outside any condition, so that set -e stops the step at its
  # first failing command (inside an "if" bash would ignore it).
  set +e
  (set -e; "step_$name") 3>&1 >"$log" 2>&1
  status=$?
  set -e
  if ((status == 0)); then
    echo "   ok ($((SECONDS - start)) s, CPU $(($(children_cpu) - cpu)) s)"
  else
    tail -n 80 "$log"
    echo "== step '$name' failed after $((SECONDS - start)) s; whole log: $log"
    exit 1
  fi
}
# Shows a log's lines from the first that matches a pattern (ctest's summary).
show_from() { sed -n "/$1/,\$p" "$2" >&3; }

# The optimised tree: what ships, the tools and the benchmarks. The tests are
# built and run in the sanitized tree only (a developer's build/ can switch
# them on again: -DROOTIX_BUILD_TESTS=ON).
step_build() {
  configure_main_tree -DROOTIX_BUILD_TESTS=OFF -DROOTIX_BUILD_BENCH=ON -DROOTIX_WERROR=ON
  cmake --build build -j"$ROOTIX_JOBS"
}

step_package() {
  desktop-file-validate packaging/rootix.desktop
  rm -rf build/package
  (cd build && cpack -G DEB)
  local deb version
  for deb in build/package/rootix_*.deb build/package/rootix-server_*.deb; do
    lintian --fail-on error,warning "$deb"
    dpkg -x "$deb" build/package/root
  done
  desktop-file-validate build/package/root/usr/share/applications/rootix.desktop
  version=$(build/package/root/usr/bin/rootix --version)
  [[ $version == "rootix $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)" ]]
  check_package_dependencies
  scripts/upgrade-test.sh build/package
  echo "   $(cd build/package && echo *.deb): lintian clean, unpacked: $version; upgrade from 2.11 kept the server running" >&3
}

# What the library scan cannot see: the plugins Qt loads at run time. Each is
# named by its file; the package that ships it must be in the field given.
check_package_dependencies() {
  local plugins=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/qt6/plugins
  local rule deb field file owner
  for rule in "rootix Depends platforms/libqxcb.so" \
              "rootix-server Depends sqldrivers/libqsqlite.so" \
              "rootix-server Recommends sqldrivers/libqsqlpsql.so"; do
    read -r deb field file <<<"$rule"
    owner=$(dpkg-query -S "$plugins/$file" | cut -d: -f1)
    deb=$(echo build/package/"$deb"_*.deb)
    dpkg-deb -f "$deb" "$field" | tr ',' '\n' | grep -qx " *$owner\( (.*)\)\? *" ||
      { echo "$(basename "$deb"): $owner ($file) missing from $field" >&2; return 1; }
  done
  # The server runs where there is no display.
  if dpkg-deb -f build/package/rootix-server_*.deb Depends | grep -E 'libqt6(gui|widgets)'; then
    echo "rootix-server depends on Qt Gui or Widgets" >&2
    return 1
  fi
}

# rootix with the terminal console only, and the server, for machines without
# a display: no Qt Gui or Widgets in either, and a 32M run.
step_nogui() {
  cmake -S . -B build-nogui -G Ninja -DCMAKE_BUILD_TYPE="$ROOTIX_BUILD_TYPE" -DROOTIX_GUI=OFF \
    -DROOTIX_BUILD_TESTS=OFF -DROOTIX_BUILD_BENCH=OFF -DROOTIX_WERROR=ON >/dev/null
  cmake --build build-nogui -j"$ROOTIX_JOBS" --target rootix rootix-server
  local binary
  for binary in build-nogui/rootix build-nogui/rootix-server; do
    if ldd "$binary" | grep -E 'libQt6(Gui|Widgets)'; then
      echo "$binary links Qt Gui or Widgets" >&2
      return 1
    fi
  done
  local tmp
  tmp=$(mktemp -d)
  DISPLAY=:0 TMPDIR=$tmp XDG_RUNTIME_DIR=$tmp build-nogui/rootix -run=32M -exit=1 </dev/null | tee build-nogui/run.log
  rm -rf "$tmp"
  grep -qx 'Test completed successfully.' build-nogui/run.log
  echo "   $(grep -m1 '^Process completed' build-nogui/run.log) (no Qt Gui or Widgets linked)" >&3
}

# The kernels' bit-identity, on the optimised code that ships: the top 2^26
# numbers of the proven domain, as ctest's KernelProof.Top2To26 (label
# "optimised", left out of the sanitized run).
step_proof() {
  build/rootix_kernel_proof --first=2080374784 --count=67108864
  tail -n 1 "$logs/proof.log" | sed 's/^/   /' >&3
}

step_tsan() {
  scripts/tsan.sh
}

step_fuzz() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE="$ROOTIX_BUILD_TYPE" \
    -DROOTIX_FUZZ=ON -DROOTIX_BUILD_BENCH=OFF -DROOTIX_WERROR=ON \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
    "${ci_linker_options[@]}" >/dev/null
  ci_tree_build build-fuzz --target fuzz_score_text fuzz_submission fuzz_respond -j"$ROOTIX_JOBS"
  # The fuzz time is shared: half for the score file reader, a quarter each
  # for the server's submission path and its answer to any request. Each
  # fuzzer runs on one core: the reader's beside the server's two in turn.
  local half=$((fuzz_seconds / 2)) quarter=$((fuzz_seconds / 4)) reader status=0
  fuzz score_text "the score file reader" "$half" -dict=tests/fuzz/score_text.dict &
  reader=$!
  fuzz submission "the server's submission path" "$quarter" -dict=tests/fuzz/score_text.dict &&
    fuzz respond "the server's answer to a request" "$quarter" || status=1
  wait "$reader" || status=1
  return "$status"
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

# The sanitized tree: every test program, warnings as errors. The benchmarks
# are the main tree's.
step_asan() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE="$ROOTIX_BUILD_TYPE" \
    -DROOTIX_SANITIZE=address,undefined -DROOTIX_WERROR=ON -DROOTIX_BUILD_TESTS=ON -DROOTIX_BUILD_BENCH=OFF \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "${ci_tree_options[@]}" >/dev/null
  ci_tree_build build-asan -j"$ROOTIX_JOBS"
}

# The server's tests once more, on a throwaway PostgreSQL cluster (they skip
# with the reason when none starts).
step_postgres() {
  scripts/with-postgres.sh build-asan/tests/test_server --gtest_filter='*/PostgreSQL' --gtest_brief=1
  grep -E '^\[  (PASSED|SKIPPED|FAILED) ' "$logs/postgres.log" | sed 's/^/   /' >&3 || true
}

# The whole suite, sanitized, but for what the proof step ran on the optimised code.
step_suite() {
  (cd build-asan && ctest --output-on-failure --no-tests=error -j"$ROOTIX_JOBS" --timeout 900 -LE optimised)
  show_from 'tests passed' "$logs/suite.log"
}

step build
step package
step nogui
step proof
step tsan
step fuzz
step asan
step postgres
step suite

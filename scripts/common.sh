# Sourced by run.sh and test.sh: the one main build tree they share.
# shellcheck shell=bash

# One build type for both, so the second script builds only what the first did not.
ROOTIX_BUILD_TYPE=RelWithDebInfo
ROOTIX_JOBS=${ROOTIX_JOBS:-$(nproc)}

# ccache when it is there; nothing changes without it.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
  # A clone in another folder reuses what this one compiled.
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi

# configure_main_tree [cmake options...]: build/, with the options given; a
# tree made by run.sh leaves tests and benchmarks out until test.sh asks.
configure_main_tree() {
  local fresh=()
  [[ -f build/CMakeCache.txt ]] || fresh=(-DROOTIX_BUILD_TESTS=OFF -DROOTIX_BUILD_BENCH=OFF)
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$ROOTIX_BUILD_TYPE" "${fresh[@]}" "$@" >/dev/null
}

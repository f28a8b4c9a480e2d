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

# The trees only the tests build (sanitizers, fuzzing): nothing in them ships,
# so they may be made the fastest way. lld links them in a fraction of
# ld.bfd's time, and the precompiled headers (cmake/RootixPch.cmake) spare
# each sanitized compile the parse of the Qt, standard and GoogleTest headers.
ci_linker_options=()
if command -v ld.lld >/dev/null; then
  ci_linker_options=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
fi
ci_tree_options=(-DROOTIX_PCH=ON "${ci_linker_options[@]}")

# ci_tree_build [cmake --build options...]: builds such a tree. ccache takes the
# headers from the compiler's dependency file instead of running the
# preprocessor once more on a miss (depend mode; the main and no-window trees
# keep the preprocessor mode, which lets them share objects although their
# include paths differ), and may cache files that use a precompiled header.
ci_tree_build() {
  CCACHE_DEPEND=${CCACHE_DEPEND:-1} \
    CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime} \
    cmake --build "$@"
}

# configure_main_tree [cmake options...]: build/, with the options given; a
# tree made by run.sh leaves tests and benchmarks out until test.sh asks.
configure_main_tree() {
  local fresh=()
  [[ -f build/CMakeCache.txt ]] || fresh=(-DROOTIX_BUILD_TESTS=OFF -DROOTIX_BUILD_BENCH=OFF)
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$ROOTIX_BUILD_TYPE" "${fresh[@]}" "$@" >/dev/null
}

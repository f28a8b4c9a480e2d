#!/usr/bin/env bash
# Installs the Debian 12 packages Rootix needs; does nothing when they are all
# there already.
#   scripts/install-deps.sh          what building and running rootix needs
#   scripts/install-deps.sh --test   also the tests, benchmarks, fuzzing,
#                                    sanitizers and the Debian package checks
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config   # build
  qt6-base-dev                       # event loop, windows, settings, processes
  qt6-svg-dev                        # the graphical window's pictures
  qt6-qpa-plugins                    # the window's platform plugins (only recommended by libqt6gui6)
  libhwloc-dev                       # processor packages and caches
  libcpuid-dev                       # processor names, codenames, caches for the report tool
  libboost1.81-dev                   # rootix-server: HTTP (Beast) with limits enforced while a request streams in
  libqt6sql6-sqlite libqt6sql6-psql  # rootix-server: its SQLite and PostgreSQL drivers
  libsqlite3-dev                     # rootix-server: the boards' rows read straight from the SQLite library Qt's driver uses
)
if [[ ${1:-} == --test ]]; then
  packages+=(
    ccache                           # faster rebuilds of the several build trees
    lld                              # links the sanitizer and fuzz trees in a fraction of ld.bfd's time
    libgtest-dev libgmock-dev        # unit and end-to-end tests
    libbenchmark-dev                 # bench/
    clang libclang-rt-dev            # fuzz targets (libFuzzer and its sanitizer runtimes)
    dpkg-dev file                    # cpack -G DEB works out the package's dependencies
    lintian desktop-file-utils       # checks of the packages and the desktop entry
    curl                             # the package upgrade test asks the running server (scripts/upgrade-test.sh)
    chromium chromium-driver python3-selenium  # the submission page in a real browser (tests/browser)
    postgresql                       # the server tests' throwaway cluster (scripts/with-postgres.sh)
    xvfb xauth dbus-daemon at-spi2-core python3-pyatspi  # the window's accessibility tree over the AT-SPI bus (tests/gui/accessibility)
    python3-jsonschema               # run records checked against docs/run-record.schema.json
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs the Debian 12 packages Rootix needs to build, test and run; does
# nothing when they are all there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config   # build
  clang                              # fuzz targets (libFuzzer)
  qt6-base-dev                       # event loop, windows, settings, processes
  qt6-svg-dev                        # the graphical window's pictures
  libgtest-dev libgmock-dev          # unit tests
  libbenchmark-dev                   # bench/
  libhwloc-dev                       # processor packages and caches
  libcpuid-dev                       # processor names, codenames, caches for the report tool
  dmidecode                          # memory and board facts for the report tool, where readable
  chromium chromium-driver python3-selenium  # the submission page in a real browser (tests/browser)
  qt6-httpserver-dev                 # rootix-server: HTTP on Qt's event loop
  libqt6sql6-sqlite libqt6sql6-psql  # rootix-server: its SQLite and PostgreSQL drivers
  postgresql                         # the server tests' throwaway cluster (scripts/with-postgres.sh)
)

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

#!/usr/bin/env bash
# Upgrades the single "rootix" package of 2.11 (which held rootix-server too)
# to the two packages in PACKAGE_DIR, in an empty root of its own (dpkg
# --root), while the old package's server runs and is enabled. Afterwards
# each file has its new package, the unit is still enabled and the server
# still answers. Libraries come from this machine, so dependencies are not
# checked (--force-depends); Breaks and Replaces are.
#   scripts/upgrade-test.sh build/package
set -euo pipefail
(($# == 1)) || { echo "usage: $0 PACKAGE_DIR" >&2; exit 2; }
packages=$(cd "$1" && pwd)
new_rootix=$(echo "$packages"/rootix_*.deb)
new_server=$(echo "$packages"/rootix-server_*.deb)
[[ -f $new_rootix && -f $new_server ]] || { echo "no rootix and rootix-server packages in $1" >&2; exit 2; }

work=$(mktemp -d)
server_pid=
cleanup() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "$0: failed at line $LINENO" >&2' ERR

# The old package: both packages' files under the old name and version.
old=$work/old
mkdir -p "$old/DEBIAN"
dpkg-deb -x "$new_rootix" "$old"
dpkg-deb -x "$new_server" "$old"
rm -rf "$old/usr/share/doc/rootix-server" "$old/usr/share/man/man1/rootix-server.1.gz"
cat >"$old/DEBIAN/control" <<EOF
Package: rootix
Version: 2.11
Architecture: $(dpkg --print-architecture)
Maintainer: Rootix developers <rootix@example.org>
Depends: qt6-qpa-plugins
Description: multithreaded processor benchmark
 The single package of 2.11, with rootix-server and its unit.
EOF
dpkg-deb --root-owner-group -b "$old" "$work/rootix_2.11.deb" >/dev/null

# upgrade FIRST SECOND: a fresh root with the old package and its server
# running, then one "dpkg -i FIRST SECOND".
upgrade() {
  local root=$work/root-$RANDOM unit wants port status version
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
  touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
  in_root() { dpkg --root="$root" --force-depends --force-not-root "$@"; }
  owner() { dpkg-query --admindir="$root/var/lib/dpkg" -S "$1" | cut -d: -f1; }

  in_root -i "$work/rootix_2.11.deb" >/dev/null
  [[ $(owner /usr/bin/rootix-server) == rootix ]]

  # Enabled as "systemctl enable" does it, and running.
  unit=/usr/lib/systemd/system/rootix-server.service
  wants=$root/etc/systemd/system/multi-user.target.wants
  mkdir -p "$wants"
  ln -s "$unit" "$wants/rootix-server.service"
  port=$((20000 + RANDOM % 20000))
  "$root/usr/bin/rootix-server" --listen "127.0.0.1:$port" --db "sqlite:$root.sqlite" >"$work/server.log" 2>&1 &
  server_pid=$!
  answers() { curl -fsS --max-time 5 "http://127.0.0.1:$port/healthz" >/dev/null 2>&1; }
  for _ in $(seq 100); do answers && break; sleep 0.1; done
  answers || { cat "$work/server.log"; echo "the old server did not start" >&2; exit 1; }

  # As apt runs it: a package that Breaks an installed one deconfigures it.
  in_root --auto-deconfigure -i "$1" "$2" >"$work/upgrade.log" 2>&1 || { cat "$work/upgrade.log"; exit 1; }

  status=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Package} ${Version} ${Status}\n' rootix rootix-server)
  echo "$status"
  version=$(dpkg-deb -f "$new_rootix" Version)
  [[ $status == "rootix $version install ok installed"$'\n'"rootix-server $version install ok installed" ]]
  [[ $(owner /usr/bin/rootix) == rootix ]]
  [[ $(owner /usr/bin/rootix-server) == rootix-server ]]
  [[ $(owner "$unit") == rootix-server ]]
  [[ -f $root$(readlink "$wants/rootix-server.service") ]] || { echo "the enabled unit is gone" >&2; exit 1; }
  kill -0 "$server_pid" && answers || { echo "the server stopped during the upgrade" >&2; exit 1; }
  kill "$server_pid"
  wait "$server_pid" 2>/dev/null || true
  server_pid=
  echo "upgrade from the single 2.11 package ($(basename "$1") first): files moved to rootix-server, unit still enabled, server still answering"
}

# Either order: the server's package first needs Replaces to take the files over.
upgrade "$new_rootix" "$new_server"
upgrade "$new_server" "$new_rootix"

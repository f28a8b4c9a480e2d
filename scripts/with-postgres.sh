#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL cluster of Debian's postgresql
# package: initdb and pg_ctl in a temporary folder (as the unprivileged user
# "postgres" when run as root), listening on 127.0.0.1 and a free port, with
# ROOTIX_TEST_POSTGRESQL set to its database. The cluster is stopped and
# removed afterwards. When no cluster can be started, the command still runs,
# without ROOTIX_TEST_POSTGRESQL and with ROOTIX_TEST_POSTGRESQL_SKIPPED
# saying why, so the PostgreSQL tests skip with that reason.
#   scripts/with-postgres.sh build/tests/test_server --gtest_filter='*/PostgreSQL'
set -uo pipefail
(($#)) || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }

run_without() {
  echo "PostgreSQL not available: $1; running without it" >&2
  export ROOTIX_TEST_POSTGRESQL_SKIPPED="$1"
  unset ROOTIX_TEST_POSTGRESQL
  "$@"
}

pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [[ -z $pg_bin || ! -x $pg_bin/initdb ]]; then
  reason="Debian's postgresql package is not installed (no /usr/lib/postgresql/*/bin/initdb)"
  run_without "$reason" "$@"; exit $?
fi

as_owner=()
if [[ $(id -u) -eq 0 ]]; then
  if ! id postgres >/dev/null 2>&1; then
    run_without "running as root and there is no unprivileged postgres user" "$@"; exit $?
  fi
  as_owner=(runuser -u postgres --)
fi

# The cluster's owner must reach its folder: a private TMPDIR of root's will not do.
parent=${TMPDIR:-/tmp}
if [[ ${#as_owner[@]} -gt 0 ]] && ! "${as_owner[@]}" test -x "$parent"; then parent=/tmp; fi
work=$(mktemp -d "$parent/rootix-pg.XXXXXX")
[[ ${#as_owner[@]} -gt 0 ]] && chown postgres: "$work"
chmod 700 "$work"
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

stop() {
  "${as_owner[@]}" "$pg_bin/pg_ctl" -D "$work/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap stop EXIT

if ! "${as_owner[@]}" "$pg_bin/initdb" -D "$work/data" -A trust -U rootix -E UTF8 --no-locale >"$work/initdb.log" 2>&1; then
  tail -n 20 "$work/initdb.log" >&2
  run_without "initdb failed" "$@"; exit $?
fi
if ! "${as_owner[@]}" "$pg_bin/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 30 \
    -o "-p $port -k $work -c listen_addresses=127.0.0.1 -c max_connections=200" start >/dev/null; then
  tail -n 20 "$work/server.log" >&2
  run_without "the cluster did not start" "$@"; exit $?
fi
if ! "${as_owner[@]}" "$pg_bin/createdb" -h 127.0.0.1 -p "$port" -U rootix rootix; then
  run_without "createdb failed" "$@"; exit $?
fi

echo "PostgreSQL $("$pg_bin/postgres" --version | awk '{print $3}') on 127.0.0.1:$port ($work)" >&2
export ROOTIX_TEST_POSTGRESQL="postgresql://rootix@127.0.0.1:$port/rootix"
unset ROOTIX_TEST_POSTGRESQL_SKIPPED
"$@"

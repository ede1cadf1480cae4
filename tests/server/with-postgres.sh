#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL cluster: created in a temporary
# directory, listening on 127.0.0.1 at a free port, removed afterwards. The
# command finds it through QUARZELLO_TEST_POSTGRES_URL. Fails (instead of
# skipping anything) when the cluster cannot be started.
set -euo pipefail

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "with-postgres: no PostgreSQL server installed (Debian package postgresql)" >&2
  exit 1
fi

dir=$(mktemp -d /tmp/quarzello-pg.XXXXXX)
# initdb refuses to run as root, so root runs the cluster as the postgres user.
as_owner() { "$@"; }
if [ "$(id -u)" -eq 0 ]; then
  chown postgres: "$dir"
  as_owner() { runuser -u postgres -- "$@"; }
fi

stop_cluster() {
  as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap stop_cluster EXIT

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

as_owner "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --no-sync >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 1; }

started=""
for attempt in 1 2 3; do
  port=$(free_port)
  if as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c max_connections=200" start >/dev/null; then
    started=yes
    break
  fi
done
if [ -z "$started" ]; then
  echo "with-postgres: the cluster did not start" >&2
  cat "$dir/server.log" >&2 || true
  exit 1
fi

export QUARZELLO_TEST_POSTGRES_URL="postgresql://postgres@127.0.0.1:$port"
"$@"

#!/usr/bin/env bash
# Measures the rankings page for browsers with wrk: one ranking of 500 entries,
# page 3, each request on its own connection, first with the page copies of
# the service (a database query at most once a second) and then with every
# request built from the database (--page-max-age 0), alternating ROUNDS times
# so that both see the same load. On SQLite, or on PostgreSQL when run by
# tests/server/with-postgres.sh:
#
#   bench/server/page.sh [BUILD_DIR] [SECONDS] [CONNECTIONS] [ROUNDS]
#   tests/server/with-postgres.sh bench/server/page.sh [BUILD_DIR] ...
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
seconds=${2:-5}
connections=${3:-32}
rounds=${4:-2}
server="$build/quarzello-highscored"
[ -x "$server" ] || { echo "build $server first (cmake --build build --target quarzello-highscored)" >&2; exit 1; }

source "$here/servers.sh"

start() {  # options...; sets pid and port
  start_server page "$build" "$database" "$@"
}

stop() {
  kill "$pid"
  wait "$pid" || true
  pid=""
}

# A full ranking, written straight into the database the service created.
if [ -n "${QUARZELLO_TEST_POSTGRES_URL:-}" ]; then
  psql -q "$QUARZELLO_TEST_POSTGRES_URL/postgres" -c "CREATE DATABASE pagebench"
  database="$QUARZELLO_TEST_POSTGRES_URL/pagebench"
  start
  stop
  psql -q "$database" -c "INSERT INTO scores (mode, name, points, created_at)
    SELECT 4, 'Spieler' || i, 100000 - i, 0 FROM generate_series(0, 499) AS i"
else
  database="sqlite:$work/highscores.sqlite"
  start
  stop
  python3 - "$work/highscores.sqlite" <<'PY'
import sqlite3, sys
with sqlite3.connect(sys.argv[1]) as db:
    db.executemany("INSERT INTO scores (mode, name, points, created_at) VALUES (4, ?, ?, 0)",
                   [("Spieler%d" % i, 100000 - i) for i in range(500)])
PY
fi

echo "database ${database%%:*}"
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the run"
for round in $(seq "$rounds"); do
  for mode in cached uncached; do
    if [ $mode = cached ]; then start; else start --page-max-age 0; fi
    printf '%-9s round %d: ' "$mode" "$round"
    wrk -t2 -c"$connections" -d"${seconds}s" --latency -H 'Connection: close' \
      "http://127.0.0.1:$port/quarzello/?mode=4&page=3" |
      awk '/Requests\/sec/ {rate=$2} / 99%/ {p99=$2} /Non-2xx|Socket errors/ {err=err " " $0}
           END {printf "%s pages/s, p99 %s%s\n", rate, p99, err}'
    stop
  done
done
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) after the run"

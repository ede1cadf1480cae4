#!/usr/bin/env bash
# Uploads of recordings against the service on this machine:
# - how many recordings it verifies a second (distinct Turbo games, 8 at a time);
# - the players' fetch rate and p99 (wrk, fetch.lua) alone, and beside a flood
#   of uploads from another address that are each played through, in the same run;
# - the storage an entry with its recording takes, on SQLite and PostgreSQL.
#
#   bench/server/uploads.sh [BUILD_DIR] [SECONDS] [GAMES]
#
# Recordings are made by build/server/replay_bench --write, through the core.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
seconds=${2:-10}
count=${3:-300}
source "$here/servers.sh"

mkdir -p "$work/games"
"$build/server/replay_bench" --write "$work/games" "$count"

storage() {  # $1: label, $2: bytes before, $3: bytes after, $4: entries
  echo "$1: $(( ($3 - $2) / $4 )) bytes per verified entry with its recording ($4 entries)"
}

if [ -n "${QUARZELLO_TEST_POSTGRES_URL:-}" ]; then
  psql -q "$QUARZELLO_TEST_POSTGRES_URL/postgres" -c "CREATE DATABASE uploads"
  db="$QUARZELLO_TEST_POSTGRES_URL/uploads"
  start_server postgresql "$build" "$db"
  size() { psql -tA "$db" -c "SELECT pg_total_relation_size('scores') + pg_total_relation_size('recordings') + pg_total_relation_size('tickets')"; }
  echo "== PostgreSQL"
  python3 "$here/uploads.py" "$port" "$work/games" prepare "$db"
  before=$(size)
  python3 "$here/uploads.py" "$port" "$work/games" verify
  psql -q "$db" -c "VACUUM ANALYZE"
  storage postgresql "$before" "$(size)" "$count"
  exit 0
fi

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the run"
start_server uploads "$build" "sqlite:$work/uploads.sqlite"
python3 "$here/uploads.py" "$port" "$work/games" prepare "sqlite:$work/uploads.sqlite"
sqlite_size() { python3 -c "import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); c.execute('PRAGMA wal_checkpoint(TRUNCATE)'); print(c.execute('PRAGMA page_count').fetchone()[0] * c.execute('PRAGMA page_size').fetchone()[0] - c.execute('PRAGMA freelist_count').fetchone()[0] * c.execute('PRAGMA page_size').fetchone()[0])" "$work/uploads.sqlite"; }
before=$(sqlite_size)
echo "== SQLite"
python3 "$here/uploads.py" "$port" "$work/games" verify
storage sqlite "$before" "$(sqlite_size)" "$count"

fetches() {  # $1: label
  local line
  line=$(wrk -t2 -c8 -d"${seconds}s" --latency -s "$here/fetch.lua" "http://127.0.0.1:$port" | grep -E 'fetches:')
  echo "$1: $line (load average $(cut -d' ' -f1-3 /proc/loadavg))"
}
echo "== fetches (8 connections), alone and beside a flood of uploads"
fetches "alone"
python3 "$here/uploads.py" "$port" "$work/games" flood "$((seconds + 2))" &
flood=$!
sleep 1
fetches "beside the flood"
wait "$flood"
fetches "alone again"
stop() { kill "$pid"; wait "$pid" || true; }
stop

"$root/tests/server/with-postgres.sh" "$0" "$build" "$seconds" "$count"

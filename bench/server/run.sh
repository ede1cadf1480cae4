#!/usr/bin/env bash
# Measures the highscore server with wrk on this machine: submissions
# (register + submit, as the game does) and then fetches, on SQLite and on a
# throwaway PostgreSQL cluster.
#
#   bench/server/run.sh [BUILD_DIR] [SECONDS] [CONNECTIONS]
#
# The server and wrk run side by side on the same cores, so the figures are
# what the machine gives to both together.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
seconds=${2:-10}
connections=${3:-32}
server="$build/quarzello-highscored"
[ -x "$server" ] || { echo "build $server first (cmake --build build --target quarzello-highscored)" >&2; exit 1; }

work=$(mktemp -d /tmp/quarzello-bench.XXXXXX)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

measure() {  # $1: label, $2: database
  local log="$work/server-$1.log"
  "$server" --listen 127.0.0.1:0 --db "$2" --rate-limit 0 2>"$log" &
  pid=$!
  local port=""
  for _ in $(seq 200); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { cat "$log" >&2; exit 1; }

  echo "== $1"
  wrk -t2 -c"$connections" -d"${seconds}s" --latency -s "$here/submit.lua" "http://127.0.0.1:$port" |
    grep -E 'submissions:|Socket errors|Non-2xx'
  wrk -t2 -c"$connections" -d"${seconds}s" --latency -s "$here/fetch.lua" "http://127.0.0.1:$port" |
    grep -E 'fetches:|Socket errors|Non-2xx'
  kill "$pid"
  wait "$pid" || true
  pid=""
}

if [ -n "${QUARZELLO_TEST_POSTGRES_URL:-}" ]; then
  # The second round, beside the cluster that with-postgres.sh started.
  psql -q "$QUARZELLO_TEST_POSTGRES_URL/postgres" -c "CREATE DATABASE bench"
  measure postgresql "$QUARZELLO_TEST_POSTGRES_URL/bench"
  exit 0
fi

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the run"
measure sqlite "sqlite:$work/highscores.sqlite"
"$root/tests/server/with-postgres.sh" "$0" "$build" "$seconds" "$connections"

#!/usr/bin/env bash
# Measures the highscore server with wrk on this machine, one request per
# connection as the game makes them:
# - submissions (register + submit, as the game does) and fetches on SQLite;
# - nginx serving the same fetch reply as a static file, for reference;
# - the server's memory after 100,000 requests;
# - a player's fetch latency while 1,000 idle and 100 trickling connections
#   from other addresses hang on (slow_clients.py);
# - submissions and fetches on a throwaway PostgreSQL cluster.
#
#   bench/server/run.sh [BUILD_DIR] [SECONDS] [CONNECTIONS] [BASELINE_BUILD_DIR]
#
# With a baseline (the build of an earlier commit) the SQLite rounds alternate
# between both servers, twice, so that whatever else the machine does weighs
# on both alike. The servers and wrk run side by side on the same cores, so
# the figures are what the machine gives to both together.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
seconds=${2:-10}
connections=${3:-32}
baseline=${4:-}
for dir in "$build" $baseline; do
  [ -x "$dir/quarzello-highscored" ] ||
    { echo "build $dir/quarzello-highscored first (cmake --build build --target quarzello-highscored)" >&2; exit 1; }
done

source "$here/servers.sh"

stop_server() {  # $1: pid
  kill "$1"
  wait "$1" || true
}

load() {  # $1: label, $2: port, $3: submit or fetch
  local line
  line=$(wrk -t2 -c"$connections" -d"${seconds}s" --latency -s "$here/$3.lua" "http://127.0.0.1:$2" |
    grep -E 'submissions:|fetches:|Socket errors|Non-2xx' | paste -sd' ')
  echo "$1: $line  (load average $(cut -d' ' -f1-3 /proc/loadavg))"
}

requests_served() {  # $1: label; the log has a line per request
  grep -c ' POST ' "$work/server-$1.log" || true
}

memory() {  # $1: label, $2: pid
  echo "$1: $(requests_served "$1") requests served, $(grep -E 'VmRSS' "/proc/$2/status" | tr -s ' \t' ' '), $(
    grep -E 'VmHWM' "/proc/$2/status" | tr -s ' \t' ' ')"
}

# nginx from its Debian package, unpacked under the build directory rather
# than installed, so that no system service is set up for a benchmark.
nginx_binary() {
  local cache="$root/build-bench-nginx"
  if [ ! -x "$cache/usr/sbin/nginx" ]; then
    mkdir -p "$cache"
    (cd "$cache" && apt-get download nginx >/dev/null 2>&1 && dpkg-deb -x nginx_*.deb .) || return 1
  fi
  echo "$cache/usr/sbin/nginx"
}

# serve_like_nginx PORT_OF_SERVER: serves the server's fetch reply as a static
# file; sets nginx_port.
serve_like_nginx() {
  local nginx
  nginx=$(nginx_binary) || { echo "nginx: not available, reference round skipped"; return 1; }
  mkdir -p "$work/www/quarzello"
  python3 - "$1" "$work/www/quarzello/get.php" <<'EOF'
import socket, sys
with socket.create_connection(("127.0.0.1", int(sys.argv[1]))) as sock:
    sock.sendall(b"POST /quarzello/get.php HTTP/1.0\r\nContent-Length: 23\r\n\r\nget_highscore=yes&own=1")
    reply = b""
    while data := sock.recv(65536):
        reply += data
open(sys.argv[2], "wb").write(reply.split(b"\r\n\r\n", 1)[1])
EOF
  nginx_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  mkdir -p "$work/nginx"
  cat >"$work/nginx.conf" <<EOF
worker_processes auto;
$( [ "$(id -u)" -eq 0 ] && echo "user root;" )
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log $work/nginx/access.log;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    # The static handler takes GET only; the game's POST is answered with the file.
    location = /quarzello/get.php {
      default_type "text/plain; charset=ISO-8859-1";
      error_page 405 =200 \$uri;
    }
  }
}
EOF
  "$nginx" -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx.conf" -g 'daemon off;' &
  nginx_pid=$!
  pids+=("$nginx_pid")
  for _ in $(seq 100); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $nginx_port)).close()" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "nginx did not start" >&2
  cat "$work/nginx/error.log" >&2
  return 1
}

if [ -n "${QUARZELLO_TEST_POSTGRES_URL:-}" ]; then
  # The last round, beside the cluster that with-postgres.sh started.
  psql -q "$QUARZELLO_TEST_POSTGRES_URL/postgres" -c "CREATE DATABASE bench"
  start_server postgresql "$build" "$QUARZELLO_TEST_POSTGRES_URL/bench"
  echo "== PostgreSQL"
  load postgresql "$port" submit
  load postgresql "$port" fetch
  stop_server "$pid"
  exit 0
fi

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the run"
labels=(new)
start_server new "$build" "sqlite:$work/new.sqlite"
declare -A server_pid=([new]=$pid) server_port=([new]=$port)
if [ -n "$baseline" ]; then
  labels+=(baseline)
  start_server baseline "$baseline" "sqlite:$work/baseline.sqlite"
  server_pid[baseline]=$pid
  server_port[baseline]=$port
fi

echo "== SQLite: submissions, then fetches of the rankings they filled"
rounds=$([ -n "$baseline" ] && echo 2 || echo 1)
for kind in submit fetch; do
  for _ in $(seq "$rounds"); do
    for label in "${labels[@]}"; do load "$label" "${server_port[$label]}" "$kind"; done
  done
done
if serve_like_nginx "${server_port[new]}"; then
  load "nginx, the same reply as a static file" "$nginx_port" fetch
  stop_server "$nginx_pid"
fi

echo "== memory after at least 100,000 requests"
for label in "${labels[@]}"; do
  while [ "$(requests_served "$label")" -lt 100000 ]; do
    wrk -t2 -c"$connections" -d5s -s "$here/fetch.lua" "http://127.0.0.1:${server_port[$label]}" >/dev/null
  done
  memory "$label" "${server_pid[$label]}"
done
for label in "${labels[@]}"; do stop_server "${server_pid[$label]}"; done

echo "== a player beside slow clients (the caps as the service ships them)"
keep_caps=yes start_server slow "$build" "sqlite:$work/new.sqlite"
python3 "$here/slow_clients.py" "$port" 1000
echo "(load average $(cut -d' ' -f1-3 /proc/loadavg))"
stop_server "$pid"
if [ -n "$baseline" ]; then
  keep_caps=yes start_server slow-baseline "$baseline" "sqlite:$work/baseline.sqlite"
  echo "baseline:"
  python3 "$here/slow_clients.py" "$port" 5
  stop_server "$pid"
fi

"$root/tests/server/with-postgres.sh" "$0" "$build" "$seconds" "$connections"

#!/usr/bin/env bash
# Installs what is missing, builds the game and plays it. When the highscore
# service is part of the build, a private one is started on 127.0.0.1 with its
# SQLite database in the data directory, the game is pointed at it, and it is
# stopped again when the game ends. The game runs in the data directory too,
# so its local highscore file lives there.
#   QUARZELLO_DATA_DIR   where the database and highscore file go (default: data/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ -z "${DISPLAY:-}" ]; then
  echo "play.sh: no X display (DISPLAY is not set); run it from a desktop session" >&2
  exit 1
fi

tools/install-deps.sh
cmake -S . -B build -G Ninja
targets=(quarzello)
if ninja -C build -t targets all 2>/dev/null | grep -q '^quarzello-highscored:'; then
  targets+=(quarzello-highscored)
fi
cmake --build build -j "${QUARZELLO_JOBS:-2}" --target "${targets[@]}"

mkdir -p "${QUARZELLO_DATA_DIR:-$root/data}"
data_dir=$(cd "${QUARZELLO_DATA_DIR:-$root/data}" && pwd)

server_pid=""
stop_server() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill -TERM "$server_pid"
    wait "$server_pid" || true
  fi
}
trap stop_server EXIT
trap 'exit 130' INT TERM

if [ -x build/quarzello-highscored ]; then
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  build/quarzello-highscored --listen "127.0.0.1:$port" --db "sqlite:$data_dir/highscores.sqlite" \
    2>>"$data_dir/highscored.log" &
  server_pid=$!
  listening=""
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then listening=yes; break; fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$listening" ]; then
    echo "play.sh: the highscore service did not start; see $data_dir/highscored.log" >&2
    exit 1
  fi
  export QUARZELLO_HIGHSCORE_HOST="127.0.0.1:$port"
  echo "highscore service on $QUARZELLO_HIGHSCORE_HOST (log: $data_dir/highscored.log)"
fi

cd "$data_dir"
status=0
"$root/build/quarzello" || status=$?
exit "$status"

# Sourced by the server benchmarks: a scratch directory removed at exit, and
# services started on a free port and stopped at exit.

work=$(mktemp -d /tmp/quarzello-bench.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# start_server LABEL BUILD_DIR DATABASE [OPTIONS...]: sets pid and port.
start_server() {
  local label=$1 dir=$2 db=$3
  shift 3
  local log="$work/server-$label.log"
  local options=(--listen 127.0.0.1:0 --db "$db" --rate-limit 0 "$@")
  # wrk's connections all come from one address; the cap per address is
  # lifted for the load rounds where the server has one.
  if [ "${keep_caps:-}" != yes ] && "$dir/quarzello-highscored" --help | grep -q -- --max-connections-per-address; then
    options+=(--max-connections-per-address 0)
  fi
  # The submissions of the benchmarks come without recordings; a server that
  # lists verified entries only would fetch empty rankings.
  if "$dir/quarzello-highscored" --help | grep -q -- --accept-unverified; then
    options+=(--accept-unverified)
  fi
  "$dir/quarzello-highscored" "${options[@]}" 2>"$log" &
  pid=$!
  pids+=("$pid")
  port=""
  for _ in $(seq 200); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { cat "$log" >&2; exit 1; }
}

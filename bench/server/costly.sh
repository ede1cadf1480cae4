#!/usr/bin/env bash
# The costliest recordings one address can make the service play: 8 clients
# on 127.0.0.3 upload costly.qzr (see replay_bench --write) without pause for
# SECONDS, against a service with its shipped limits; meanwhile the players'
# fetches from 127.0.0.1 (wrk, fetch.lua). Reports the CPU time the replay
# workers used (the service's children, live and ended) per minute, the
# uploads by status and the fetch rate and p99.
#
#   bench/server/costly.sh [BUILD_DIR] [SECONDS] [GAMES_BUILD_DIR]
#
# GAMES_BUILD_DIR (default BUILD_DIR) has the replay_bench that writes the
# recordings, so that an older service can be measured with the same ones.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
seconds=${2:-60}
games_build=${3:-$build}
source "$here/servers.sh"

mkdir -p "$work/games"
"$games_build/server/replay_bench" --write "$work/games" 1

# The shipped limits: the rate limit and the cap on connections per address.
keep_caps=yes start_server costly "$build" "sqlite:$work/costly.sqlite" --rate-limit 30

ticks=$(getconf CLK_TCK)
workers_cpu() {  # CPU ticks of the service's children: ended ones (reaped) and live ones
  local total
  total=$(awk '{print $16 + $17}' "/proc/$pid/stat")
  for child in $(pgrep -P "$pid"); do
    total=$((total + $(awk '{print $14 + $15}' "/proc/$child/stat" 2>/dev/null || echo 0)))
  done
  echo "$total"
}

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the run"
before=$(workers_cpu)
python3 "$here/uploads.py" "$port" "$work/games" costly "$seconds" &
flood=$!
sleep 1
line=$(wrk -t2 -c8 -d"$((seconds - 2))s" --latency -s "$here/fetch.lua" "http://127.0.0.1:$port" | grep -E 'fetches:')
wait "$flood"
after=$(workers_cpu)
echo "replay workers: $(( (after - before) * 1000 / ticks )) ms CPU in ${seconds} s" \
     "= $(( (after - before) * 60 * 1000 / ticks / seconds )) ms CPU a minute for one address"
echo "fetches beside the flood: $line"

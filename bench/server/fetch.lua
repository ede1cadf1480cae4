-- wrk script: the game's fetch of all seven rankings, one connection each.
wrk.method = "POST"
wrk.path = "/quarzello/get.php"
wrk.body = "get_highscore=yes&own=1"
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
wrk.headers["Connection"] = "close"

failures = 0
function response(status, headers, body)
  if status ~= 200 or body:sub(1, 6) ~= "TABLE\n" then failures = failures + 1 end
end

local threads = {}
function setup(thread) table.insert(threads, thread) end

function done(summary, latency, requests)
  local failed = 0
  for _, thread in ipairs(threads) do failed = failed + thread:get("failures") end
  io.write(string.format("fetches: %d in %.1f s = %.0f/s, p50 %.2f ms, p99 %.2f ms, failed %d\n",
    summary.requests, summary.duration / 1e6, summary.requests / (summary.duration / 1e6),
    latency:percentile(50) / 1000, latency:percentile(99) / 1000, failed))
end

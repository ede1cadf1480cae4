-- wrk script: players submitting scores as the game does, each submission
-- preceded by its own registration (a key is good for one submission).
-- Register and submit requests are counted together in wrk's figures; the
-- stored submissions are counted here.
local contentType = "application/x-www-form-urlencoded"
local headers = { ["Content-Type"] = contentType, ["Connection"] = "close" }

local keys = {}        -- registrations waiting for their submission
stored = 0     -- globals, so that done() can read them from each thread
failures = 0
local counter = 0

-- The game's check value: Adler-32 over the key's first 16 characters,
-- points, ranking and the rest of the key, as a signed 32-bit number.
local function scoreHash(key, points, mode)
  local head = key:sub(1, 16)
  head = head .. string.rep(" ", 16 - #head)
  local text = head .. tostring(points) .. tostring(mode) .. key:sub(17)
  local a, b = 1, 0
  for i = 1, #text do
    a = (a + text:byte(i)) % 65521
    b = (b + a) % 65521
  end
  local value = b * 65536 + a
  if value >= 2147483648 then value = value - 4294967296 end
  return value
end

function request()
  local registration = table.remove(keys)
  if registration == nil then
    return wrk.format("POST", "/quarzello/register.php", headers, "register=yes")
  end
  counter = counter + 1
  local points = (counter * 7919) % 1000000
  local mode = counter % 7
  local body = string.format("name=bench%d&pts=%d&mode=%d&lang=de&key_id=%s&hash=%d",
    counter % 100000, points, mode, registration.id, scoreHash(registration.key, points, mode))
  return wrk.format("POST", "/quarzello/highscore.php", headers, body)
end

function response(status, headers, body)
  local key, id = body:match("^OKAY\n(%x+)\n(-?%d+)\n$")
  if key then
    table.insert(keys, { key = key, id = id })
  elseif body:match("^OKAY\n%d+\n$") then
    stored = stored + 1
  else
    failures = failures + 1
  end
end

local threads = {}
function setup(thread) table.insert(threads, thread) end

function done(summary, latency, requests)
  local total, failed = 0, 0
  for _, thread in ipairs(threads) do
    total = total + thread:get("stored")
    failed = failed + thread:get("failures")
  end
  local seconds = summary.duration / 1e6
  io.write(string.format(
    "submissions: %d stored in %.1f s = %.0f/s (plus as many registrations; %d requests = %.0f/s), " ..
    "p50 %.2f ms, p99 %.2f ms, failed %d\n",
    total, seconds, total / seconds, summary.requests, summary.requests / seconds,
    latency:percentile(50) / 1000, latency:percentile(99) / 1000, failed))
end

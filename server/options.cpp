#include "server/options.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "server/form.h"

namespace highscored {

const char* const kUsage =
    "usage: quarzello-highscored [options]\n"
    "  --listen ADDR:PORT     address to serve on (default 127.0.0.1:8080; port 0 picks a free one)\n"
    "  --db sqlite:PATH       keep the rankings in an SQLite file (default: highscores.sqlite\n"
    "                         in $XDG_DATA_HOME/quarzello or ~/.local/share/quarzello)\n"
    "  --db postgresql://...  keep them in a PostgreSQL database\n"
    "  --table-size N         entries per ranking in a fetch (default 100)\n"
    "  --rate-limit N         registrations, submissions, deals, start reports and uploads of\n"
    "                         recordings per client address and minute (default 30, 0 = no\n"
    "                         limit); counted in the database for all services on it when\n"
    "                         that is PostgreSQL\n"
    "  --accept-unverified    list entries whose recording was not played again too, marked\n"
    "                         (default: only verified entries are listed)\n"
    "  --replay-workers N     recordings played again at once, each in a process of its own\n"
    "                         at the lowest priority (default 2)\n"
    "  --replay-cpu-limit MILLIS  CPU time a replay may take (default 4000)\n"
    "  --replay-cpu-per-minute MILLIS  CPU time of replays one client address may use a\n"
    "                         minute, at least --replay-cpu-limit (default twice that, 0 = no limit)\n"
    "  --replay-memory-limit MIB  memory a replay worker may take on for a replay (default 64)\n"
    "  --max-uploads N        uploads of recordings waiting for a replay or replayed at once;\n"
    "                         more are refused once their checks have passed (default 16)\n"
    "  --max-uploads-received N  uploads of recordings received, checked or replayed at once;\n"
    "                         more are refused as soon as their head arrives (default 64)\n"
    "  --max-uploads-per-address N  the same from one client address (default 4, 0 = no limit)\n"
    "  --key-ttl SECONDS      how long a registration key stays valid (default 600)\n"
    "  --threads N            serving threads, and as many workers for registrations and\n"
    "                         submissions (default 16)\n"
    "  --client-timeout SECONDS  how long a client may take to send its whole request,\n"
    "                         and again to take the reply (default 5)\n"
    "  --max-connections N    connections open at once (default 1000)\n"
    "  --max-connections-per-address N  connections open at once from one address\n"
    "                         (default 32, 0 = no limit)\n"
    "  --page-max-age MILLIS  how long a rankings page for browsers is served before the\n"
    "                         database is asked again (default 1000, 0 = every time)\n"
    "  --trusted-proxy ADDR   take the client address of requests from ADDR (a reverse proxy)\n"
    "                         from the last entry of their X-Forwarded-For header; its\n"
    "                         connections are not limited per address\n";

namespace {

std::optional<int> Number(const std::string& text, int lowest, int highest) {
  const auto value = ParseDecimal(text, lowest < 0);
  if (!value || *value < lowest || *value > highest) return std::nullopt;
  return *value;
}

bool ParseListen(const std::string& text, HttpSettings& http) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string address = text.substr(0, colon);
  if (address.size() > 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  const auto port = Number(text.substr(colon + 1), 0, 65535);
  if (!port) return false;
  http.address = address;
  http.port = *port;
  return true;
}

}  // namespace

Options ParseOptions(int argc, const char* const* argv) {
  Options options;
  std::optional<int> replayCpuPerMinute;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    std::optional<std::string> value;
    const size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (name == "--help" || name == "-h") {
      options.showHelp = true;
      continue;
    }
    if (name == "--accept-unverified" && !value) {
      options.service.acceptUnverified = true;
      options.web.acceptUnverified = true;
      continue;
    }
    if (!value) {
      if (i + 1 >= argc) {
        options.error = "missing value for " + name;
        return options;
      }
      value = argv[++i];
    }

    bool valid = true;
    if (name == "--listen") {
      valid = ParseListen(*value, options.http);
    } else if (name == "--db") {
      options.database = *value;
      valid = !value->empty();
    } else if (name == "--table-size") {
      const auto size = Number(*value, 1, 100'000);
      if (size) options.service.tableSize = *size;
      valid = size.has_value();
    } else if (name == "--rate-limit") {
      const auto limit = Number(*value, 0, 1'000'000);
      if (limit) options.service.rateLimitPerMinute = *limit;
      valid = limit.has_value();
    } else if (name == "--key-ttl") {
      const auto seconds = Number(*value, 1, 7 * 24 * 3600);
      if (seconds) options.service.keyLifetimeMillis = int64_t{*seconds} * 1000;
      valid = seconds.has_value();
    } else if (name == "--threads") {
      const auto threads = Number(*value, 1, 1024);
      if (threads) options.http.threads = *threads;
      valid = threads.has_value();
    } else if (name == "--client-timeout") {
      const auto seconds = Number(*value, 1, 600);
      if (seconds) options.http.clientTimeoutSeconds = *seconds;
      valid = seconds.has_value();
    } else if (name == "--max-connections") {
      const auto connections = Number(*value, 1, 1'000'000);
      if (connections) options.http.maxConnections = *connections;
      valid = connections.has_value();
    } else if (name == "--max-connections-per-address") {
      const auto connections = Number(*value, 0, 1'000'000);
      if (connections) options.http.maxConnectionsPerAddress = *connections;
      valid = connections.has_value();
    } else if (name == "--page-max-age") {
      // At most a second, so that scores stored elsewhere still show within one.
      const auto millis = Number(*value, 0, 1000);
      if (millis) options.web.maxAgeMillis = *millis;
      valid = millis.has_value();
    } else if (name == "--replay-workers") {
      const auto workers = Number(*value, 1, 256);
      if (workers) {
        options.replay.workers = *workers;
        options.http.uploadThreads = *workers * 2;
        options.service.maxReplaysPerAddress = std::max(1, *workers / 2);
      }
      valid = workers.has_value();
    } else if (name == "--replay-cpu-limit") {
      const auto millis = Number(*value, 1, 60'000);
      if (millis) options.replay.cpuLimitMillis = options.service.replayCpuLimitMillis = *millis;
      valid = millis.has_value();
    } else if (name == "--replay-cpu-per-minute") {
      const auto millis = Number(*value, 0, 100'000'000);
      if (millis) replayCpuPerMinute = *millis;
      valid = millis.has_value();
    } else if (name == "--replay-memory-limit") {
      const auto mebibytes = Number(*value, 1, 1 << 20);
      if (mebibytes) options.replay.memoryLimitMiB = *mebibytes;
      valid = mebibytes.has_value();
    } else if (name == "--max-uploads") {
      const auto uploads = Number(*value, 1, 100'000);
      if (uploads) options.service.maxReplays = *uploads;
      valid = uploads.has_value();
    } else if (name == "--max-uploads-received") {
      const auto uploads = Number(*value, 1, 100'000);
      if (uploads) options.http.maxUploadsReceived = *uploads;
      valid = uploads.has_value();
    } else if (name == "--max-uploads-per-address") {
      const auto uploads = Number(*value, 0, 100'000);
      if (uploads) options.http.maxUploadsPerAddress = *uploads;
      valid = uploads.has_value();
    } else if (name == "--trusted-proxy") {
      options.http.trustedProxy = *value;
      valid = !value->empty();
    } else {
      options.error = "unknown option " + name;
      return options;
    }
    if (!valid) {
      options.error = "invalid value for " + name + ": " + *value;
      return options;
    }
  }
  // An upload is played only while its sender has a whole replay's bound
  // left; by default two of them a minute.
  const int64_t cpuLimit = options.service.replayCpuLimitMillis;
  options.service.replayCpuPerMinuteMillis = replayCpuPerMinute.value_or(static_cast<int>(2 * cpuLimit));
  if (replayCpuPerMinute && *replayCpuPerMinute > 0 && *replayCpuPerMinute < cpuLimit) {
    options.error = "--replay-cpu-per-minute must be 0 or at least --replay-cpu-limit";
  }
  return options;
}

std::string DefaultDatabase() {
  std::filesystem::path directory;
  if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome) {
    directory = dataHome;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    directory = std::filesystem::path(home) / ".local" / "share";
  } else {
    directory = ".";
  }
  directory /= "quarzello";
  std::filesystem::create_directories(directory);
  return "sqlite:" + (directory / "highscores.sqlite").string();
}

}  // namespace highscored

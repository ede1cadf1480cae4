#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/rate_limiter.h"
#include "server/replay_pool.h"
#include "server/store.h"
#include "server/tickets.h"

namespace highscored {

struct ServiceSettings {
  int tableSize = 100;                         // entries per ranking in a fetch
  int rateLimitPerMinute = 30;                 // the game's requests but fetches, per address; 0 = no limit
  int64_t keyLifetimeMillis = 10 * 60'000;
  // Fetches are answered from a copy of the rankings that is renewed after
  // every stored score, and at least this often so that scores stored by
  // other servers on the same database show up.
  int64_t tablesMaxAgeMillis = 1000;
  // Whether fetches list entries whose recording has not been played again.
  bool acceptUnverified = false;
  // CPU milliseconds of replays each address may use a minute (0 = no
  // limit). An upload is played only while the sender has the most one
  // replay may take, replayCpuLimitMillis, left; what it did not take comes
  // back after it.
  int replayCpuPerMinuteMillis = 8000;
  int64_t replayCpuLimitMillis = 4000;
  // Uploads waiting for a replay worker or replayed at once, in all and
  // from one address; one more is refused once its checks have passed.
  // One address never has every worker.
  int maxReplays = 16;
  int maxReplaysPerAddress = 1;
  TicketTimes tickets;
};

struct Reply {
  Reply() = default;
  Reply(int replyStatus, std::string replyBody) : status(replyStatus), body(std::move(replyBody)) {}

  int status = 200;
  std::string body;  // lines as the game reads them
  std::string note;  // for the log only: why the service failed
};

// The requests of the game, from form-encoded body to reply text.
class HighscoreService {
 public:
  // Uploads are played again by replayer; without one they are refused.
  HighscoreService(ScoreStore& store, const ServiceSettings& settings, Replayer* replayer = nullptr);

  Reply Register(const std::string& body, const std::string& clientAddress);
  Reply Submit(const std::string& body, const std::string& clientAddress);
  Reply Fetch(const std::string& body);
  // The recording of a submitted game: played again, and the entry counts
  // once it reached the submitted points on a board dealt for it, in a time
  // that fits.
  Reply Upload(const std::string& body, const std::string& clientAddress);
  // A ticket for a ranked game: its id and the generator state of its board.
  Reply Deal(const std::string& body, const std::string& clientAddress);
  // The start of a ticket's game, stamped.
  Reply ReportStart(const std::string& body, const std::string& clientAddress);

  // A first line other than "OKAY", then the message the game shows.
  static Reply Error(int status, const std::string& message);

  // How many scores this service has stored since it started.
  uint64_t StoredScores() const { return scoresGeneration_.load(); }

 private:
  struct TablesText {
    std::string text;
    std::vector<std::pair<int32_t, size_t>> entryEnds;  // entry id, offset after its lines
    uint64_t generation = 0;
    int64_t builtMillis = 0;
  };

  std::shared_ptr<const TablesText> CurrentTables();
  bool IsFresh(const std::shared_ptr<const TablesText>& tables, int64_t nowMillis) const;
  void DropExpiredKeysNow(int64_t nowMillis);
  void DropStaleTicketsNow(int64_t nowMillis);
  bool Allow(const std::string& clientAddress);

  ScoreStore& store_;
  const ServiceSettings settings_;
  Replayer* const replayer_;
  RateLimiter rateLimiter_;
  RateLimiter replayTime_;
  std::atomic<int> replaysOpen_{0};
  std::mutex replaysPerAddressMutex_;
  std::unordered_map<std::string, int> replaysPerAddress_;
  std::atomic<int64_t> lastKeySweepMillis_{0};
  std::atomic<int64_t> lastTicketSweepMillis_{0};

  std::atomic<uint64_t> scoresGeneration_{0};  // counts stored scores
  std::mutex tablesMutex_;
  std::mutex rebuildMutex_;
  std::shared_ptr<const TablesText> tables_;
};

}  // namespace highscored

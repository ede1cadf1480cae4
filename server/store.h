#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/protocol.h"

namespace highscored {

// The rankings are the protocol's.
using quarzello::kRankings;

struct RankedEntry {
  int32_t id = 0;
  std::string name;
  int32_t points = 0;
};

// Best first within each ranking; among equal points the earlier submission first.
using Rankings = std::array<std::vector<RankedEntry>, kRankings>;

struct DatedEntry {
  int32_t id = 0;
  std::string name;
  int32_t points = 0;
  int64_t submittedMillis = 0;  // wall clock
  bool verified = false;        // its recording was played again and reached its points
};

// A stretch of one ranking in its order, and how many entries the whole
// ranking holds at the same moment.
struct RankingSlice {
  int64_t total = 0;
  std::vector<DatedEntry> entries;
};

struct NewScore {
  int32_t keyId = 0;
  std::string name;
  int32_t points = 0;
  int mode = 0;
};

enum class SubmitStatus { Stored, UnknownKey, Refused };

struct SubmitResult {
  SubmitStatus status = SubmitStatus::UnknownKey;
  int32_t id = 0;  // the new entry's id when stored
};

// What an upload of a recording is checked against: the entry as it was
// submitted, and the key it was submitted with (empty once the entry is
// verified, or for entries stored before recordings were taken).
struct UploadTarget {
  int ranking = 0;
  int32_t points = 0;
  int32_t keyId = 0;
  std::string key;
  bool verified = false;
};

// A board dealt for a ranked game (server/tickets.h): the generator state
// its game must start from, and the stamps of what the service learnt of
// that game, on the wall clock.
struct Ticket {
  int32_t id = 0;
  int ranking = 0;
  int64_t generatorState = 0;
  int64_t issuedMillis = 0;
  std::optional<int64_t> startedMillis;  // when the game's start was reported
  bool used = false;                     // an entry counts for its game; the upload's arrival is its end
};

// A recording that was played again and reached its entry's points, on the
// board of its ticket. The game it records is told by its ranking, the
// generator state it starts from and its points: the same game can verify
// one entry only, however its bytes are packed or padded.
struct VerifiedRecording {
  int32_t entryId = 0;
  int ranking = 0;
  int32_t points = 0;
  int64_t generatorState = 0;
  int32_t ticketId = 0;
  std::string bytes;  // as the core's recorder writes the replayed game, served again for anyone to check
};

enum class VerifyStatus { Stored, AlreadyVerified, RecordingUsed, TicketUsed };

// Raised when the database cannot be reached or refuses a statement.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where keys and scores are kept. Every method is safe to call from many
// threads at once, and a method that stores something returns only after the
// data is on disk.
class ScoreStore {
 public:
  virtual ~ScoreStore() = default;

  // Keeps a fresh key under id until expiresAtMillis (wall clock); false,
  // with nothing stored, when the id is taken.
  virtual bool AddKey(int32_t id, const std::string& key, int64_t expiresAtMillis) = 0;

  // Looks up the key with score.keyId, if it exists and has not expired at
  // nowMillis, and gives it to acceptKey. When that accepts, the key is used
  // up and the score stored, in one transaction. A refused key stays: the
  // sender may have guessed another player's id.
  virtual SubmitResult AddScore(const NewScore& score, int64_t nowMillis,
                                const std::function<bool(const std::string& key)>& acceptKey) = 0;

  // The best perRanking entries of every ranking: the verified ones only, or
  // all of them.
  virtual Rankings TopEntries(int perRanking, bool includeUnverified) = 0;

  // Up to count entries of one ranking, skipping the first offset.
  virtual RankingSlice Slice(int ranking, int64_t offset, int count, bool includeUnverified) = 0;

  virtual void DropExpiredKeys(int64_t nowMillis) = 0;

  // The entry a recording is uploaded for, if it exists.
  virtual std::optional<UploadTarget> FindUploadTarget(int32_t entryId) = 0;

  // Marks the entry verified, keeps its recording and uses up its ticket,
  // stamping the game's end at nowMillis, in one transaction; nothing
  // changes when the entry is verified already, the same game verified
  // another entry or the ticket was used, also by an upload at the same time.
  virtual VerifyStatus StoreVerified(const VerifiedRecording& recording, int64_t nowMillis) = 0;

  // Keeps a freshly dealt ticket (neither started nor used); false, with
  // nothing stored, when its id is taken.
  virtual bool AddTicket(const Ticket& ticket) = 0;
  // Stamps the start of the ticket's game at nowMillis if the ticket deals
  // that generator state, was issued after issuedAfterMillis and is neither
  // started nor used; whether it did.
  virtual bool StampTicketStart(int32_t id, int64_t generatorState, int64_t nowMillis, int64_t issuedAfterMillis) = 0;
  virtual std::optional<Ticket> FindTicket(int32_t id) = 0;
  // Forgets the unused tickets issued before then; used ones stay with their entry.
  virtual void DropStaleTickets(int64_t issuedBeforeMillis) = 0;

  // The recording of a verified entry.
  virtual std::optional<std::string> Recording(int32_t entryId) = 0;

  // Whether the rate limits are counted in the database, so that every
  // service sharing it counts the same requests; then AllowRequest counts
  // them (a bucket of perMinute requests per address that refills evenly
  // over a minute, as RateLimiter does in one process).
  virtual bool SharesRateLimits() const { return false; }
  virtual bool AllowRequest(const std::string& /*address*/, int /*perMinute*/, int64_t /*nowMillis*/) { return true; }
};

// "sqlite:PATH" or a "postgresql://" / "postgres://" connection URL.
// connections bounds how many requests may use the database at once.
std::unique_ptr<ScoreStore> OpenStore(const std::string& url, int connections);

}  // namespace highscored

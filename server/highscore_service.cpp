#include "protocol/protocol.h"
#include "protocol/score_hash.h"
#include "server/highscore_service.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "server/clock.h"
#include "server/form.h"
#include "server/random_key.h"
#include "server/recording_upload.h"
#include "protocol/upload.h"
#include "server/texts.h"
#include "gameplay/modes.h"

namespace highscored {

namespace {

constexpr int64_t kSweepIntervalMillis = 60'000;
constexpr int kIdAttempts = 8;

const char* const kMalformedBody = "Die Anfrage ist fehlerhaft kodiert.";
const char* const kBadName = "Der Name muss aus 2 bis 15 einfachen Zeichen bestehen.";
const char* const kBadPoints = "Die Punktzahl ist ungültig.";
const char* const kBadMode = "Diese Rangliste gibt es nicht.";
const char* const kWrongHash = "Die Prüfsumme des Punktwerts stimmt nicht. Er wurde nicht gespeichert.";
const char* const kTooManyRequests =
    "Zu viele Anfragen von Ihrer Adresse. Bitte versuchen Sie es in einer Minute erneut.";
const char* const kStoreFailed = "Der Highscore-Server ist gerade gestört. Bitte versuchen Sie es später erneut.";
const char* const kBadRecordingText = "Die Aufzeichnung des Spiels ist fehlerhaft kodiert.";
const char* const kNoSuchEntry = "Zu diesem Eintrag nimmt der Highscore-Server keine Aufzeichnung an.";
const char* const kWrongRecordingHash = "Die Prüfsumme der Aufzeichnung stimmt nicht. Sie wurde nicht angenommen.";
const char* const kAlreadyVerified = "Dieser Eintrag ist schon mit seiner Aufzeichnung bestätigt.";
const char* const kRecordingUsed = "Diese Aufzeichnung bestätigt schon einen anderen Eintrag.";
const char* const kUnreadableRecording = "Die Aufzeichnung ist beschädigt und lässt sich nicht abspielen.";
const char* const kCostlyRecording = "Die Aufzeichnung lässt sich nicht in der erlaubten Zeit abspielen.";
const char* const kOtherRanking = "Die Aufzeichnung ist ein Spiel einer anderen Rangliste.";
const char* const kNotEnded = "Das aufgezeichnete Spiel ist nicht zu Ende gespielt.";
const char* const kOtherPoints = "Das aufgezeichnete Spiel erreicht nicht den eingetragenen Punktwert.";
const char* const kRecordingTooLarge = "Die Aufzeichnung braucht zum Abspielen zu viel Speicher.";
const char* const kReplaysBusy =
    "Der Highscore-Server kann die Aufzeichnung gerade nicht prüfen. Bitte versuchen Sie es später erneut.";
const char* const kNoTicketToStart = "Zu diesem Brett nimmt der Highscore-Server keinen Spielbeginn an.";

std::string MissingField(const std::string& field, Language language) {
  return Translate("Das Feld \"%1\" fehlt oder ist ungültig.", language, {field});
}

// Names are shown by the game one byte per character; it lets players type
// the codes 32 to 125 only.
bool IsValidName(const std::string& name) {
  if (name.size() < quarzello::kShortestName || name.size() > quarzello::kLongestName) return false;
  for (unsigned char c : name) {
    if (!quarzello::IsNameCode(c)) return false;
  }
  return true;
}

std::optional<std::string> Field(const Form& form, const std::string& name) {
  const auto it = form.find(name);
  if (it == form.end()) return std::nullopt;
  return it->second;
}

std::optional<int32_t> NumberField(const Form& form, const std::string& name, bool allowNegative) {
  const auto text = Field(form, name);
  return text ? ParseDecimal(*text, allowNegative) : std::nullopt;
}

Reply StoreFailed(const StoreError& error, Language language) {
  Reply reply = HighscoreService::Error(503, Translate(kStoreFailed, language));
  reply.note = error.what();
  return reply;
}

// "OKAY" as for an entry that counts, which is all an old client reads; a
// newer one reads on and tells the player why the game is not ranked.
Reply Unverified(int32_t entryId, TicketVerdict verdict, Language language, const std::string& played) {
  Reply reply{200, "OKAY\n" + std::to_string(entryId) + "\n" + quarzello::kUnverifiedMark + "\n" +
                       VerdictWord(verdict) + "\n" + Translate(VerdictText(verdict), language) + "\n"};
  reply.note = played + "; not verified: " + VerdictWord(verdict);
  return reply;
}

// Draws ids until add stores under one, and returns it: a drawn id is taken
// only once in millions of draws while there are few.
int32_t AddUnderFreeId(int32_t (*draw)(), const std::function<bool(int32_t)>& add, const char* what) {
  for (int attempt = 0; attempt < kIdAttempts; ++attempt) {
    const int32_t id = draw();
    if (add(id)) return id;
  }
  throw StoreError(std::string("no free ") + what + " id found");
}

// Whether a sweep of what has expired is due at nowMillis; true for one caller only.
bool SweepDue(std::atomic<int64_t>& lastSweepMillis, int64_t nowMillis) {
  int64_t last = lastSweepMillis.load();
  if (nowMillis - last < kSweepIntervalMillis) return false;
  return lastSweepMillis.compare_exchange_strong(last, nowMillis);
}

// One of the service's replay slots, held while an upload waits for a worker
// and is played: none when all are taken, or all of its address's.
class ReplaySlot {
 public:
  ReplaySlot(std::atomic<int>& open, int most, std::mutex& mutex, std::unordered_map<std::string, int>& perAddress,
             const std::string& address, int mostPerAddress)
      : open_(open), mutex_(mutex), perAddress_(perAddress), address_(address) {
    std::lock_guard lock(mutex_);
    int& fromAddress = perAddress_[address_];
    if (fromAddress >= mostPerAddress) {
      addressFull_ = true;
    } else if (open_.load() < most) {
      ++fromAddress;
      open_.fetch_add(1);
      held_ = true;
    }
    if (fromAddress == 0) perAddress_.erase(address_);
  }
  ~ReplaySlot() {
    if (!held_) return;
    std::lock_guard lock(mutex_);
    open_.fetch_sub(1);
    if (--perAddress_[address_] <= 0) perAddress_.erase(address_);
  }
  ReplaySlot(const ReplaySlot&) = delete;
  ReplaySlot& operator=(const ReplaySlot&) = delete;
  explicit operator bool() const { return held_; }
  bool addressFull() const { return addressFull_; }

 private:
  std::atomic<int>& open_;
  std::mutex& mutex_;
  std::unordered_map<std::string, int>& perAddress_;
  const std::string address_;
  bool held_ = false;
  bool addressFull_ = false;
};

}  // namespace

HighscoreService::HighscoreService(ScoreStore& store, const ServiceSettings& settings, Replayer* replayer)
    : store_(store),
      settings_(settings),
      replayer_(replayer),
      rateLimiter_(settings.rateLimitPerMinute),
      replayTime_(settings.replayCpuPerMinuteMillis) {}

// Counted in the database when it is shared by several services, else here.
bool HighscoreService::Allow(const std::string& clientAddress) {
  if (settings_.rateLimitPerMinute <= 0) return true;
  if (store_.SharesRateLimits()) return store_.AllowRequest(clientAddress, settings_.rateLimitPerMinute, WallMillis());
  return rateLimiter_.Allow(clientAddress, SteadyMillis());
}

Reply HighscoreService::Error(int status, const std::string& message) { return {status, "ERROR\n" + message + "\n"}; }

Reply HighscoreService::Register(const std::string& body, const std::string& clientAddress) {
  const Language language = BodyLanguage(body);
  const auto form = ParseForm(body);
  if (!form) return Error(400, Translate(kMalformedBody, language));
  if (Field(*form, "register") != "yes") return Error(400, MissingField("register", language));

  try {
    if (!Allow(clientAddress)) return Error(429, Translate(kTooManyRequests, language));
    const int64_t now = WallMillis();
    DropExpiredKeysNow(now);
    const std::string key = MakeRandomKey();
    const int32_t keyId = AddUnderFreeId(
        MakeRandomKeyId, [&](int32_t id) { return store_.AddKey(id, key, now + settings_.keyLifetimeMillis); }, "key");
    return {200, "OKAY\n" + key + "\n" + std::to_string(keyId) + "\n"};
  } catch (const StoreError& error) {
    return StoreFailed(error, language);
  }
}

Reply HighscoreService::Submit(const std::string& body, const std::string& clientAddress) {
  const Language language = BodyLanguage(body);
  const auto form = ParseForm(body);
  if (!form) return Error(400, Translate(kMalformedBody, language));

  NewScore score;
  const auto name = Field(*form, "name");
  if (!name) return Error(400, MissingField("name", language));
  if (!IsValidName(*name)) return Error(400, Translate(kBadName, language));
  score.name = *name;

  const auto points = NumberField(*form, "pts", false);
  if (!points) return Error(400, Translate(kBadPoints, language));
  score.points = *points;

  const auto mode = NumberField(*form, "mode", false);
  if (!mode || !quarzello::IsRanking(*mode)) return Error(400, Translate(kBadMode, language));
  score.mode = *mode;

  const auto keyId = NumberField(*form, "key_id", true);
  if (!keyId) return Error(400, MissingField("key_id", language));
  score.keyId = *keyId;

  const auto hash = NumberField(*form, "hash", true);
  if (!hash) return Error(400, MissingField("hash", language));

  try {
    if (!Allow(clientAddress)) return Error(429, Translate(kTooManyRequests, language));
    const SubmitResult result = store_.AddScore(score, WallMillis(), [&](const std::string& key) {
      return quarzello::ScoreHash(key, score.points, score.mode) == *hash;
    });
    switch (result.status) {
      case SubmitStatus::Stored:
        // Counted before the reply goes out, so the player's next fetch
        // already sees the new entry.
        scoresGeneration_.fetch_add(1);
        return {200, "OKAY\n" + std::to_string(result.id) + "\n"};
      case SubmitStatus::UnknownKey:
        return {200, "ERROR\nRETRY\n"};
      case SubmitStatus::Refused:
        break;
    }
    return Error(400, Translate(kWrongHash, language));
  } catch (const StoreError& error) {
    return StoreFailed(error, language);
  }
}

Reply HighscoreService::Fetch(const std::string& body) {
  const Language language = BodyLanguage(body);
  const auto form = ParseForm(body);
  if (!form) return Error(400, Translate(kMalformedBody, language));
  if (Field(*form, "get_highscore") != "yes") return Error(400, MissingField("get_highscore", language));
  const auto own = NumberField(*form, "own", true);
  if (!own) return Error(400, MissingField("own", language));

  std::shared_ptr<const TablesText> tables;
  try {
    tables = CurrentTables();
  } catch (const StoreError& error) {
    return StoreFailed(error, language);
  }
  for (const auto& [id, end] : tables->entryEnds) {
    if (id == *own) return {200, tables->text.substr(0, end) + "is own\n" + tables->text.substr(end)};
  }
  return {200, tables->text};
}

Reply HighscoreService::Upload(const std::string& body, const std::string& clientAddress) {
  // What the ticket's times are measured to, before the upload waits for its replay.
  const int64_t arrivedMillis = WallMillis();
  const Language language = BodyLanguage(body);
  const auto form = ParseForm(body);
  if (!form) return Error(400, Translate(kMalformedBody, language));
  const auto keyId = NumberField(*form, "key_id", true);
  if (!keyId) return Error(400, MissingField("key_id", language));
  const auto entryId = NumberField(*form, "id", false);
  if (!entryId) return Error(400, MissingField("id", language));
  const auto hash = NumberField(*form, "hash", true);
  if (!hash) return Error(400, MissingField("hash", language));
  const auto text = Field(*form, "recording");
  if (!text) return Error(400, MissingField("recording", language));
  // Old clients send none; their entries do not count, but are answered as before.
  const auto ticketText = Field(*form, "ticket");
  const auto ticketId = ticketText ? ParseDecimal(*ticketText, false) : std::nullopt;
  if (ticketText && !ticketId) return Error(400, MissingField("ticket", language));

  auto refused = [language](int status, const char* message, const std::string& why) {
    Reply reply = Error(status, Translate(message, language));
    reply.note = why;
    return reply;
  };
  try {
    if (!Allow(clientAddress)) return Error(429, Translate(kTooManyRequests, language));
    const auto recording = quarzello::DecodeBase64Url(*text);
    if (!recording || recording->empty()) return refused(400, kBadRecordingText, "recording is not base64url");

    const auto target = store_.FindUploadTarget(*entryId);
    if (!target || target->keyId != *keyId || (target->key.empty() && !target->verified)) {
      return refused(400, kNoSuchEntry, "no such entry for this key");
    }
    if (target->verified) return refused(409, kAlreadyVerified, "entry already verified");
    if (quarzello::RecordingHash(target->key, *recording) != *hash) return refused(400, kWrongRecordingHash, "wrong hash");

    if (replayer_ == nullptr) return refused(503, kReplaysBusy, "no replays here");
    // Only now, with every check passed, does the upload cost replay time:
    // the most it may take is counted against the sender until it is known.
    const int64_t most = settings_.replayCpuLimitMillis;
    if (!replayTime_.Allow(clientAddress, SteadyMillis(), static_cast<double>(most))) {
      return refused(429, kTooManyRequests, "replay time used up");
    }
    ReplayOutcome replay;
    bool slotFree = false;
    bool addressFull = false;
    {
      const ReplaySlot slot(replaysOpen_, settings_.maxReplays, replaysPerAddressMutex_, replaysPerAddress_,
                            clientAddress, settings_.maxReplaysPerAddress);
      slotFree = static_cast<bool>(slot);
      addressFull = slot.addressFull();
      if (slotFree) replay = replayer_->Replay(*recording);
    }
    replayTime_.GiveBack(clientAddress, static_cast<double>(most - std::clamp<int64_t>(replay.cpuMillis, 0, most)),
                         SteadyMillis());
    if (addressFull) return refused(429, kTooManyRequests, "replays from this address at their cap");
    const std::string cost = std::to_string(replay.cpuMillis) + " ms CPU";
    switch (replay.kind) {
      case ReplayOutcome::Kind::Busy:
        return refused(503, kReplaysBusy, slotFree ? "no replay worker free" : "replays at their cap");
      case ReplayOutcome::Kind::TooCostly: return refused(400, kCostlyRecording, replay.error);
      case ReplayOutcome::Kind::TooLarge: return refused(400, kRecordingTooLarge, replay.error);
      case ReplayOutcome::Kind::Unreadable: return refused(400, kUnreadableRecording, replay.error + "; " + cost);
      case ReplayOutcome::Kind::Played: break;
    }
    const std::string played = "replayed: ranking " +
                               std::to_string(quarzello::RankingIndex(static_cast<uint8_t>(replay.mode),
                                                                      static_cast<uint8_t>(replay.difficulty))) +
                               ", " + std::to_string(replay.score) + " points, " + std::to_string(replay.frames) +
                               " frames" + (replay.reachedEnd ? "" : ", not ended") + ", " + cost;
    if (quarzello::RankingIndex(static_cast<uint8_t>(replay.mode), static_cast<uint8_t>(replay.difficulty)) !=
        target->ranking) {
      return refused(400, kOtherRanking, played);
    }
    if (!replay.reachedEnd) return refused(400, kNotEnded, played);
    if (replay.score != target->points) return refused(400, kOtherPoints, played);
    // Kept as the core writes the game; a game its recorder would not have
    // kept whole is none a player sends.
    if (replay.recording.empty()) return refused(400, kUnreadableRecording, played + "; beyond what the recorder keeps");

    const std::optional<Ticket> ticket = ticketId ? store_.FindTicket(*ticketId) : std::nullopt;
    const UploadedGame uploaded{target->ranking, replay.generatorState, replay.playMillis, replay.pauseMillis,
                                arrivedMillis};
    const TicketVerdict verdict = JudgeTicket(ticketId.has_value(), ticket, uploaded, settings_.tickets);
    if (verdict != TicketVerdict::Counts) return Unverified(*entryId, verdict, language, played);

    VerifiedRecording verified;
    verified.entryId = *entryId;
    verified.ranking = target->ranking;
    verified.points = target->points;
    verified.generatorState = replay.generatorState;
    verified.ticketId = ticket ? ticket->id : 0;  // a ticket, since it counts
    verified.bytes = std::move(replay.recording);
    switch (store_.StoreVerified(verified, WallMillis())) {
      case VerifyStatus::AlreadyVerified: return refused(409, kAlreadyVerified, played + "; entry already verified");
      case VerifyStatus::RecordingUsed: return refused(409, kRecordingUsed, played + "; game verifies another entry");
      case VerifyStatus::TicketUsed: return Unverified(*entryId, TicketVerdict::TicketUsed, language, played);
      case VerifyStatus::Stored: break;
    }
    // As after a stored score: the next fetch lists the entry.
    scoresGeneration_.fetch_add(1);
    Reply reply{200, "OKAY\n" + std::to_string(*entryId) + "\n"};
    reply.note = played;
    return reply;
  } catch (const StoreError& error) {
    return StoreFailed(error, language);
  }
}

Reply HighscoreService::Deal(const std::string& body, const std::string& clientAddress) {
  const Language language = BodyLanguage(body);
  const auto form = ParseForm(body);
  if (!form) return Error(400, Translate(kMalformedBody, language));
  const auto mode = NumberField(*form, "mode", false);
  if (!mode || !quarzello::IsRanking(*mode)) return Error(400, Translate(kBadMode, language));

  try {
    if (!Allow(clientAddress)) return Error(429, Translate(kTooManyRequests, language));
    const int64_t now = WallMillis();
    DropStaleTicketsNow(now);
    Ticket ticket;
    ticket.ranking = *mode;
    ticket.generatorState = MakeRandomGeneratorState();
    ticket.issuedMillis = now;
    AddUnderFreeId(
        MakeRandomTicketId,
        [&](int32_t id) {
          ticket.id = id;
          return store_.AddTicket(ticket);
        },
        "ticket");
    return {200, "OKAY\n" + std::to_string(ticket.id) + "\n" + std::to_string(ticket.generatorState) + "\n"};
  } catch (const StoreError& error) {
    return StoreFailed(error, language);
  }
}

Reply HighscoreService::ReportStart(const std::string& body, const std::string& clientAddress) {
  const Language language = BodyLanguage(body);
  const auto form = ParseForm(body);
  if (!form) return Error(400, Translate(kMalformedBody, language));
  const auto ticketId = NumberField(*form, "ticket", false);
  if (!ticketId) return Error(400, MissingField("ticket", language));
  // The board is known only to whoever was dealt the ticket: a guessed id
  // stamps no one else's game.
  const auto state = NumberField(*form, "state", false);
  if (!state) return Error(400, MissingField("state", language));

  try {
    if (!Allow(clientAddress)) return Error(429, Translate(kTooManyRequests, language));
    const int64_t now = WallMillis();
    if (store_.StampTicketStart(*ticketId, *state, now, now - settings_.tickets.startWindowMillis)) {
      return {200, "OKAY\n"};
    }
    Reply reply = Error(400, Translate(kNoTicketToStart, language));
    reply.note = "no unstarted ticket of that id and board";
    return reply;
  } catch (const StoreError& error) {
    return StoreFailed(error, language);
  }
}

bool HighscoreService::IsFresh(const std::shared_ptr<const TablesText>& tables, int64_t nowMillis) const {
  return tables && tables->generation == scoresGeneration_.load() &&
         nowMillis - tables->builtMillis < settings_.tablesMaxAgeMillis;
}

std::shared_ptr<const HighscoreService::TablesText> HighscoreService::CurrentTables() {
  std::shared_ptr<const TablesText> tables;
  {
    std::lock_guard lock(tablesMutex_);
    tables = tables_;
  }
  if (IsFresh(tables, SteadyMillis())) return tables;

  // One request renews the copy. Meanwhile the others wait for it when a
  // score stored here is missing from it (its player is about to look), and
  // otherwise go on with the copy they have, so that the renewal every
  // second does not hold up every fetch under way.
  std::unique_lock rebuild(rebuildMutex_, std::defer_lock);
  if (tables && tables->generation == scoresGeneration_.load()) {
    if (!rebuild.try_lock()) return tables;
  } else {
    rebuild.lock();
  }
  {
    std::lock_guard lock(tablesMutex_);
    tables = tables_;
  }
  if (IsFresh(tables, SteadyMillis())) return tables;

  auto fresh = std::make_shared<TablesText>();
  // Read before the query: a score stored meanwhile makes this copy stale at once.
  fresh->generation = scoresGeneration_.load();
  fresh->builtMillis = SteadyMillis();
  const Rankings rankings = store_.TopEntries(settings_.tableSize, settings_.acceptUnverified);
  for (int mode = 0; mode < kRankings; ++mode) {
    fresh->text += "TABLE\n" + std::to_string(mode) + "\n";
    for (const RankedEntry& entry : rankings[mode]) {
      fresh->text += "ENTRY\n" + entry.name + "\n" + std::to_string(entry.points) + "\n";
      fresh->entryEnds.emplace_back(entry.id, fresh->text.size());
    }
  }
  std::lock_guard lock(tablesMutex_);
  tables_ = fresh;
  return fresh;
}

void HighscoreService::DropExpiredKeysNow(int64_t nowMillis) {
  if (SweepDue(lastKeySweepMillis_, nowMillis)) store_.DropExpiredKeys(nowMillis);
}

void HighscoreService::DropStaleTicketsNow(int64_t nowMillis) {
  if (SweepDue(lastTicketSweepMillis_, nowMillis)) {
    store_.DropStaleTickets(nowMillis - TicketLifetimeMillis(settings_.tickets));
  }
}

}  // namespace highscored

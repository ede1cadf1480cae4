#include <sqlite3.h>

#include <condition_variable>
#include <exception>
#include <limits>
#include <optional>
#include <mutex>
#include <thread>
#include <vector>

#include "server/store_backends.h"

namespace highscored {

namespace {

constexpr const char* kSchema = R"(
  CREATE TABLE IF NOT EXISTS keys (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    secret TEXT NOT NULL,
    expires_at INTEGER NOT NULL);
  CREATE INDEX IF NOT EXISTS keys_expiry ON keys (expires_at);
  CREATE TABLE IF NOT EXISTS scores (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    mode INTEGER NOT NULL,
    name TEXT NOT NULL,
    points INTEGER NOT NULL,
    created_at INTEGER NOT NULL);
  CREATE INDEX IF NOT EXISTS scores_ranking ON scores (mode, points DESC, id);
  CREATE TABLE IF NOT EXISTS recordings (
    score_id INTEGER PRIMARY KEY REFERENCES scores (id),
    mode INTEGER NOT NULL,
    generator_state INTEGER NOT NULL,
    points INTEGER NOT NULL,
    bytes BLOB NOT NULL,
    verified_at INTEGER NOT NULL,
    UNIQUE (mode, generator_state, points));
  -- Boards dealt for ranked games; a database made before them gains the
  -- table on start, and its entries keep what they were.
  CREATE TABLE IF NOT EXISTS tickets (
    id INTEGER PRIMARY KEY,
    mode INTEGER NOT NULL,
    generator_state INTEGER NOT NULL,
    issued_at INTEGER NOT NULL,
    started_at INTEGER,
    ended_at INTEGER,
    score_id INTEGER REFERENCES scores (id));
  CREATE INDEX IF NOT EXISTS tickets_unused ON tickets (issued_at) WHERE score_id IS NULL;
)";

// Columns that databases made before recordings were taken lack; added on
// start. Scores stored before them stay unverified.
constexpr struct {
  const char* name;
  const char* definition;
} kAddedScoreColumns[] = {
    {"key_id", "key_id INTEGER"},
    {"key_secret", "key_secret TEXT"},
    {"verified", "verified INTEGER NOT NULL DEFAULT 0"},
};

constexpr const char* kVerifiedIndex =
    "CREATE INDEX IF NOT EXISTS scores_verified_ranking ON scores (mode, points DESC, id) WHERE verified = 1;";

// One prepared statement, reset after every use so that it never holds a
// read transaction open.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK) {
      throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Statement& Bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindBlob(int index, const std::string& bytes) {
    sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
  }

  // True while a row is available.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const std::string message = sqlite3_errmsg(db_);
    Reset();
    throw StoreError("SQLite: " + message);
  }
  void Run() {
    Step();
    Reset();
  }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

  int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::string Blob(int column) {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return bytes ? std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
  }
  std::string Text(int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// Closed after every statement that uses it is finalized.
struct Connection {
  explicit Connection(sqlite3* opened) : db(opened) {}
  ~Connection() { sqlite3_close(db); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  sqlite3* db;
};

sqlite3* OpenDatabase(const std::string& path) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw StoreError("SQLite: cannot open " + path + ": " + message);
  }
  // WAL with a sync on every commit: an acknowledged score is on disk even if
  // the process is killed the next moment. Other processes may hold the lock
  // briefly (a backup, a second server), so writers wait instead of failing.
  char* error = nullptr;
  const std::string setup = std::string("PRAGMA busy_timeout = 5000; PRAGMA journal_mode = WAL; ") +
                            "PRAGMA synchronous = FULL;" + kSchema;
  auto run = [&](const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : sqlite3_errmsg(db);
      sqlite3_free(error);
      sqlite3_close(db);
      throw StoreError("SQLite: cannot set up " + path + ": " + message);
    }
  };
  run(setup);
  for (const auto& column : kAddedScoreColumns) {
    sqlite3_stmt* probe = nullptr;
    const std::string sql = std::string("SELECT 1 FROM pragma_table_info('scores') WHERE name = '") + column.name + "'";
    bool present = false;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &probe, nullptr) == SQLITE_OK) present = sqlite3_step(probe) == SQLITE_ROW;
    sqlite3_finalize(probe);
    if (!present) run(std::string("ALTER TABLE scores ADD COLUMN ") + column.definition);
  }
  run(kVerifiedIndex);
  return db;
}

std::string TopSql(const std::string& where) {
  return "SELECT id, name, points FROM scores " + where + " ORDER BY points DESC, id ASC LIMIT ?2";
}

std::string SliceSql(const std::string& where) {
  return "WITH total AS (SELECT count(*) AS n FROM scores " + where + ") "
         "SELECT total.n, s.id, s.name, s.points, s.created_at, s.verified FROM total LEFT JOIN "
         "(SELECT id, name, points, created_at, verified FROM scores " + where + " "
         "ORDER BY points DESC, id ASC LIMIT ?2 OFFSET ?3) AS s ON true "
         "ORDER BY s.points DESC, s.id ASC";
}

// Writes are carried out by one thread that gathers every write waiting at
// the time into one transaction, so that many players share a sync to disk.
// Each caller is answered only after the commit of its transaction.
class SqliteStore : public ScoreStore {
 public:
  explicit SqliteStore(const std::string& path)
      : writeConnection_(OpenDatabase(path)),
        readConnection_(OpenDatabase(path)),
        db_(writeConnection_.db),
        begin_(db_, "BEGIN IMMEDIATE"),
        commit_(db_, "COMMIT"),
        rollback_(db_, "ROLLBACK"),
        insertKey_(db_, "INSERT OR IGNORE INTO keys (id, secret, expires_at) VALUES (?1, ?2, ?3)"),
        claimKey_(db_, "DELETE FROM keys WHERE id = ?1 AND expires_at > ?2 RETURNING secret, expires_at"),
        insertScore_(db_,
                     "INSERT INTO scores (mode, name, points, created_at, key_id, key_secret) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6)"),
        dropExpired_(db_, "DELETE FROM keys WHERE expires_at <= ?1"),
        gameUsed_(db_, "SELECT 1 FROM recordings WHERE mode = ?1 AND generator_state = ?2 AND points = ?3"),
        entryUnverified_(db_, "SELECT 1 FROM scores WHERE id = ?1 AND verified = 0"),
        markVerified_(db_, "UPDATE scores SET verified = 1, key_secret = NULL WHERE id = ?1"),
        insertRecording_(db_,
                         "INSERT INTO recordings (score_id, mode, generator_state, points, bytes, verified_at) "
                         "VALUES (?1, ?2, ?3, ?4, ?5, ?6)"),
        insertTicket_(db_,
                      "INSERT OR IGNORE INTO tickets (id, mode, generator_state, issued_at) VALUES (?1, ?2, ?3, ?4)"),
        stampStart_(db_,
                    "UPDATE tickets SET started_at = max(?3, issued_at) WHERE id = ?1 AND generator_state = ?2 "
                    "AND issued_at > ?4 AND started_at IS NULL AND score_id IS NULL"),
        ticketFree_(db_, "SELECT 1 FROM tickets WHERE id = ?1 AND score_id IS NULL"),
        useTicket_(db_, "UPDATE tickets SET score_id = ?2, ended_at = ?3 WHERE id = ?1"),
        dropStaleTickets_(db_, "DELETE FROM tickets WHERE score_id IS NULL AND issued_at < ?1"),
        topVerified_(readConnection_.db, TopSql("WHERE mode = ?1 AND verified = 1").c_str()),
        topAll_(readConnection_.db, TopSql("WHERE mode = ?1").c_str()),
        sliceVerified_(readConnection_.db, SliceSql("WHERE mode = ?1 AND verified = 1").c_str()),
        sliceAll_(readConnection_.db, SliceSql("WHERE mode = ?1").c_str()),
        uploadTarget_(readConnection_.db, "SELECT mode, points, key_id, key_secret, verified FROM scores WHERE id = ?1"),
        recording_(readConnection_.db, "SELECT bytes FROM recordings WHERE score_id = ?1"),
        ticket_(readConnection_.db,
                "SELECT mode, generator_state, issued_at, started_at, score_id IS NOT NULL FROM tickets WHERE id = ?1"),
        writer_([this] { WriteBatches(); }) {}

  ~SqliteStore() override {
    {
      std::lock_guard lock(queueMutex_);
      stopping_ = true;
    }
    queueChanged_.notify_all();
    writer_.join();
  }

  bool AddKey(int32_t id, const std::string& key, int64_t expiresAtMillis) override {
    bool added = false;
    Write([&] {
      insertKey_.Bind(1, id).Bind(2, key).Bind(3, expiresAtMillis).Run();
      added = sqlite3_changes(db_) == 1;
    });
    return added;
  }

  SubmitResult AddScore(const NewScore& score, int64_t nowMillis,
                        const std::function<bool(const std::string&)>& acceptKey) override {
    SubmitResult result;
    Write([&] {
      // The key is deleted within the first step, and put back when refused:
      // one statement on the writer's thread for the usual case, not two.
      std::string key;
      int64_t expiresAt = 0;
      const bool found = claimKey_.Bind(1, score.keyId).Bind(2, nowMillis).Step();
      if (found) {
        key = claimKey_.Text(0);
        expiresAt = claimKey_.Int(1);
      }
      claimKey_.Reset();

      if (!found) {
        result.status = SubmitStatus::UnknownKey;
      } else if (!acceptKey(key)) {
        insertKey_.Bind(1, score.keyId).Bind(2, key).Bind(3, expiresAt).Run();
        result.status = SubmitStatus::Refused;
      } else {
        insertScore_.Bind(1, score.mode).Bind(2, score.name).Bind(3, score.points).Bind(4, nowMillis);
        insertScore_.Bind(5, score.keyId).Bind(6, key).Run();
        result.status = SubmitStatus::Stored;
        result.id = CheckedId(sqlite3_last_insert_rowid(db_));
      }
    });
    return result;
  }

  // Reads have a connection of their own: in WAL mode they see the last
  // commit and neither wait for the writer nor hold it up.
  Rankings TopEntries(int perRanking, bool includeUnverified) override {
    std::lock_guard lock(readMutex_);
    Statement& top = includeUnverified ? topAll_ : topVerified_;
    Rankings rankings;
    for (int mode = 0; mode < kRankings; ++mode) {
      top.Bind(1, mode).Bind(2, perRanking);
      while (top.Step()) {
        rankings[mode].push_back({static_cast<int32_t>(top.Int(0)), top.Text(1), static_cast<int32_t>(top.Int(2))});
      }
      top.Reset();
    }
    return rankings;
  }

  // One statement, so that the count and the entries come from the same
  // snapshot; an empty stretch still gives the count in a row of NULLs.
  RankingSlice Slice(int ranking, int64_t offset, int count, bool includeUnverified) override {
    std::lock_guard lock(readMutex_);
    Statement& slice = includeUnverified ? sliceAll_ : sliceVerified_;
    RankingSlice result;
    slice.Bind(1, ranking).Bind(2, count).Bind(3, offset);
    while (slice.Step()) {
      result.total = slice.Int(0);
      if (slice.IsNull(1)) continue;
      result.entries.push_back({static_cast<int32_t>(slice.Int(1)), slice.Text(2), static_cast<int32_t>(slice.Int(3)),
                                slice.Int(4), slice.Int(5) != 0});
    }
    slice.Reset();
    return result;
  }

  std::optional<UploadTarget> FindUploadTarget(int32_t entryId) override {
    std::lock_guard lock(readMutex_);
    std::optional<UploadTarget> target;
    if (uploadTarget_.Bind(1, entryId).Step()) {
      target = UploadTarget{static_cast<int>(uploadTarget_.Int(0)), static_cast<int32_t>(uploadTarget_.Int(1)),
                            static_cast<int32_t>(uploadTarget_.Int(2)), uploadTarget_.Text(3),
                            uploadTarget_.Int(4) != 0};
    }
    uploadTarget_.Reset();
    return target;
  }

  VerifyStatus StoreVerified(const VerifiedRecording& recording, int64_t nowMillis) override {
    VerifyStatus status = VerifyStatus::Stored;
    // Inside the writer's transaction: nothing else writes between the
    // checks and the insert. The batch commits whatever ran before a
    // refusal, so every check comes before the first change; they come in
    // the PostgreSQL store's order.
    Write([&] {
      const bool unverified = entryUnverified_.Bind(1, recording.entryId).Step();
      entryUnverified_.Reset();
      if (!unverified) {
        status = VerifyStatus::AlreadyVerified;
        return;
      }
      const bool ticketFree = ticketFree_.Bind(1, recording.ticketId).Step();
      ticketFree_.Reset();
      if (!ticketFree) {
        status = VerifyStatus::TicketUsed;
        return;
      }
      const bool used =
          gameUsed_.Bind(1, recording.ranking).Bind(2, recording.generatorState).Bind(3, recording.points).Step();
      gameUsed_.Reset();
      if (used) {
        status = VerifyStatus::RecordingUsed;
        return;
      }
      markVerified_.Bind(1, recording.entryId).Run();
      useTicket_.Bind(1, recording.ticketId).Bind(2, recording.entryId).Bind(3, nowMillis).Run();
      insertRecording_.Bind(1, recording.entryId).Bind(2, recording.ranking).Bind(3, recording.generatorState);
      insertRecording_.Bind(4, recording.points).BindBlob(5, recording.bytes).Bind(6, nowMillis).Run();
    });
    return status;
  }

  std::optional<std::string> Recording(int32_t entryId) override {
    std::lock_guard lock(readMutex_);
    std::optional<std::string> bytes;
    if (recording_.Bind(1, entryId).Step()) bytes = recording_.Blob(0);
    recording_.Reset();
    return bytes;
  }

  void DropExpiredKeys(int64_t nowMillis) override {
    Write([&] { dropExpired_.Bind(1, nowMillis).Run(); });
  }

  bool AddTicket(const Ticket& ticket) override {
    bool added = false;
    Write([&] {
      insertTicket_.Bind(1, ticket.id).Bind(2, ticket.ranking).Bind(3, ticket.generatorState);
      insertTicket_.Bind(4, ticket.issuedMillis).Run();
      added = sqlite3_changes(db_) == 1;
    });
    return added;
  }

  bool StampTicketStart(int32_t id, int64_t generatorState, int64_t nowMillis, int64_t issuedAfterMillis) override {
    bool stamped = false;
    Write([&] {
      stampStart_.Bind(1, id).Bind(2, generatorState).Bind(3, nowMillis).Bind(4, issuedAfterMillis).Run();
      stamped = sqlite3_changes(db_) == 1;
    });
    return stamped;
  }

  std::optional<Ticket> FindTicket(int32_t id) override {
    std::lock_guard lock(readMutex_);
    std::optional<Ticket> ticket;
    if (ticket_.Bind(1, id).Step()) {
      ticket = Ticket{id, static_cast<int>(ticket_.Int(0)), ticket_.Int(1), ticket_.Int(2), std::nullopt,
                      ticket_.Int(4) != 0};
      if (!ticket_.IsNull(3)) ticket->startedMillis = ticket_.Int(3);
    }
    ticket_.Reset();
    return ticket;
  }

  void DropStaleTickets(int64_t issuedBeforeMillis) override {
    Write([&] { dropStaleTickets_.Bind(1, issuedBeforeMillis).Run(); });
  }

 private:
  struct PendingWrite {
    std::function<void()> apply;  // runs on the writer thread inside a transaction
    bool finished = false;
    std::exception_ptr error;
  };

  static int32_t CheckedId(int64_t id) {
    // The game keeps ids as signed 32-bit numbers.
    if (id > std::numeric_limits<int32_t>::max()) throw StoreError("SQLite: ids exhausted");
    return static_cast<int32_t>(id);
  }

  // Hands apply to the writer and waits until its transaction is committed.
  void Write(std::function<void()> apply) {
    PendingWrite write;
    write.apply = std::move(apply);
    std::unique_lock lock(queueMutex_);
    queue_.push_back(&write);
    queueChanged_.notify_all();
    queueChanged_.wait(lock, [&] { return write.finished; });
    if (write.error) std::rethrow_exception(write.error);
  }

  void WriteBatches() {
    std::unique_lock lock(queueMutex_);
    for (;;) {
      queueChanged_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, with nothing left to write
      std::vector<PendingWrite*> batch;
      batch.swap(queue_);
      lock.unlock();
      const std::exception_ptr error = Commit(batch);
      lock.lock();
      for (PendingWrite* write : batch) {
        write->error = error;
        write->finished = true;
      }
      queueChanged_.notify_all();
    }
  }

  // Applies the batch in one transaction. When any part fails, nothing of
  // the batch is kept and every caller in it gets the error.
  std::exception_ptr Commit(const std::vector<PendingWrite*>& batch) {
    try {
      begin_.Run();
      for (PendingWrite* write : batch) write->apply();
      commit_.Run();
      return nullptr;
    } catch (...) {
      if (!sqlite3_get_autocommit(db_)) {
        try {
          rollback_.Run();
        } catch (const StoreError&) {
          // The connection rolls back by itself when it cannot go on.
        }
      }
      return std::current_exception();
    }
  }

  Connection writeConnection_;
  Connection readConnection_;
  sqlite3* db_;  // the writer's
  Statement begin_, commit_, rollback_, insertKey_, claimKey_, insertScore_, dropExpired_, gameUsed_,
      entryUnverified_, markVerified_, insertRecording_, insertTicket_, stampStart_, ticketFree_, useTicket_, dropStaleTickets_;
  std::mutex readMutex_;
  Statement topVerified_, topAll_, sliceVerified_, sliceAll_, uploadTarget_, recording_, ticket_;

  std::mutex queueMutex_;
  std::condition_variable queueChanged_;
  std::vector<PendingWrite*> queue_;
  bool stopping_ = false;
  std::thread writer_;  // last: starts when everything it uses exists
};

}  // namespace

std::unique_ptr<ScoreStore> OpenSqliteStore(const std::string& path) {
  return std::make_unique<SqliteStore>(path);
}

}  // namespace highscored

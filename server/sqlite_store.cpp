#include <sqlite3.h>

#include <condition_variable>
#include <exception>
#include <limits>
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
)";

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
  if (sqlite3_exec(db, setup.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    sqlite3_close(db);
    throw StoreError("SQLite: cannot set up " + path + ": " + message);
  }
  return db;
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
        insertScore_(db_, "INSERT INTO scores (mode, name, points, created_at) VALUES (?1, ?2, ?3, ?4)"),
        dropExpired_(db_, "DELETE FROM keys WHERE expires_at <= ?1"),
        topEntries_(readConnection_.db,
                    "SELECT id, name, points FROM scores WHERE mode = ?1 "
                    "ORDER BY points DESC, id ASC LIMIT ?2"),
        slice_(readConnection_.db,
               "WITH total AS (SELECT count(*) AS n FROM scores WHERE mode = ?1) "
               "SELECT total.n, s.id, s.name, s.points, s.created_at FROM total LEFT JOIN "
               "(SELECT id, name, points, created_at FROM scores WHERE mode = ?1 "
               "ORDER BY points DESC, id ASC LIMIT ?2 OFFSET ?3) AS s ON true "
               "ORDER BY s.points DESC, s.id ASC"),
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
        insertScore_.Bind(1, score.mode).Bind(2, score.name).Bind(3, score.points).Bind(4, nowMillis).Run();
        result.status = SubmitStatus::Stored;
        result.id = CheckedId(sqlite3_last_insert_rowid(db_));
      }
    });
    return result;
  }

  // Reads have a connection of their own: in WAL mode they see the last
  // commit and neither wait for the writer nor hold it up.
  Rankings TopEntries(int perRanking) override {
    std::lock_guard lock(readMutex_);
    Rankings rankings;
    for (int mode = 0; mode < kRankingCount; ++mode) {
      topEntries_.Bind(1, mode).Bind(2, perRanking);
      while (topEntries_.Step()) {
        rankings[mode].push_back(
            {static_cast<int32_t>(topEntries_.Int(0)), topEntries_.Text(1), static_cast<int32_t>(topEntries_.Int(2))});
      }
      topEntries_.Reset();
    }
    return rankings;
  }

  // One statement, so that the count and the entries come from the same
  // snapshot; an empty stretch still gives the count in a row of NULLs.
  RankingSlice Slice(int ranking, int64_t offset, int count) override {
    std::lock_guard lock(readMutex_);
    RankingSlice slice;
    slice_.Bind(1, ranking).Bind(2, count).Bind(3, offset);
    while (slice_.Step()) {
      slice.total = slice_.Int(0);
      if (slice_.IsNull(1)) continue;
      slice.entries.push_back({static_cast<int32_t>(slice_.Int(1)), slice_.Text(2),
                               static_cast<int32_t>(slice_.Int(3)), slice_.Int(4)});
    }
    slice_.Reset();
    return slice;
  }

  void DropExpiredKeys(int64_t nowMillis) override {
    Write([&] { dropExpired_.Bind(1, nowMillis).Run(); });
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
  Statement begin_, commit_, rollback_, insertKey_, claimKey_, insertScore_, dropExpired_;
  std::mutex readMutex_;
  Statement topEntries_, slice_;

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

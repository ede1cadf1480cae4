#include <sqlite3.h>

#include <limits>
#include <mutex>

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

class SqliteStore : public ScoreStore {
 public:
  explicit SqliteStore(const std::string& path)
      : connection_(OpenDatabase(path)),
        db_(connection_.db),
        begin_(db_, "BEGIN IMMEDIATE"),
        commit_(db_, "COMMIT"),
        rollback_(db_, "ROLLBACK"),
        insertKey_(db_, "INSERT INTO keys (secret, expires_at) VALUES (?1, ?2)"),
        claimKey_(db_, "DELETE FROM keys WHERE id = ?1 AND expires_at > ?2 RETURNING secret"),
        insertScore_(db_,
                     "INSERT INTO scores (mode, name, points, created_at) VALUES (?1, ?2, ?3, ?4)"),
        topEntries_(db_,
                    "SELECT id, name, points FROM scores WHERE mode = ?1 "
                    "ORDER BY points DESC, id ASC LIMIT ?2"),
        dropExpired_(db_, "DELETE FROM keys WHERE expires_at <= ?1") {}

  int32_t AddKey(const std::string& key, int64_t expiresAtMillis) override {
    std::lock_guard lock(mutex_);
    insertKey_.Bind(1, key).Bind(2, expiresAtMillis).Run();
    return CheckedId(sqlite3_last_insert_rowid(db_));
  }

  SubmitResult AddScore(const NewScore& score, int64_t nowMillis,
                        const std::function<bool(const std::string&)>& acceptKey) override {
    std::lock_guard lock(mutex_);
    begin_.Run();
    try {
      SubmitResult result;
      std::string key;
      const bool found = claimKey_.Bind(1, score.keyId).Bind(2, nowMillis).Step();
      if (found) key = claimKey_.Text(0);
      // Stepping to the end completes the DELETE before the statement is reset.
      while (found && claimKey_.Step()) {
      }
      claimKey_.Reset();

      if (!found) {
        result.status = SubmitStatus::UnknownKey;
      } else if (!acceptKey(key)) {
        result.status = SubmitStatus::Refused;
      } else {
        insertScore_.Bind(1, score.mode).Bind(2, score.name).Bind(3, score.points).Bind(4, nowMillis).Run();
        result.status = SubmitStatus::Stored;
        result.id = CheckedId(sqlite3_last_insert_rowid(db_));
      }
      commit_.Run();
      return result;
    } catch (...) {
      if (!sqlite3_get_autocommit(db_)) rollback_.Run();
      throw;
    }
  }

  Rankings TopEntries(int perRanking) override {
    std::lock_guard lock(mutex_);
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

  void DropExpiredKeys(int64_t nowMillis) override {
    std::lock_guard lock(mutex_);
    dropExpired_.Bind(1, nowMillis).Run();
  }

 private:
  static int32_t CheckedId(int64_t id) {
    // The game keeps ids as signed 32-bit numbers.
    if (id > std::numeric_limits<int32_t>::max()) throw StoreError("SQLite: ids exhausted");
    return static_cast<int32_t>(id);
  }

  std::mutex mutex_;
  Connection connection_;
  sqlite3* db_;
  Statement begin_, commit_, rollback_, insertKey_, claimKey_, insertScore_, topEntries_, dropExpired_;
};

}  // namespace

std::unique_ptr<ScoreStore> OpenSqliteStore(const std::string& path) {
  return std::make_unique<SqliteStore>(path);
}

}  // namespace highscored

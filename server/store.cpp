#include "server/store.h"

#include "server/store_backends.h"

namespace highscored {

std::unique_ptr<ScoreStore> OpenStore(const std::string& url, int connections) {
  const std::string sqlitePrefix = "sqlite:";
  if (url.rfind(sqlitePrefix, 0) == 0) return OpenSqliteStore(url.substr(sqlitePrefix.size()));
  if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0) {
    return OpenPostgresStore(url, connections);
  }
  throw StoreError("unknown database address (expected sqlite:PATH or postgresql://...): " + url);
}

}  // namespace highscored

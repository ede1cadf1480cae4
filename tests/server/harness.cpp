#include "tests/server/harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "gameplay/modes.h"

namespace servertest {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int Connect(int port, const std::string& from) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (!from.empty()) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &source.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
      close(fd);
      return -1;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = "/tmp/quarzello-server-test.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string MakeDatabase(const std::string& kind, const TempDir& dir) {
  if (kind == "sqlite") return "sqlite:" + dir.path() + "/highscores.sqlite";

  const char* cluster = std::getenv("QUARZELLO_TEST_POSTGRES_URL");
  if (cluster == nullptr || *cluster == '\0') {
    throw std::runtime_error(
        "QUARZELLO_TEST_POSTGRES_URL is not set; run these tests through tests/server/with-postgres.sh");
  }
  static std::atomic<int> counter{0};
  const std::string name = "highscores_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  PGconn* admin = PQconnectdb((std::string(cluster) + "/postgres").c_str());
  if (PQstatus(admin) != CONNECTION_OK) {
    const std::string message = PQerrorMessage(admin);
    PQfinish(admin);
    throw std::runtime_error("cannot reach the test cluster: " + message);
  }
  PGresult* result = PQexec(admin, ("CREATE DATABASE " + name).c_str());
  const bool created = PQresultStatus(result) == PGRES_COMMAND_OK;
  const std::string message = PQerrorMessage(admin);
  PQclear(result);
  PQfinish(admin);
  if (!created) throw std::runtime_error("cannot create a test database: " + message);
  return std::string(cluster) + "/" + name;
}

ServerProcess::ServerProcess(const std::vector<std::string>& options, const std::string& logPath)
    : logPath_(logPath) {
  std::vector<std::string> args = {QUARZELLO_HIGHSCORED, "--listen", "127.0.0.1:0"};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // The log may hold earlier runs on the same database; only what this
  // process appends counts.
  const size_t logStart = Log().size();
  pid_ = fork();
  if (pid_ == 0) {
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(log, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }

  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (Clock::now() < deadline) {
    const std::string log = Log();
    const size_t announced = log.find("listening on 127.0.0.1:", logStart);
    if (announced != std::string::npos && log.find('\n', announced) != std::string::npos) {
      port_ = std::atoi(log.c_str() + announced + std::string("listening on 127.0.0.1:").size());
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ServerProcess::~ServerProcess() { Kill(); }

std::string ServerProcess::Log() const {
  std::ifstream file(logPath_);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void ServerProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

int ServerProcess::Terminate(int timeoutMillis) {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  return WaitForExit(timeoutMillis);
}

int ServerProcess::WaitForExit(int timeoutMillis) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMillis);
  while (Clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

std::string SendRaw(int port, const std::string& bytes, int timeoutMillis, bool* timedOut, const std::string& from) {
  if (timedOut) *timedOut = false;
  const int fd = Connect(port, from);
  if (fd < 0) return {};
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the server may refuse the rest of an oversized request
    sent += static_cast<size_t>(n);
  }
  std::string received;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMillis);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd waiting{fd, POLLIN, 0};
    if (left <= 0 || poll(&waiting, 1, static_cast<int>(left)) <= 0) {
      if (timedOut) *timedOut = true;
      break;
    }
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return received;
}

HttpReply PostAsGame(int port, const std::string& path, const std::string& body, const std::string& from) {
  std::string request = "POST " + path + " HTTP/1.0\r\n";
  request += "Host: highscore.quarzello.test\r\n";
  request += "Accept: text/plain\r\n";
  request += "Accept-Charset: iso-8859-5\r\n";
  request += "User-Agent: Quarzello\r\n";
  request += "Content-Type: application/x-www-form-urlencoded\r\n";
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  request += "\r\n";
  request += body + "\r\n";

  return ParseHttpReply(SendRaw(port, request, 10'000, nullptr, from));
}

HttpReply ParseHttpReply(const std::string& raw) {
  HttpReply reply;
  reply.raw = raw;
  reply.connected = !raw.empty();
  reply.statusLine = raw.substr(0, raw.find("\r\n"));
  const size_t headEnd = raw.find("\r\n\r\n");
  if (headEnd != std::string::npos) reply.lines = SplitLines(raw.substr(headEnd + 4));
  return reply;
}

std::string EncodeName(const std::string& name) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '+' || c == '-' || c == '.' || c == '_') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

int32_t GameHash(const std::string& key, int32_t points, int mode) {
  std::string head = key.substr(0, 16);
  head.resize(16, ' ');
  const std::string text = head + std::to_string(points) + std::to_string(mode) + (key.size() > 16 ? key.substr(16) : "");
  const uLong sum = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.data()),
                            static_cast<uInt>(text.size()));
  return static_cast<int32_t>(static_cast<uint32_t>(sum));
}

int32_t RecordingCheck(const std::string& key, const std::string& recording) {
  uLong crc = crc32(0L, nullptr, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(key.data()), static_cast<uInt>(key.size()));
  crc = crc32(crc, reinterpret_cast<const Bytef*>(recording.data()), static_cast<uInt>(recording.size()));
  crc = crc32(crc, reinterpret_cast<const Bytef*>(key.data()), static_cast<uInt>(key.size()));
  return static_cast<int32_t>(static_cast<uint32_t>(crc));
}

std::string Base64Url(const std::string& bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t j = 0; j < 3; ++j) group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
    for (size_t j = 0; j <= n; ++j) text += kDigits[(group >> (18 - 6 * j)) & 63];
  }
  return text;
}

namespace {

std::string UploadBody(const Registration& registration, int32_t entryId, const std::string& recording) {
  return "key_id=" + std::to_string(registration.keyId) + "&id=" + std::to_string(entryId) +
         "&hash=" + std::to_string(RecordingCheck(registration.key, recording));
}

}  // namespace

HttpReply Upload(int port, const Registration& registration, int32_t entryId, const std::string& recording,
                 const std::string& from) {
  return PostAsGame(port, kUploadPath,
                    UploadBody(registration, entryId, recording) + "&recording=" + Base64Url(recording), from);
}

HttpReply UploadDealt(int port, const Registration& registration, int32_t entryId, const std::string& recording,
                      int32_t ticket, const std::string& from) {
  return PostAsGame(port, kUploadPath,
                    UploadBody(registration, entryId, recording) + "&ticket=" + std::to_string(ticket) +
                        "&recording=" + Base64Url(recording),
                    from);
}

std::string UnverifiedReason(const HttpReply& reply) {
  const auto& lines = reply.lines;
  return lines.size() >= 4 && lines[0] == "OKAY" && lines[2] == "UNVERIFIED" ? lines[3] : "";
}

bool Counts(const HttpReply& reply) {
  return !reply.lines.empty() && reply.lines[0] == "OKAY" && UnverifiedReason(reply).empty() &&
         reply.lines.size() == 2;
}

std::optional<DealtTicket> Deal(int port, int ranking, const std::string& from) {
  const HttpReply reply = PostAsGame(port, kDealPath, "mode=" + std::to_string(ranking) + "&lang=de", from);
  if (reply.lines.size() != 3 || reply.lines[0] != "OKAY") return std::nullopt;
  return DealtTicket{std::stoi(reply.lines[1]), std::stoi(reply.lines[2])};
}

HttpReply ReportStart(int port, const DealtTicket& ticket) {
  return PostAsGame(port, kStartPath,
                    "ticket=" + std::to_string(ticket.id) + "&state=" + std::to_string(ticket.generatorState));
}

namespace {

// The first value of the statement's first row, "" for none or NULL.
std::string OnDatabase(const std::string& database, const std::string& sql) {
  const std::string sqlitePrefix = "sqlite:";
  std::string value;
  if (database.rfind(sqlitePrefix, 0) == 0) {
    sqlite3* db = nullptr;
    if (sqlite3_open(database.substr(sqlitePrefix.size()).c_str(), &db) != SQLITE_OK) {
      sqlite3_close(db);
      throw std::runtime_error("cannot open " + database);
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* statement = nullptr;
    int status = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    if (status == SQLITE_OK) status = sqlite3_step(statement);
    if (status == SQLITE_ROW && sqlite3_column_text(statement, 0)) {
      value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    const std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (status != SQLITE_ROW && status != SQLITE_DONE) throw std::runtime_error("SQLite: " + message + ": " + sql);
    return value;
  }
  PGconn* conn = PQconnectdb(database.c_str());
  PGresult* result = PQexec(conn, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  const std::string message = PQerrorMessage(conn);
  if (status == PGRES_TUPLES_OK && PQntuples(result) > 0 && !PQgetisnull(result, 0, 0)) {
    value = PQgetvalue(result, 0, 0);
  }
  PQclear(result);
  PQfinish(conn);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    throw std::runtime_error("PostgreSQL: " + message + ": " + sql);
  }
  return value;
}

}  // namespace

void RunSql(const std::string& database, const std::string& sql) { OnDatabase(database, sql); }

std::string QuerySql(const std::string& database, const std::string& sql) { return OnDatabase(database, sql); }

void MoveTicketBack(const std::string& database, int32_t ticket, int64_t millis) {
  const std::string back = std::to_string(millis);
  RunSql(database, "UPDATE tickets SET issued_at = issued_at - " + back + ", started_at = started_at - " + back +
                       " WHERE id = " + std::to_string(ticket));
}

std::optional<DealtGame> PlayDealtGame(int port, const std::string& database, PlayPlan plan) {
  const auto ticket = Deal(port, quarzello::RankingIndex(plan.mode, plan.difficulty));
  if (!ticket) return std::nullopt;
  plan.generatorState = ticket->generatorState;
  DealtGame dealt{*ticket, PlayToTheEnd(plan)};
  MoveTicketBack(database, ticket->id, dealt.game.playMillis + 2000);
  return dealt;
}

HttpReply Get(int port, const std::string& target, const std::string& headers) {
  return ParseHttpReply(SendRaw(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                                          headers + "\r\n"));
}

std::string Body(const HttpReply& reply) {
  const size_t headEnd = reply.raw.find("\r\n\r\n");
  return headEnd == std::string::npos ? "" : reply.raw.substr(headEnd + 4);
}

std::optional<Registration> Register(int port) {
  const HttpReply reply = PostAsGame(port, kRegisterPath, "register=yes");
  if (reply.lines.size() < 3 || reply.lines[0] != "OKAY") return std::nullopt;
  return Registration{reply.lines[1], std::atoi(reply.lines[2].c_str())};
}

HttpReply Submit(int port, const Registration& registration, const std::string& name, int32_t points, int mode) {
  const std::string body = "name=" + EncodeName(name) + "&pts=" + std::to_string(points) +
                           "&mode=" + std::to_string(mode) + "&lang=de&key_id=" +
                           std::to_string(registration.keyId) +
                           "&hash=" + std::to_string(GameHash(registration.key, points, mode));
  return PostAsGame(port, kSubmitPath, body);
}

std::optional<SubmittedEntry> SubmitEntry(int port, const std::string& name, int32_t points, int ranking) {
  const auto registration = Register(port);
  if (!registration) return std::nullopt;
  const HttpReply reply = Submit(port, *registration, name, points, ranking);
  if (reply.lines.size() < 2 || reply.lines[0] != "OKAY") return std::nullopt;
  return SubmittedEntry{*registration, std::atoi(reply.lines[1].c_str())};
}

std::optional<int32_t> RegisterAndSubmit(int port, const std::string& name, int32_t points, int mode) {
  const auto entry = SubmitEntry(port, name, points, mode);
  if (!entry) return std::nullopt;
  return entry->id;
}

std::optional<FetchedTables> Fetch(int port, int32_t own, const std::string& from) {
  const HttpReply reply = PostAsGame(port, kFetchPath, "get_highscore=yes&own=" + std::to_string(own), from);
  if (reply.statusLine.find(" 200 ") == std::string::npos) return std::nullopt;
  FetchedTables tables;
  std::vector<FetchedEntry>* table = nullptr;
  const auto& lines = reply.lines;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == "TABLE" && i + 1 < lines.size()) {
      table = &tables.at(static_cast<size_t>(std::clamp(std::atoi(lines[++i].c_str()), 0, 6)));
    } else if (lines[i] == "ENTRY" && i + 2 < lines.size() && table) {
      table->push_back({lines[i + 1], std::atoi(lines[i + 2].c_str()), false});
      i += 2;
    } else if (lines[i] == "is own" && table && !table->empty()) {
      table->back().own = true;
    }
  }
  return tables;
}

bool IsShownError(const HttpReply& reply) {
  return reply.lines.size() >= 2 && reply.lines[0] != "OKAY" && !reply.lines[1].empty();
}

}  // namespace servertest

#include "tests/server/harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
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

HttpReply Upload(int port, const Registration& registration, int32_t entryId, const std::string& recording,
                 const std::string& from) {
  const std::string body = "key_id=" + std::to_string(registration.keyId) + "&id=" + std::to_string(entryId) +
                           "&hash=" + std::to_string(RecordingCheck(registration.key, recording)) +
                           "&recording=" + Base64Url(recording);
  return PostAsGame(port, kUploadPath, body, from);
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

std::optional<int32_t> RegisterAndSubmit(int port, const std::string& name, int32_t points, int mode) {
  const auto registration = Register(port);
  if (!registration) return std::nullopt;
  const HttpReply reply = Submit(port, *registration, name, points, mode);
  if (reply.lines.size() < 2 || reply.lines[0] != "OKAY") return std::nullopt;
  return std::atoi(reply.lines[1].c_str());
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

#pragma once

// Runs the highscore server as its own process and talks to it over
// 127.0.0.1 exactly as the game does.

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/server/recorded_games.h"

namespace servertest {

// A directory under /tmp, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// "sqlite:..." in dir, or a fresh database in the PostgreSQL cluster named
// by QUARZELLO_TEST_POSTGRES_URL (the test fails when it is not set).
std::string MakeDatabase(const std::string& kind, const TempDir& dir);

class ServerProcess {
 public:
  // Starts the server with these options plus --listen on a free port, and
  // waits until it serves.
  ServerProcess(const std::vector<std::string>& options, const std::string& logPath);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return port_; }
  bool started() const { return port_ > 0; }
  std::string Log() const;

  void Kill();  // SIGKILL, as a crash would
  // SIGTERM; the exit status, or -1 when it did not end within the timeout.
  int Terminate(int timeoutMillis = 10'000);

 private:
  int WaitForExit(int timeoutMillis);

  pid_t pid_ = -1;
  int port_ = -1;
  std::string logPath_;
};

struct HttpReply {
  bool connected = false;
  std::string raw;                 // everything the server sent
  std::string statusLine;
  std::vector<std::string> lines;  // the body, line by line
};

// A connection to 127.0.0.1:port from the loopback address from (any when
// empty), as a descriptor; -1 when it fails.
int Connect(int port, const std::string& from = "");

// Sends bytes and reads until the server closes the connection (or the
// timeout passes, which leaves timedOut set).
std::string SendRaw(int port, const std::string& bytes, int timeoutMillis = 10'000, bool* timedOut = nullptr,
                    const std::string& from = "");

// Splits a reply into status line and body lines.
HttpReply ParseHttpReply(const std::string& raw);

// A POST with the header lines, body and trailing line break of the game.
HttpReply PostAsGame(int port, const std::string& path, const std::string& body, const std::string& from = "");

const std::string kRegisterPath = "/quarzello/register.php";
const std::string kSubmitPath = "/quarzello/highscore.php";
const std::string kFetchPath = "/quarzello/get.php";
const std::string kUploadPath = "/quarzello/replay.php";
const std::string kDealPath = "/quarzello/deal.php";
const std::string kStartPath = "/quarzello/start.php";

// The game's encoding of a player name in a request body.
std::string EncodeName(const std::string& name);
// The game's check value, computed with zlib's Adler-32.
int32_t GameHash(const std::string& key, int32_t points, int mode);

struct Registration {
  std::string key;
  int32_t keyId = 0;
};

std::optional<Registration> Register(int port);
HttpReply Submit(int port, const Registration& registration, const std::string& name, int32_t points, int mode);
// Registers and submits; the new entry's id, or nothing.
std::optional<int32_t> RegisterAndSubmit(int port, const std::string& name, int32_t points, int mode);

struct SubmittedEntry {
  Registration registration;
  int32_t id = 0;
};
// The same, with the key the entry was submitted under, for its upload.
std::optional<SubmittedEntry> SubmitEntry(int port, const std::string& name, int32_t points, int ranking);

struct FetchedEntry {
  std::string name;
  int32_t points = 0;
  bool own = false;
  bool operator==(const FetchedEntry&) const = default;
};
using FetchedTables = std::array<std::vector<FetchedEntry>, 7>;

// The upload's check value: CRC-32 over key, recording and key again.
int32_t RecordingCheck(const std::string& key, const std::string& recording);
// URL-safe base64 without padding.
std::string Base64Url(const std::string& bytes);

// Uploads a recording for an entry as the game does, under the key of the
// registration the entry was submitted with; as an old client does, naming
// no ticket.
HttpReply Upload(int port, const Registration& registration, int32_t entryId, const std::string& recording,
                 const std::string& from = "");
// The same naming the ticket its board was dealt with.
HttpReply UploadDealt(int port, const Registration& registration, int32_t entryId, const std::string& recording,
                      int32_t ticket, const std::string& from = "");

// An upload the entry counts for: "OKAY" without the mark of an entry that does not.
bool Counts(const HttpReply& reply);
// The reason word of an "OKAY" whose entry does not count; empty when it counts.
std::string UnverifiedReason(const HttpReply& reply);

struct DealtTicket {
  int32_t id = 0;
  int32_t generatorState = 0;
};
// A board dealt for ranking as the game asks for it; nothing when refused.
std::optional<DealtTicket> Deal(int port, int ranking, const std::string& from = "");
HttpReply ReportStart(int port, const DealtTicket& ticket);

// Statements on the test's database (MakeDatabase's address), beside the
// service, as its clock or a chance of the draw would change it; the first
// value the query gives, "" for none or NULL.
void RunSql(const std::string& database, const std::string& sql);
std::string QuerySql(const std::string& database, const std::string& sql);
// Moves the ticket's stamps back by millis, as if that much more time had passed since.
void MoveTicketBack(const std::string& database, int32_t ticket, int64_t millis);

struct DealtGame {
  DealtTicket ticket;
  PlayedGame game;
};
// Deals a board for the plan's ranking and plays the plan's game on it;
// the deal is moved back by the game's length and two seconds, as if the
// game had been played since. Nothing when no board was dealt.
std::optional<DealtGame> PlayDealtGame(int port, const std::string& database, PlayPlan plan);

// A GET as a browser sends it; the body is everything after the head.
HttpReply Get(int port, const std::string& target, const std::string& headers = "");
std::string Body(const HttpReply& reply);

// Reads a fetch reply the way the game does.
std::optional<FetchedTables> Fetch(int port, int32_t own = 0, const std::string& from = "");

// True for an error reply the game shows: a first line other than "OKAY" and
// a message on the second.
bool IsShownError(const HttpReply& reply);

}  // namespace servertest

// Misuse, load and crashes against the real server, on both stores.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "tests/server/store_fixture.h"

namespace servertest {
namespace {

using FaultsTest = StoreTest;
using Clock = std::chrono::steady_clock;

TEST_P(FaultsTest, MisusedHttpGetsAnErrorTheGameCanShow) {
  auto server = Start();
  const int port = server->port();

  const HttpReply get = ParseHttpReply(SendRaw(port, "GET /quarzello/get.php HTTP/1.0\r\n\r\n"));
  EXPECT_TRUE(IsShownError(get)) << get.raw;
  EXPECT_NE(get.statusLine.find(" 405 "), std::string::npos);

  // Every other path belongs to the rankings for browsers, which only read.
  const HttpReply elsewhere = PostAsGame(port, "/quarzello/admin.php", "register=yes");
  EXPECT_TRUE(IsShownError(elsewhere)) << elsewhere.raw;
  EXPECT_NE(elsewhere.statusLine.find(" 405 "), std::string::npos);

  const HttpReply huge = PostAsGame(port, kSubmitPath, "name=" + std::string(1 << 20, 'a'));
  EXPECT_TRUE(IsShownError(huge)) << huge.raw.substr(0, 200);
  EXPECT_NE(huge.statusLine.find(" 413 "), std::string::npos);

  const HttpReply junk = ParseHttpReply(SendRaw(port, std::string("\x01\x02\xff junk \x80\r\n\r\n")));
  EXPECT_TRUE(IsShownError(junk)) << junk.raw;

  const HttpReply badLength = ParseHttpReply(
      SendRaw(port, "POST /quarzello/register.php HTTP/1.0\r\nContent-Length: many\r\n\r\nregister=yes\r\n"));
  EXPECT_TRUE(IsShownError(badLength)) << badLength.raw;

  EXPECT_TRUE(Register(port)) << "the server carries on";
}

TEST_P(FaultsTest, SilentClientsNeitherBlockOthersNorStayForever) {
  auto server = Start({"--client-timeout", "1", "--threads", "4"});
  // More silent connections than threads: accepted connections wait their
  // turn, so the real request is answered once the silent ones time out.
  std::vector<std::thread> silent;
  std::atomic<int> closedByServer{0};
  for (int i = 0; i < 6; ++i) {
    silent.emplace_back([&] {
      bool timedOut = false;
      SendRaw(server->port(), "", 8000, &timedOut);
      if (!timedOut) ++closedByServer;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = Clock::now();
  EXPECT_TRUE(Register(server->port()));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  for (auto& thread : silent) thread.join();
  EXPECT_EQ(closedByServer, 6);
}

TEST_P(FaultsTest, TwentyClientsSubmittingAtOnceAreEachStoredOnce) {
  auto server = Start();
  constexpr int kClients = 20;
  std::vector<std::optional<int32_t>> ids(kClients);
  std::vector<std::thread> clients;
  std::atomic<bool> go{false};
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      while (!go) std::this_thread::yield();
      ids[i] = RegisterAndSubmit(server->port(), "player" + std::to_string(i), 1000 + i, i % 7);
    });
  }
  go = true;
  for (auto& client : clients) client.join();

  std::set<int32_t> unique;
  for (int i = 0; i < kClients; ++i) {
    ASSERT_TRUE(ids[i]) << "client " << i;
    unique.insert(*ids[i]);
  }
  EXPECT_EQ(unique.size(), static_cast<size_t>(kClients));

  const auto tables = Fetch(server->port(), *ids[5]);
  ASSERT_TRUE(tables);
  std::map<std::string, int> seen;
  for (int mode = 0; mode < 7; ++mode) {
    for (const auto& entry : (*tables)[mode]) {
      ++seen[entry.name];
      const int i = std::stoi(entry.name.substr(6));
      EXPECT_EQ(entry.points, 1000 + i);
      EXPECT_EQ(mode, i % 7);
      EXPECT_EQ(entry.own, i == 5);
    }
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kClients));
  for (const auto& [name, count] : seen) EXPECT_EQ(count, 1) << name;
}

TEST_P(FaultsTest, EveryAcknowledgedScoreSurvivesAKill) {
  auto server = Start();
  const int port = server->port();
  std::mutex mutex;
  std::map<std::string, int32_t> acknowledged;
  std::atomic<bool> stop{false};
  std::vector<std::thread> clients;
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&, c] {
      for (int n = 0; !stop; ++n) {
        // Appended rather than "c" + to_string: g++ 12 at -O3 warns falsely
        // about the overlapping copy inside that operator+.
        std::string name = "c";
        name += std::to_string(c) + "n" + std::to_string(n);
        const auto id = RegisterAndSubmit(port, name, n, c % 7);
        if (!id) return;  // the server is gone
        std::lock_guard lock(mutex);
        acknowledged[name] = *id;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  server->Kill();
  stop = true;
  for (auto& client : clients) client.join();
  ASSERT_GT(acknowledged.size(), 8u);

  auto restarted = Start({"--table-size", "100000"});
  const auto tables = Fetch(restarted->port());
  ASSERT_TRUE(tables);
  std::map<std::string, int> stored;
  for (const auto& ranking : *tables) {
    for (const auto& entry : ranking) ++stored[entry.name];
  }
  for (const auto& [name, id] : acknowledged) EXPECT_EQ(stored[name], 1) << name << " (id " << id << ")";
  for (const auto& [name, count] : stored) EXPECT_EQ(count, 1) << name;

  const auto& [someName, someId] = *acknowledged.begin();
  const auto marked = Fetch(restarted->port(), someId);
  for (const auto& ranking : *marked) {
    for (const auto& entry : ranking) EXPECT_EQ(entry.own, entry.name == someName) << entry.name;
  }
}

TEST_P(FaultsTest, TerminationAnswersTheRequestsUnderWayAndEndsCleanly) {
  auto server = Start();
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < 4; ++i) {
    clients.emplace_back([&] {
      // The server stops accepting at some point; what it took is answered.
      while (true) {
        const HttpReply reply = PostAsGame(server->port(), kRegisterPath, "register=yes");
        if (!reply.connected) return;
        EXPECT_TRUE(!reply.lines.empty() && reply.lines[0] == "OKAY") << reply.raw;
        ++answered;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(server->Terminate(), 0) << server->Log();
  for (auto& client : clients) client.join();
  EXPECT_GT(answered, 0);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, FaultsTest, ::testing::Values("sqlite"));
INSTANTIATE_TEST_SUITE_P(Postgres, FaultsTest, ::testing::Values("postgresql"));

}  // namespace
}  // namespace servertest

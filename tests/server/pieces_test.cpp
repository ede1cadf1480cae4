// The service's building blocks that need no network.

#include <gtest/gtest.h>
#include <zlib.h>

#include "gameplay/recording.h"
#include "protocol/score_hash.h"
#include "server/form.h"
#include "server/options.h"
#include "server/rate_limiter.h"
#include "server/recording_upload.h"
#include "server/tickets.h"

namespace highscored {
namespace {

TEST(ScoreHashTest, MatchesAdler32OverPaddedKeyPointsModeAndTail) {
  // Keys shorter than 16, exactly 16 and longer: padding and tail.
  EXPECT_EQ(quarzello::ScoreHash("abc", 500, 2), static_cast<int32_t>(adler32(1, reinterpret_cast<const Bytef*>(
                                                                             "abc             5002"),
                                                                         20)));
  EXPECT_EQ(quarzello::ScoreHash("0123456789abcdef", 7, 0),
            static_cast<int32_t>(adler32(1, reinterpret_cast<const Bytef*>("0123456789abcdef70"), 18)));
  EXPECT_EQ(quarzello::ScoreHash("0123456789abcdefXYZ", 12, 6),
            static_cast<int32_t>(adler32(1, reinterpret_cast<const Bytef*>("0123456789abcdef126XYZ"), 22)));
}

TEST(ScoreHashTest, SumsWithTheTopBitSetComeOutNegative) {
  EXPECT_EQ(quarzello::ScoreHash(std::string(10, '}'), 2147483647, 6), -2042165273);
}

TEST(FormTest, DecodesEscapesAndKeepsPlusSigns) {
  const auto form = ParseForm("name=A+B%20%22x%22%7d&pts=5&empty=&flag");
  ASSERT_TRUE(form);
  EXPECT_EQ(form->at("name"), "A+B \"x\"}");
  EXPECT_EQ(form->at("pts"), "5");
  EXPECT_EQ(form->at("empty"), "");
  EXPECT_EQ(form->at("flag"), "");
}

TEST(FormTest, ForgivesALineBreakCountedIntoTheBody) {
  const auto form = ParseForm("register=yes\r\n");
  ASSERT_TRUE(form);
  EXPECT_EQ(form->at("register"), "yes");
}

TEST(FormTest, RefusesBrokenEscapesAndRepeatedFields) {
  EXPECT_FALSE(ParseForm("name=%4"));
  EXPECT_FALSE(ParseForm("name=%"));
  EXPECT_FALSE(ParseForm("name=%G1"));
  EXPECT_FALSE(ParseForm("pts=1&pts=2"));
  EXPECT_TRUE(ParseForm(""));
}

TEST(FormTest, DecimalsAreDigitsOnlyWithinInt32) {
  EXPECT_EQ(ParseDecimal("0", false), 0);
  EXPECT_EQ(ParseDecimal("2147483647", false), 2147483647);
  EXPECT_EQ(ParseDecimal("-2147483648", true), -2147483647 - 1);
  EXPECT_FALSE(ParseDecimal("2147483648", false));
  EXPECT_FALSE(ParseDecimal("-2147483649", true));
  EXPECT_FALSE(ParseDecimal("-5", false));
  EXPECT_FALSE(ParseDecimal("", true));
  EXPECT_FALSE(ParseDecimal("-", true));
  EXPECT_FALSE(ParseDecimal("+5", true));
  EXPECT_FALSE(ParseDecimal(" 5", true));
  EXPECT_FALSE(ParseDecimal("5x", true));
  EXPECT_FALSE(ParseDecimal("99999999999999999999", true));
}

TEST(RateLimiterTest, AllowsTheShareOfAMinuteAndRefillsOverTime) {
  RateLimiter limiter(3);
  EXPECT_TRUE(limiter.Allow("10.0.0.1", 0));
  EXPECT_TRUE(limiter.Allow("10.0.0.1", 0));
  EXPECT_TRUE(limiter.Allow("10.0.0.1", 0));
  EXPECT_FALSE(limiter.Allow("10.0.0.1", 100));
  EXPECT_TRUE(limiter.Allow("10.0.0.2", 100)) << "addresses are counted apart";
  EXPECT_TRUE(limiter.Allow("10.0.0.1", 20'100)) << "one request comes back every 20 s";
  EXPECT_FALSE(limiter.Allow("10.0.0.1", 20'200));
  EXPECT_TRUE(limiter.Allow("10.0.0.1", 10 * 60'000));
  EXPECT_TRUE(limiter.Allow("10.0.0.1", 10 * 60'000));
  EXPECT_TRUE(limiter.Allow("10.0.0.1", 10 * 60'000));
  EXPECT_FALSE(limiter.Allow("10.0.0.1", 10 * 60'000)) << "a long pause does not save up more than a minute";
}

TEST(RateLimiterTest, TheSweepForgetsOnlyFullBuckets) {
  RateLimiter limiter(3);
  const int64_t t0 = 1'000'000;
  EXPECT_TRUE(limiter.Allow("10.0.0.9", t0));  // sweeps once, at the first request
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(limiter.Allow("10.0.0.1", t0 + 59'900));
  // This request comes with the next sweep, a tenth of a second later.
  EXPECT_FALSE(limiter.Allow("10.0.0.1", t0 + 60'000)) << "a bucket drained just before a sweep stays drained";
  EXPECT_FALSE(limiter.Allow("10.0.0.1", t0 + 79'000));
  EXPECT_TRUE(limiter.Allow("10.0.0.1", t0 + 80'000));
  // 10.0.0.9 was full at that sweep and forgotten: it starts full again.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(limiter.Allow("10.0.0.9", t0 + 80'000));
  EXPECT_FALSE(limiter.Allow("10.0.0.9", t0 + 80'000));
}

// Replay time: the most a replay may take is counted when it starts, what it
// did not take comes back, and never more than the minute's share.
TEST(RateLimiterTest, CountsAmountsAndTakesBackWhatWasNotUsed) {
  RateLimiter cpu(8000);
  EXPECT_TRUE(cpu.Allow("10.0.0.1", 0, 4000));
  EXPECT_TRUE(cpu.Allow("10.0.0.1", 0, 4000));
  EXPECT_FALSE(cpu.Allow("10.0.0.1", 0, 4000)) << "two replays' bound at once, no third";
  cpu.GiveBack("10.0.0.1", 3950, 0);  // the first took 50 ms
  EXPECT_FALSE(cpu.Allow("10.0.0.1", 0, 4000)) << "the 50 ms are spent";
  cpu.GiveBack("10.0.0.1", 3950, 0);  // and so did the second
  EXPECT_TRUE(cpu.Allow("10.0.0.1", 0, 4000));
  EXPECT_FALSE(cpu.Allow("10.0.0.1", 0, 4000));
  EXPECT_TRUE(cpu.Allow("10.0.0.1", 30'000, 4000)) << "half a minute brings back half the share";
  cpu.GiveBack("10.0.0.1", 1e9, 30'000);
  EXPECT_TRUE(cpu.Allow("10.0.0.1", 30'000, 8000));
  EXPECT_FALSE(cpu.Allow("10.0.0.1", 30'000, 1)) << "given back no more than the share";
}

TEST(RateLimiterTest, ZeroMeansNoLimit) {
  RateLimiter limiter(0);
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(limiter.Allow("10.0.0.1", 0));
}

Options Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "quarzello-highscored");
  return ParseOptions(static_cast<int>(args.size()), args.data());
}

// The bounds of a ticket's times, each at its edge: a Turbo game of 121 s
// and 4 s paused, on the default times (an hour to start, half an hour
// after the end, a second between clocks).
TEST(TicketTest, AGameCountsWhenItsUploadComesNoSoonerThanItsGameAndNoLaterThanItsAllowance) {
  const TicketTimes times;
  const int64_t dealt = 1'000'000;
  const Ticket ticket{7, 4, 123, dealt, std::nullopt, false};
  const int64_t game = 121'000 + 4'000;
  const auto at = [&](int64_t arrived, const Ticket& judged) {
    return JudgeTicket(true, judged, {4, 123, 121'000, 4'000, arrived}, times);
  };
  EXPECT_EQ(at(dealt + game - 1000, ticket), TicketVerdict::Counts);
  EXPECT_EQ(at(dealt + game - 1001, ticket), TicketVerdict::TooSoon) << "the pause passed too";
  const int64_t latest = dealt + 60 * 60'000 + game + 30 * 60'000 + 1000;
  EXPECT_EQ(at(latest, ticket), TicketVerdict::Counts);
  EXPECT_EQ(at(latest + 1, ticket), TicketVerdict::Expired);

  // A reported start bounds the upload from above; from below the deal
  // still does, since the report may come late.
  Ticket started = ticket;
  started.startedMillis = dealt + 50 * 60'000;
  EXPECT_EQ(at(*started.startedMillis + game + 30 * 60'000 + 1000, started), TicketVerdict::Counts);
  EXPECT_EQ(at(*started.startedMillis + game + 30 * 60'000 + 1001, started), TicketVerdict::TooLate);
  EXPECT_EQ(at(*started.startedMillis + 1000, started), TicketVerdict::Counts);

  const UploadedGame played{4, 123, 121'000, 4'000, dealt + game};
  EXPECT_EQ(JudgeTicket(false, ticket, played, times), TicketVerdict::NoTicket);
  EXPECT_EQ(JudgeTicket(true, std::nullopt, played, times), TicketVerdict::UnknownTicket);
  EXPECT_EQ(JudgeTicket(true, Ticket{7, 4, 123, dealt, std::nullopt, true}, played, times), TicketVerdict::TicketUsed);
  EXPECT_EQ(JudgeTicket(true, Ticket{7, 3, 123, dealt, std::nullopt, false}, played, times),
            TicketVerdict::OtherRanking);
  EXPECT_EQ(JudgeTicket(true, Ticket{7, 4, 124, dealt, std::nullopt, false}, played, times), TicketVerdict::OtherBoard);

  // An unused ticket is forgotten only once the longest game could not count for it.
  const int64_t longest = quarzello::kMaxRecordedMillis + 60'000;
  EXPECT_EQ(JudgeTicket(true, ticket, {4, 123, longest, 0, dealt + TicketLifetimeMillis(times)}, times),
            TicketVerdict::Counts);
}

TEST(OptionsTest, DefaultsAndEveryOption) {
  const Options defaults = Parse({});
  EXPECT_EQ(defaults.error, "");
  EXPECT_EQ(defaults.http.address, "127.0.0.1");
  EXPECT_EQ(defaults.http.port, 8080);
  EXPECT_EQ(defaults.service.tableSize, 100);
  EXPECT_EQ(defaults.database, "");

  const Options set = Parse({"--listen", "0.0.0.0:80", "--db=postgresql://db/scores", "--table-size", "20",
                             "--rate-limit", "0", "--key-ttl", "2", "--threads", "4", "--trusted-proxy",
                             "127.0.0.1", "--client-timeout", "3", "--max-connections", "50",
                             "--max-connections-per-address", "0"});
  EXPECT_EQ(set.error, "");
  EXPECT_EQ(set.http.address, "0.0.0.0");
  EXPECT_EQ(set.http.port, 80);
  EXPECT_EQ(set.database, "postgresql://db/scores");
  EXPECT_EQ(set.service.tableSize, 20);
  EXPECT_EQ(set.service.rateLimitPerMinute, 0);
  EXPECT_EQ(set.service.keyLifetimeMillis, 2000);
  EXPECT_EQ(set.http.threads, 4);
  EXPECT_EQ(set.http.trustedProxy, "127.0.0.1");
  EXPECT_EQ(set.http.clientTimeoutSeconds, 3);
  EXPECT_EQ(set.http.maxConnections, 50);
  EXPECT_EQ(set.http.maxConnectionsPerAddress, 0);

  EXPECT_EQ(Parse({"--listen", "[::1]:9000"}).http.address, "::1");
  EXPECT_FALSE(defaults.service.acceptUnverified);
  EXPECT_EQ(defaults.replay.workers, 2);
  EXPECT_EQ(defaults.replay.cpuLimitMillis, 4000);
  EXPECT_EQ(defaults.service.maxReplays, 16);
  EXPECT_EQ(defaults.http.maxUploadsReceived, 64);
  EXPECT_EQ(defaults.http.maxUploadsPerAddress, 4);
  EXPECT_EQ(defaults.service.replayCpuPerMinuteMillis, 8000);
  EXPECT_EQ(defaults.replay.memoryLimitMiB, 64);
  EXPECT_EQ(defaults.http.maxUploadBodyBytes, 1u << 20);
  const Options replays = Parse({"--accept-unverified", "--replay-workers", "3", "--replay-cpu-limit", "250",
                                 "--max-uploads", "8", "--table-size", "5"});
  EXPECT_EQ(replays.error, "");
  EXPECT_TRUE(replays.service.acceptUnverified);
  EXPECT_TRUE(replays.web.acceptUnverified);
  EXPECT_EQ(replays.replay.workers, 3);
  EXPECT_EQ(replays.http.uploadThreads, 6);
  EXPECT_EQ(replays.service.maxReplaysPerAddress, 1) << "half the workers";
  EXPECT_EQ(Parse({"--replay-workers", "8"}).service.maxReplaysPerAddress, 4);
  EXPECT_EQ(replays.replay.cpuLimitMillis, 250);
  EXPECT_EQ(replays.service.maxReplays, 8);
  EXPECT_EQ(replays.service.replayCpuLimitMillis, 250);
  EXPECT_EQ(replays.service.replayCpuPerMinuteMillis, 500) << "two replays' bound a minute";
  const Options costs = Parse({"--replay-cpu-per-minute", "0", "--replay-memory-limit", "16",
                               "--max-uploads-received", "9", "--max-uploads-per-address", "0"});
  EXPECT_EQ(costs.error, "");
  EXPECT_EQ(costs.service.replayCpuPerMinuteMillis, 0);
  EXPECT_EQ(costs.replay.memoryLimitMiB, 16);
  EXPECT_EQ(costs.http.maxUploadsReceived, 9);
  EXPECT_EQ(costs.http.maxUploadsPerAddress, 0);
  EXPECT_EQ(replays.service.tableSize, 5) << "the flag takes no value";
  EXPECT_EQ(defaults.web.maxAgeMillis, 1000);
  EXPECT_EQ(Parse({"--page-max-age", "0"}).web.maxAgeMillis, 0);
}

TEST(OptionsTest, RefusesWhatCannotBeUsed) {
  EXPECT_NE(Parse({"--listen", "8080"}).error, "");
  EXPECT_NE(Parse({"--listen", "127.0.0.1:70000"}).error, "");
  EXPECT_NE(Parse({"--table-size", "0"}).error, "");
  EXPECT_NE(Parse({"--rate-limit", "-1"}).error, "");
  EXPECT_NE(Parse({"--page-max-age", "1001"}).error, "") << "scores stored elsewhere must show within a second";
  EXPECT_NE(Parse({"--db"}).error, "");
  EXPECT_NE(Parse({"--max-connections", "0"}).error, "");
  EXPECT_NE(Parse({"--max-connections-per-address", "-1"}).error, "");
  EXPECT_NE(Parse({"--colour", "blue"}).error, "");
  EXPECT_NE(Parse({"--replay-workers", "0"}).error, "");
  EXPECT_NE(Parse({"--replay-cpu-limit", "0"}).error, "");
  EXPECT_NE(Parse({"--replay-cpu-per-minute", "3999"}).error, "") << "not even one replay's bound";
  EXPECT_NE(Parse({"--replay-memory-limit", "0"}).error, "");
}

}  // namespace
}  // namespace highscored

#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace highscored {

// Allows each client address a number of requests per minute: a bucket per
// address that holds up to that many requests and refills evenly over a
// minute, so a player may register and submit in quick succession while a
// flood is cut off. The same bucket counts other amounts a minute, such as
// the milliseconds of replay time an address may use.
class RateLimiter {
 public:
  explicit RateLimiter(int perMinute) : perMinute_(perMinute) {}

  // Counts a request of address at nowMillis (a steady clock), or amount of
  // whatever the bucket counts; false, counting nothing, when the address
  // has less than that left. Always true when the limit is 0.
  bool Allow(const std::string& address, int64_t nowMillis, double amount = 1);
  // Returns part of an amount that was counted but not used.
  void GiveBack(const std::string& address, double amount, int64_t nowMillis);

 private:
  struct Bucket {
    double requests = 0;  // requests still allowed
    int64_t updatedMillis = 0;
  };

  void Refill(Bucket& bucket, int64_t nowMillis) const;
  void ForgetFullBuckets(int64_t nowMillis);

  const int perMinute_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
  int64_t lastSweepMillis_ = 0;
};

}  // namespace highscored

#include "server/rate_limiter.h"

#include <algorithm>
#include <iterator>

namespace highscored {

namespace {

constexpr int64_t kMinuteMillis = 60'000;

}  // namespace

void RateLimiter::Refill(Bucket& bucket, int64_t nowMillis) const {
  const double elapsed = static_cast<double>(std::max<int64_t>(0, nowMillis - bucket.updatedMillis));
  bucket.requests = std::min<double>(perMinute_, bucket.requests + elapsed * perMinute_ / kMinuteMillis);
  bucket.updatedMillis = nowMillis;
}

// A full bucket is the same as no bucket, so the table only keeps addresses
// seen within the last minute.
void RateLimiter::ForgetFullBuckets(int64_t nowMillis) {
  if (nowMillis - lastSweepMillis_ < kMinuteMillis) return;
  lastSweepMillis_ = nowMillis;
  for (auto it = buckets_.begin(); it != buckets_.end();) {
    Refill(it->second, nowMillis);
    it = it->second.requests >= perMinute_ ? buckets_.erase(it) : std::next(it);
  }
}

bool RateLimiter::Allow(const std::string& address, int64_t nowMillis, double amount) {
  if (perMinute_ <= 0) return true;
  std::lock_guard lock(mutex_);
  ForgetFullBuckets(nowMillis);
  auto [it, added] = buckets_.try_emplace(address, Bucket{static_cast<double>(perMinute_), nowMillis});
  Bucket& bucket = it->second;
  if (!added) Refill(bucket, nowMillis);
  if (bucket.requests < amount) return false;
  bucket.requests -= amount;
  return true;
}

void RateLimiter::GiveBack(const std::string& address, double amount, int64_t nowMillis) {
  if (perMinute_ <= 0 || amount <= 0) return;
  std::lock_guard lock(mutex_);
  const auto it = buckets_.find(address);
  if (it == buckets_.end()) return;  // full already
  Refill(it->second, nowMillis);
  it->second.requests = std::min<double>(perMinute_, it->second.requests + amount);
}

}  // namespace highscored

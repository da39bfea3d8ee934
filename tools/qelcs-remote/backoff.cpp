// Exponential backoff with a cap.
#include "backoff.h"

#include <sys/random.h>

#include <algorithm>
#include <chrono>

namespace qelcs_remote {

namespace {

unsigned long long seed() {
  unsigned long long value = 0;
  if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value))
    value = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  return value | 1;
}

}  // namespace

backoff::backoff(long initial_ms, long max_ms)
    : initial_ms_(std::max(1L, initial_ms)), max_ms_(std::max(initial_ms_, max_ms)),
      next_ms_(initial_ms_), state_(seed()) {}

long backoff::next_delay_ms() {
  const long step = next_ms_;
  next_ms_ = std::min(max_ms_, next_ms_ * 2);
  state_ ^= state_ << 13;  // xorshift64: plenty for spreading retries
  state_ ^= state_ >> 7;
  state_ ^= state_ << 17;
  const long half = step / 2;
  return half + static_cast<long>(state_ % static_cast<unsigned long long>(step - half + 1));
}

}  // namespace qelcs_remote

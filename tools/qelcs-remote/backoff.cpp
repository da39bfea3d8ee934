// Exponential backoff with a cap.
#include "backoff.h"

#include <algorithm>

namespace qelcs_remote {

backoff::backoff(long initial_ms, long max_ms)
    : initial_ms_(std::max(1L, initial_ms)), max_ms_(std::max(initial_ms_, max_ms)),
      next_ms_(initial_ms_) {}

long backoff::next_delay_ms() {
  const long delay = next_ms_;
  next_ms_ = std::min(max_ms_, next_ms_ * 2);
  return delay;
}

}  // namespace qelcs_remote

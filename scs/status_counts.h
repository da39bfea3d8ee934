// Counts of answers by HTTP status (100-999), one relaxed atomic counter per status, so
// that connection threads count without a lock. Read by the /metrics page; a reading
// taken while requests are answered may be a moment old. Any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

namespace qel::scs {

class StatusCounts {
 public:
  void add(unsigned status) {
    if (status < kFirst || status > kLast) status = 500;  // cannot happen: 100-999 only
    counts_[status - kFirst].fetch_add(1, std::memory_order_relaxed);
  }

  // (status, count) for every status counted at least once, in status order.
  std::vector<std::pair<unsigned, std::uint64_t>> nonzero() const {
    std::vector<std::pair<unsigned, std::uint64_t>> found;
    for (unsigned i = 0; i < counts_.size(); ++i) {
      const std::uint64_t n = counts_[i].load(std::memory_order_relaxed);
      if (n != 0) found.emplace_back(i + kFirst, n);
    }
    return found;
  }

 private:
  static constexpr unsigned kFirst = 100, kLast = 999;
  std::array<std::atomic<std::uint64_t>, kLast - kFirst + 1> counts_{};
};

}  // namespace qel::scs

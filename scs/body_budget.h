// The bytes of request bodies one endpoint buffers at once: declared lengths are
// taken before the body is read, chunked bodies as their bytes arrive, and everything
// is given back when the request's callback has returned. A request that would go
// over the budget is answered 503 instead.
//
// Owned by an HttpDaemon; any thread (atomic counter and limit). A reload may change
// the limit; bytes already taken stay taken, also above a lowered limit.
#pragma once

#include <atomic>
#include <cstdint>

namespace qel::scs {

class BodyBudget {
 public:
  explicit BodyBudget(std::uint64_t limit) : limit_(limit) {}

  // Takes `bytes`, or nothing and false when they do not fit (a limit of 0: all fit).
  bool take(std::uint64_t bytes) {
    const std::uint64_t limit = limit_.load(std::memory_order_relaxed);
    std::uint64_t used = used_.load(std::memory_order_relaxed);
    do {
      if (limit != 0 && (bytes > limit || used > limit - bytes)) return false;
    } while (!used_.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
    return true;
  }
  void give_back(std::uint64_t bytes) { used_.fetch_sub(bytes, std::memory_order_relaxed); }
  std::uint64_t used() const { return used_.load(std::memory_order_relaxed); }
  std::uint64_t limit() const { return limit_.load(std::memory_order_relaxed); }
  void set_limit(std::uint64_t limit) { limit_.store(limit, std::memory_order_relaxed); }

 private:
  std::atomic<std::uint64_t> limit_;
  std::atomic<std::uint64_t> used_{0};
};

}  // namespace qel::scs

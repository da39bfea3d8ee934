// The counters of one resource on one endpoint, shown by the /metrics page: answers by
// HTTP status, callbacks running right now (waiting callers on /qel, parked polls on
// the reverse connection resource), request and response body bytes, and a histogram of
// the time from the request's headers to its queued answer.
//
// Owned by the endpoint's EndpointMetrics, which lives as long as its HTTP daemon, so a
// connection thread may keep a plain pointer for the duration of its request. Written
// with relaxed atomic operations only (no lock on the request path); snapshot() may run
// at any time on any thread and may see one request half counted.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "scs/status_counts.h"

namespace qel::scs {

// Upper bounds of the latency buckets in seconds; the last bucket (+Inf) is implied.
// Callers of the tunnel wait up to minutes, polls up to a minute: the buckets reach 120 s.
constexpr std::array<double, 14> kLatencyBuckets = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5,
                                                    1,     2.5,  5,     10,   30,  60,   120};

struct ResourceSnapshot {
  std::vector<std::pair<unsigned, std::uint64_t>> answers;  // (status, count)
  std::uint64_t in_flight = 0;
  std::uint64_t bytes_in = 0, bytes_out = 0;
  std::array<std::uint64_t, kLatencyBuckets.size() + 1> buckets{};  // not cumulative; last: +Inf
  double seconds_total = 0;
};

class ResourceMetrics {
 public:
  // Brackets a running callback.
  void callback_started() { in_flight_.fetch_add(1, std::memory_order_relaxed); }
  void callback_ended() { in_flight_.fetch_sub(1, std::memory_order_relaxed); }

  void record(unsigned status, std::uint64_t bytes_in, std::uint64_t bytes_out,
              std::chrono::steady_clock::duration took);
  ResourceSnapshot snapshot() const;

 private:
  StatusCounts answers_;
  std::atomic<std::int64_t> in_flight_{0};
  std::atomic<std::uint64_t> bytes_in_{0}, bytes_out_{0};
  std::array<std::atomic<std::uint64_t>, kLatencyBuckets.size() + 1> buckets_{};
  std::atomic<std::uint64_t> microseconds_total_{0};
};

// Counts a running callback for the lifetime of a scope; does nothing for null.
class CallbackInFlight {
 public:
  explicit CallbackInFlight(ResourceMetrics* metrics) : metrics_(metrics) {
    if (metrics_ != nullptr) metrics_->callback_started();
  }
  ~CallbackInFlight() {
    if (metrics_ != nullptr) metrics_->callback_ended();
  }
  CallbackInFlight(const CallbackInFlight&) = delete;
  CallbackInFlight& operator=(const CallbackInFlight&) = delete;

 private:
  ResourceMetrics* metrics_;
};

}  // namespace qel::scs

#include "scs/request_metrics.h"

#include <algorithm>

namespace qel::scs {

void ResourceMetrics::record(unsigned status, std::uint64_t bytes_in, std::uint64_t bytes_out,
                             std::chrono::steady_clock::duration took) {
  constexpr auto relaxed = std::memory_order_relaxed;
  answers_.add(status);
  bytes_in_.fetch_add(bytes_in, relaxed);
  bytes_out_.fetch_add(bytes_out, relaxed);
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
  const double seconds = static_cast<double>(micros) / 1e6;
  const auto bucket = static_cast<std::size_t>(
      std::lower_bound(kLatencyBuckets.begin(), kLatencyBuckets.end(), seconds) -
      kLatencyBuckets.begin());
  buckets_[bucket].fetch_add(1, relaxed);
  microseconds_total_.fetch_add(static_cast<std::uint64_t>(std::max<std::int64_t>(micros, 0)),
                                relaxed);
}

ResourceSnapshot ResourceMetrics::snapshot() const {
  constexpr auto relaxed = std::memory_order_relaxed;
  ResourceSnapshot s;
  s.answers = answers_.nonzero();
  s.in_flight = static_cast<std::uint64_t>(std::max<std::int64_t>(in_flight_.load(relaxed), 0));
  s.bytes_in = bytes_in_.load(relaxed);
  s.bytes_out = bytes_out_.load(relaxed);
  for (std::size_t i = 0; i < buckets_.size(); ++i) s.buckets[i] = buckets_[i].load(relaxed);
  s.seconds_total = static_cast<double>(microseconds_total_.load(relaxed)) / 1e6;
  return s;
}

}  // namespace qel::scs

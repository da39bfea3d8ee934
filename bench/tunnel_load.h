// Load driver of the tunnel benchmark: sends a number of POSTs to one URL keeping a
// fixed number in flight (curl multi, one thread, keep-alive connections reused), and
// reports throughput and latency percentiles. Used by one thread at a time.
#ifndef QEL_BENCH_TUNNEL_LOAD_H
#define QEL_BENCH_TUNNEL_LOAD_H

#include <string>
#include <vector>

namespace tunnel_bench {

struct load_result {
  int sent = 0;
  int answered = 0;       // responses with the expected status
  int failed = 0;         // transport errors, time-outs or other statuses
  double seconds = 0;     // wall time of the whole run
  std::vector<double> latencies_ms;  // of answered requests, sorted

  double per_second() const { return seconds > 0 ? answered / seconds : 0; }
  double percentile(double p) const;  // p in [0, 100]; 0 when nothing was answered
};

// `count` POSTs of `body` to `url`, `in_flight` at a time; `expected` is the status
// that counts as answered. Each request gives up after `timeout_ms`.
load_result run_load(const std::string& url, const std::string& body, int count, int in_flight,
                     long expected, long timeout_ms);

}  // namespace tunnel_bench

#endif  // QEL_BENCH_TUNNEL_LOAD_H

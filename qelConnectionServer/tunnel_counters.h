// tunnel_counters: what the tunnel's extensions did that an operator should be able to
// count: answers that reached nobody (by why), callers answered because their remote
// client went away, callers refused during a stop. One process-wide set (counters()),
// relaxed atomics: any thread adds, any thread reads.
#ifndef QEL_FUNNELTUNNEL_TUNNEL_COUNTERS_H
#define QEL_FUNNELTUNNEL_TUNNEL_COUNTERS_H

#include <atomic>
#include <cstdint>

namespace qel {
namespace funneltunnel {

struct tunnel_counters {
  std::atomic<uint64_t> answers_for_callers_gone{0};  // caller gave up or was released
  std::atomic<uint64_t> answers_stale{0};             // meant for another host process
  std::atomic<uint64_t> answers_unknown{0};           // a declared client's unknown id
  std::atomic<uint64_t> callers_of_vanished_clients{0};  // answered 502
  std::atomic<uint64_t> callers_refused_stopping{0};     // answered 503 during a stop
};

tunnel_counters& counters();

inline void count(std::atomic<uint64_t>& counter, uint64_t n = 1) {
  counter.fetch_add(n, std::memory_order_relaxed);
}

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_TUNNEL_COUNTERS_H

// waiting_callers: how many callers wait for the remote client, queued or out with it.
// A caller is admitted with a token; the count drops when the token is let go (the
// caller's transaction is claimed: answered, released or given up). Shared through
// std::shared_ptr by successive reverse funnels, so the callers of a replaced funnel
// still count. Any thread.
#ifndef QEL_FUNNELTUNNEL_WAITING_CALLERS_H
#define QEL_FUNNELTUNNEL_WAITING_CALLERS_H

#include <atomic>
#include <cstdint>
#include <memory>

namespace qel {
namespace funneltunnel {

class waiting_callers : public std::enable_shared_from_this<waiting_callers> {
 public:
  // A token for one more caller, or null when `limit` (nonzero) callers wait already.
  std::shared_ptr<void> admit(uint32_t limit);
  uint32_t count() const { return waiting.load(); }

 private:
  std::atomic<uint32_t> waiting{0};
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_WAITING_CALLERS_H

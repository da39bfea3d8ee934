// timed_queue: a locked_queue that also remembers when the last insertion was
// attempted (whole seconds since the epoch; 0 at construction and after clear/drain).
// The reverse funnel reads that time to decide when parked polls have waited long
// enough. Same ownership and thread rules as locked_queue; the time is written
// before and outside the lock and read without it.
#ifndef QEL_FUNNELTUNNEL_TIMED_QUEUE_H
#define QEL_FUNNELTUNNEL_TIMED_QUEUE_H

#include <ctime>

#include "qelConnectionServer/locked_queue.h"

namespace qel {
namespace funneltunnel {

template <class T>
class timed_queue : public locked_queue<T> {
 public:
  explicit timed_queue(uint32_t capacity) : locked_queue<T>(capacity) {}
  ~timed_queue() override = default;

  // The time is updated even when the base then refuses the element.
  void enqueue(const T& element) override {
    enqueue_time.store(std::time(nullptr), std::memory_order_relaxed);
    locked_queue<T>::enqueue(element);
  }

  void clear() override { drain(); }

  std::deque<T> drain() override {
    enqueue_time.store(0, std::memory_order_relaxed);
    return locked_queue<T>::drain();
  }

  std::time_t last_enqueue_time() const { return enqueue_time.load(std::memory_order_relaxed); }

 private:
  std::atomic<std::time_t> enqueue_time{0};
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_TIMED_QUEUE_H

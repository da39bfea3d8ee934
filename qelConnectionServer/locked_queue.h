// locked_queue: a first-in-first-out queue of transaction handles shared by several
// threads, with an optional capacity (0: no limit).
//
// Ownership: the queue holds one reference per element; dequeue() hands it to the
// caller; the destructor, clear() and drain() give them up without completing the
// transactions. Threads: any thread may call anything. enqueue, dequeue, clear and
// drain each hold the queue's lock for their span and call nothing else under it;
// size() is read without the lock and may be stale.
#ifndef QEL_FUNNELTUNNEL_LOCKED_QUEUE_H
#define QEL_FUNNELTUNNEL_LOCKED_QUEUE_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <vector>

#include "qelToolsLib/jslock.h"

namespace qel {
namespace funneltunnel {

// dequeue() on an empty queue: the normal "nothing waiting" answer.
class empty_queue : public std::runtime_error {
 public:
  empty_queue() : std::runtime_error("empty queue") {}
};

template <class T>
class locked_queue {
 public:
  explicit locked_queue(uint32_t capacity) : capacity(capacity) {}
  virtual ~locked_queue() = default;
  locked_queue(const locked_queue&) = delete;
  locked_queue& operator=(const locked_queue&) = delete;

  virtual uint32_t size() const { return count.load(std::memory_order_relaxed); }

  // Appends at the back; throws std::overflow_error "queue full" at capacity.
  virtual void enqueue(const T& element) {
    jsFastLock guard(lock);
    if (capacity != 0 && elements.size() >= capacity) throw std::overflow_error("queue full");
    elements.push_back(element);
    count.store(static_cast<uint32_t>(elements.size()), std::memory_order_relaxed);
  }

  // Removes and returns the oldest element; throws empty_queue when there is none.
  virtual T dequeue() {
    jsFastLock guard(lock);
    if (elements.empty()) throw empty_queue();
    T front = std::move(elements.front());
    pop_front_locked();
    return front;
  }

  // dequeue() without the exception: false when the queue is empty.
  bool try_dequeue(T& out) {
    jsFastLock guard(lock);
    if (elements.empty()) return false;
    out = std::move(elements.front());
    pop_front_locked();
    return true;
  }

  // Takes the front element only when `ready(front)` holds; one locked step.
  template <class Predicate>
  bool dequeue_if(Predicate ready, T& out) {
    jsFastLock guard(lock);
    if (elements.empty() || !ready(elements.front())) return false;
    out = std::move(elements.front());
    pop_front_locked();
    return true;
  }

  // Takes the oldest element for which `chosen(element)` holds, dropping on the way the
  // elements before it for which `dead(element)` holds; one locked step. False when none.
  template <class Chosen, class Dead>
  bool take_first(Chosen chosen, Dead dead, T& out) {
    jsFastLock guard(lock);
    for (auto it = elements.begin(); it != elements.end();) {
      if (dead(*it)) {
        it = elements.erase(it);
        continue;
      }
      if (chosen(*it)) {
        out = std::move(*it);
        elements.erase(it);
        count.store(static_cast<uint32_t>(elements.size()), std::memory_order_relaxed);
        return true;
      }
      ++it;
    }
    count.store(static_cast<uint32_t>(elements.size()), std::memory_order_relaxed);
    return false;
  }

  // Removes every element for which `dead(element)` holds and returns them. A vector:
  // an empty one costs no allocation (a std::deque allocates as it is made).
  template <class Predicate>
  std::vector<T> remove_if(Predicate dead) {
    std::vector<T> removed;
    jsFastLock guard(lock);
    std::deque<T> kept;
    for (auto& element : elements) {
      if (dead(element)) {
        removed.push_back(std::move(element));
      } else {
        kept.push_back(std::move(element));
      }
    }
    elements.swap(kept);
    count.store(static_cast<uint32_t>(elements.size()), std::memory_order_relaxed);
    return removed;
  }

  virtual void clear() { drain(); }

  // Removes every element and returns them, oldest first, in one locked step.
  virtual std::deque<T> drain() {
    std::deque<T> taken;
    jsFastLock guard(lock);
    taken.swap(elements);
    count.store(0, std::memory_order_relaxed);
    return taken;
  }

 private:
  void pop_front_locked() QEL_REQUIRES(lock) {
    elements.pop_front();
    count.store(static_cast<uint32_t>(elements.size()), std::memory_order_relaxed);
  }

  const uint32_t capacity;
  jsFastSync lock;
  std::deque<T> elements QEL_GUARDED_BY(lock);
  std::atomic<uint32_t> count{0};
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_LOCKED_QUEUE_H

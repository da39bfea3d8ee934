// Requests whose callback returned SCS_PENDING (resources registered with
// SCS_POST_COMPLETES_LATER): no thread of the library waits for them. A pooled
// connection is suspended until SCS_SERVER_CompleteRequest stores the answer and
// resumes it; a connection with a thread of its own keeps that thread waiting here.
//
// The request handler begin()s an entry before the callback runs, so a completion that
// comes from another thread while the callback is still running is kept, and settles
// it after the callback returned. complete() and end_all() may come from any thread;
// the connection watch's `gone` function may complete its own request. Process-wide,
// like the request registry whose ids it uses.
#pragma once

#include <microhttpd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <map>
#include <set>
#include <unordered_map>

#include "scs/request_exchange.h"
#include "scs/request_metrics.h"

namespace qel::scs {

// How a pending request ended: its answer, or a stop of its daemon (answered 503).
struct PendingOutcome {
  std::uint32_t result = 0;
  std::uint8_t* answer = nullptr;  // an SCS_Allocate block, owned by whoever holds this
  std::uint32_t length = 0;
  bool stopped = false;
};

class PendingRequests {
 public:
  struct Entry {
    const void* owner = nullptr;               // the daemon serving the connection
    MHD_Connection* connection = nullptr;      // resumed once completed, if suspended
    PendingOutcome* outcome = nullptr;         // written once, before the erase
    std::atomic<bool>* done = nullptr;         // set before a resume
    std::shared_ptr<RequestExchange> exchange; // closed and unregistered on completion
    ResourceMetrics* metrics = nullptr;        // counts the request as held until then
    std::condition_variable* wake = nullptr;   // a connection thread waiting in wait()
  };

  // Before the callback runs. False, with nothing kept, while `owner` is stopping.
  bool begin(std::uint32_t id, Entry entry);
  // The callback answered at once: the entry goes. False when a completion already
  // took it (the callback broke the rule; its late answer is ignored).
  bool cancel(std::uint32_t id);
  // The callback returned SCS_PENDING, on a pooled connection's worker: true when the
  // request was completed meanwhile (answer now), else the connection is suspended.
  bool suspend_unless_completed(std::uint32_t id);
  // The same on a connection's own thread: returns once the request is completed
  // (woken through its entry's `wake`, so a completion wakes its own thread only).
  void wait(std::uint32_t id);

  // Stores `outcome` and wakes the connection. False when `id` names no pending
  // request; the caller still owns `outcome.answer` then.
  bool complete(std::uint32_t id, PendingOutcome outcome);
  // Completes every pending request of `owner` as stopped and returns once none is
  // left and their answers are gone (stop_answered() for each), or `answers_leave` has
  // passed; until allow(owner), begin() refuses its requests.
  void end_all(const void* owner, std::chrono::milliseconds answers_leave);
  void allow(const void* owner);
  // A request that end_all() completed has ended (its 503 sent, or its connection gone).
  void stop_answered(const void* owner);

 private:
  struct Slot {
    Entry entry;
    bool suspended = false;
    bool completing = false;  // complete() is closing its exchange, outside the lock
  };
  // Waits on changed_ (rare: a completion in progress, a stop) with the count of
  // waiters, so that a completion wakes nobody when nobody waits there.
  template <typename Done>
  void wait_changed(std::unique_lock<std::mutex>& lock, Done done);
  // The slot of `id` once no completion is closing it; null when it is completed.
  Slot* settled_slot(std::unique_lock<std::mutex>& lock, std::uint32_t id);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t changed_waiters_ = 0;
  std::unordered_map<std::uint32_t, Slot> slots_;
  std::set<const void*> stopping_;
  std::map<const void*, std::size_t> answering_;  // stopped requests not yet ended
};

PendingRequests& pending_requests();

}  // namespace qel::scs

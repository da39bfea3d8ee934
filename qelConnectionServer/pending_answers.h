// pending_answers: the caller and poll requests whose callback has returned before
// their answer was there (a service library of this family answers them later), kept
// by request handle until the answer is handed over; and one thread that starts
// watching a request's connection once it has waited a little, and withdraws it at its
// deadline, as a waiting callback thread would.
//
// Ownership: process-wide, like the flow table; its thread starts with the first armed
// request, and the connection server closes it (ending the thread) after its listeners
// have stopped. Threads: any.
#ifndef QEL_FUNNELTUNNEL_PENDING_ANSWERS_H
#define QEL_FUNNELTUNNEL_PENDING_ANSWERS_H

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <unordered_map>
#include <vector>

#include "qelConnectionServer/post_transaction.h"
#include "qelSessionConfigSvcs.h"

namespace qel {
namespace funneltunnel {

class pending_answers {
 public:
  using clock = raw_transaction::clock;

  ~pending_answers() { close(); }

  // Keeps `t` under its request handle, before it is shared.
  void add(const std::shared_ptr<post_transaction>& t);
  // After the processor has seen it: its first look (watch) and its deadline start.
  void arm(const raw_transaction& t);
  // The transaction pending under `handle` (null when none).
  std::shared_ptr<post_transaction> find(uint32_t handle);
  // Takes `t` out, if it is still the one under its handle: only the party that took
  // it hands its answer over (null: somebody else did, or its listener answered it).
  std::shared_ptr<post_transaction> take(const raw_transaction& t);
  std::size_t size() const;
  // Ends the thread and lets every transaction go (their listeners are stopped).
  void close();

 private:
  struct entry {
    std::shared_ptr<post_transaction> transaction;
    bool watched = false;
  };
  struct timer {
    clock::time_point at;
    uint32_t handle;
    const raw_transaction* transaction;
    bool operator>(const timer& other) const { return at > other.at; }
  };
  void run();
  void due(const timer& t);

  mutable std::mutex mutex;
  std::condition_variable changed;
  std::unordered_map<uint32_t, entry> table;
  std::priority_queue<timer, std::vector<timer>, std::greater<timer>> timers;
  std::thread thread;
  bool closing = false;
};

pending_answers& pending();

// Hands over the answer of a withdrawn request: 504 when `timed_out`, else 503 (its
// client went away). Called by the party whose withdraw() succeeded.
void answer_withdrawn(raw_transaction& t, bool timed_out);
// The connection watch's notice for a pending request; `handle` is its request handle.
void later_client_gone(void* handle);

// The callback of resources answered later: builds and dispatches the transaction and
// returns SCS_STATUS_PENDING; the answer is handed over when the transaction completes.
uint32_t POST_request_callback_later(uint32_t listener_handle, uint32_t registration_token,
                                     const uint8_t* posted_data, uint32_t posted_data_length,
                                     uint8_t** response_data, uint32_t* response_data_length,
                                     const SCS_REQUEST* request) noexcept;

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_PENDING_ANSWERS_H

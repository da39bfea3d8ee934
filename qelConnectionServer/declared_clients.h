// declared_clients: the part of a reverse funnel that serves remote clients which
// declare themselves ("X-QEL-Client", see extension_headers.h): it registers their
// polls (remote_clients), holds their presence polls and answers them empty after the
// poll time-out, and tells which clients have gone.
//
// Ownership: a member of the funnel. Threads: any; the presence queue and the registry
// each have their own lock, held for one operation.
#ifndef QEL_FUNNELTUNNEL_DECLARED_CLIENTS_H
#define QEL_FUNNELTUNNEL_DECLARED_CLIENTS_H

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "qelConnectionServer/post_transaction.h"
#include "qelConnectionServer/remote_clients.h"
#include "qelConnectionServer/timed_queue.h"

namespace qel {
namespace funneltunnel {

class declared_clients {
 public:
  using post_handle = std::shared_ptr<post_transaction>;

  // What a declared poll asks for, from its "X-QEL-Poll".
  enum class poll_kind { ordinary, presence, final };

  explicit declared_clients(uint32_t grace_s) : grace_s(grace_s) {}

  // A poll arrived: when it names a valid client, registers it (the poll counts as open
  // until it is claimed), marks its answer with this host's instance, and returns the
  // client's serial; 0 for a plain poll.
  uint64_t admit(post_transaction& poll);
  static poll_kind kind_of(const post_transaction& poll);

  // A presence poll waits here until its time-out, a stop or its client leaves.
  void park_presence(const post_handle& poll);
  // Answers (200, empty) the presence polls parked longer than `timeout_s` before `now`;
  // the number answered.
  int release_presence(std::time_t now, std::time_t timeout_s);
  // Answers (200, empty) the presence polls of `serial` (0: all).
  void release_presence_of(uint64_t serial);

  void stopping(uint64_t serial) { registry->stopping(serial); }
  bool is_stopping(uint64_t serial) const { return serial != 0 && registry->is_stopping(serial); }
  // The clients without an open poll for the grace time; forgotten from now on.
  std::vector<uint64_t> gone(remote_clients::clock::time_point now) {
    return registry->gone(now, std::chrono::seconds(grace_s.load()));
  }
  uint32_t grace_seconds() const { return grace_s.load(); }
  void set_grace(uint32_t seconds) { grace_s.store(seconds); }
  std::size_t size() const { return registry->size(); }
  uint32_t presence_parked() const { return presence.size(); }

 private:
  std::atomic<uint32_t> grace_s;
  std::shared_ptr<remote_clients> registry = std::make_shared<remote_clients>();
  timed_queue<post_handle> presence{0};
};

// Claims and answers a poll with the empty time-out answer (200, no body); false when
// somebody else had claimed it.
bool answer_empty(post_transaction& poll);

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_DECLARED_CLIENTS_H

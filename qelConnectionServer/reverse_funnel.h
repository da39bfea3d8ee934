// reverse_funnel: one reverse tunnel. It owns the queue of caller requests that no
// poll has carried yet, the queue of parked polls, both tunnel endpoints, and the
// thread "reverse_funnel timeouts", which answers a parked poll with an empty 200
// once no poll has been parked for longer than the time-out.
//
// Ownership: owned by the connection server; uses (does not own) its listener and the
// flow table. Destruction stops the thread, revokes both endpoints' tokens (waiting
// for calls in progress), and answers every poll still parked (200, empty) and every
// caller request still queued (503), so no request thread is left waiting.
// Threads: forward_request, serve_poll and reset_tunnel run on request threads, many
// at once; a caller request and a poll are paired under the funnel's one pairing
// lock (taken before a queue lock, never the other way round), so neither is parked
// while the other kind waits. The funnel thread only takes parked polls out.
#ifndef QEL_FUNNELTUNNEL_REVERSE_FUNNEL_H
#define QEL_FUNNELTUNNEL_REVERSE_FUNNEL_H

#include <ctime>
#include <deque>
#include <memory>
#include <string>

#include "qelConnectionServer/flow.h"
#include "qelConnectionServer/get_transaction.h"
#include "qelConnectionServer/locked_queue.h"
#include "qelConnectionServer/post_transaction.h"
#include "qelConnectionServer/reverse_connection_endpoint.h"
#include "qelConnectionServer/reverse_forwarder_endpoint.h"
#include "qelConnectionServer/timed_queue.h"
#include "qelToolsLib/jslock.h"
#include "qelToolsLib/jsthread.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

class listener;

class reverse_funnel : public jsThread {
 public:
  using post_handle = std::shared_ptr<post_transaction>;

  // How often the thread wakes and how long parked polls may wait (seconds; a poll is
  // released once now > last parking time + timeout). Tests shorten them.
  struct timing {
    uint32_t sleep_ms = 28000;
    std::time_t timeout_s = 28;
  };

  // Installs the reverse connection endpoint on `on` and starts the thread.
  explicit reverse_funnel(listener& on, flow_generator& table = flows());
  reverse_funnel(listener& on, flow_generator& table, timing when);
  ~reverse_funnel() override;

  // Hands a caller request to a poll: the poll is completed with the request.
  void tunnel_transaction(const post_handle& request, const post_handle& poll);
  // A caller request: given to the oldest parked poll, or queued. The form with a
  // block writes its trace lines under that block (the calling processor's).
  void forward_request(const post_handle& request);
  void forward_request(ud_block_ref block, const post_handle& request);
  // A poll (after its answer or reset): given the oldest queued request, or parked.
  void serve_poll(const post_handle& poll);
  void serve_poll(ud_block_ref block, const post_handle& poll);
  // Completes every request out with the remote client as it is (503) and answers
  // every parked poll with the time-out answer (200, empty).
  void reset_tunnel();
  // One pass of the time-out rule at time `now`; true when a poll was released.
  // The thread traces it under its own block.
  bool time_out_poll(std::time_t now);
  bool time_out_poll(ud_block_ref block, std::time_t now);

  timed_queue<post_handle>& outstanding() { return outstanding_queue; }
  timed_queue<post_handle>& tunnel() { return tunnel_queue; }
  reverse_forwarder_endpoint& forwarder() { return forwarder_endpoint; }
  reverse_connection_endpoint& connection() { return connection_endpoint; }
  flow_generator& flow_table() { return table; }

 protected:
  unsigned long run() override;

 private:
  listener& on;
  const std::string reverse_connection_resource = "/qel/reverseConnection";
  flow_generator& table;
  const timing when;
  jsFastSync pairing;
  timed_queue<post_handle> tunnel_queue{0};
  locked_queue<std::shared_ptr<get_transaction>> get_queue{0};
  timed_queue<post_handle> outstanding_queue{0};
  reverse_connection_endpoint connection_endpoint{*this};
  reverse_forwarder_endpoint forwarder_endpoint{*this};
};

// Completes each transaction with `status`; every one is completed even when one
// fails, and the first failure is rethrown afterwards.
void complete_all(std::deque<reverse_funnel::post_handle> transactions, uint32_t status);

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_REVERSE_FUNNEL_H

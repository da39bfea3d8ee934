// reverse_funnel: one reverse tunnel. It owns the queue of caller requests that no
// poll has carried yet, the queue of parked polls, both tunnel endpoints, and the
// thread "reverse_funnel timeouts", which answers parked polls with an empty 200 once
// they have waited long enough.
//
// What a remote client or host may ask for beyond the plain protocol (see core.md):
// "join" polls that neither reset nor answer (parallel pollers; each parked join poll
// then times out on its own), a caller deadline (504), a bound on waiting callers
// (503), the poll time-out, clients that declare themselves (declared_clients: presence,
// a stop that takes nothing new, their requests answered 502 when they vanish) and a
// graceful stop of the host (begin_stop, finish_stop). A caller or poll whose client has
// gone, or whose deadline passed, is claimed by its own request thread and then skipped
// wherever it still sits in a queue; a transaction is settled by whoever claims it first.
//
// Ownership: owned by the connection server; uses (does not own) its listener and the
// flow table. Destruction stops the thread, revokes both endpoints' tokens (waiting for
// calls in progress), and answers every poll still parked (200, empty) and every caller
// request still queued (503), so no request thread is left waiting; hand_over() gives
// the queued callers to a successor instead.
// Threads: forward_request, serve_poll and reset_tunnel run on request threads, many at
// once; a caller request and a poll are paired under the funnel's one pairing lock
// (taken before a queue lock, never the other way round). The funnel thread only takes
// parked polls out.
#ifndef QEL_FUNNELTUNNEL_REVERSE_FUNNEL_H
#define QEL_FUNNELTUNNEL_REVERSE_FUNNEL_H

#include <atomic>
#include <ctime>
#include <deque>
#include <memory>
#include <string>

#include "qelConnectionServer/declared_clients.h"
#include "qelConnectionServer/flow.h"
#include "qelConnectionServer/get_transaction.h"
#include "qelConnectionServer/locked_queue.h"
#include "qelConnectionServer/post_transaction.h"
#include "qelConnectionServer/reset_monitor.h"
#include "qelConnectionServer/reverse_connection_endpoint.h"
#include "qelConnectionServer/reverse_forwarder_endpoint.h"
#include "qelConnectionServer/timed_queue.h"
#include "qelConnectionServer/tunnel_settings.h"
#include "qelConnectionServer/waiting_callers.h"
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
  // released once now > its parking time + timeout). Tests shorten them.
  struct timing {
    uint32_t sleep_ms = 28000;
    std::time_t timeout_s = 28;
  };

  // The tunnel settings a funnel runs with; `waiting` is shared by successive funnels.
  struct options {
    timing when;
    uint32_t caller_timeout_s = 0;     // 0: callers wait without limit
    uint32_t max_waiting_callers = 0;  // 0: no bound
    uint32_t client_grace_s = 5;       // a declared client without a poll this long has gone
    bool forward_any_request = false;  // carry any request to polls that accept them
    bool answer_later = false;         // polls registered to be answered later
    std::shared_ptr<waiting_callers> waiting = std::make_shared<waiting_callers>();

    static options from(const tunnel_settings& settings, std::shared_ptr<waiting_callers> waiting);
  };

  // Starts the thread and installs the reverse connection endpoint on `on`. Throws
  // funneltunnel_exception CS_FUNNEL_THREAD_FAILED when the thread cannot start (then
  // nothing is installed), or the listener's registration failure.
  explicit reverse_funnel(listener& on, flow_generator& table = flows());
  reverse_funnel(listener& on, flow_generator& table, timing when);
  reverse_funnel(listener& on, flow_generator& table, options settings);
  ~reverse_funnel() override;

  // Hands a caller request to a poll that has been claimed for it: the poll is
  // completed with the request.
  void tunnel_transaction(const post_handle& request, const post_handle& poll);
  // A caller request: refused with 503 when too many callers wait, else given a
  // deadline (when set) and paired with the oldest live parked poll, or queued. The
  // form with a block writes its trace lines under that block (the calling processor's).
  void forward_request(const post_handle& request);
  void forward_request(ud_block_ref block, const post_handle& request);
  // A poll (after its answer, reset or join): given the oldest live queued request,
  // or parked. A poll of a stopping client, or one that arrives once the host has
  // stopped, gets the empty answer at once instead.
  void serve_poll(const post_handle& poll);
  void serve_poll(ud_block_ref block, const post_handle& poll);
  // Completes every request out with the remote client as it is (503) and answers
  // every parked poll with the time-out answer (200, empty). Warns through the log when
  // resets come so often that two clients seem to be fighting over the tunnel.
  void reset_tunnel();
  // A join poll arrived: from now until the next reset, parked polls time out one by one.
  void note_join() { join_mode.store(true); }
  // One pass of the time-out rule at time `now`; true when a poll was released.
  // The thread traces it under its own block.
  bool time_out_poll(std::time_t now);
  bool time_out_poll(ud_block_ref block, std::time_t now);
  // For a replacement: stops the thread and the endpoints, gives every caller request
  // still queued here to `successor` and answers the parked polls (200, empty).
  void hand_over(reverse_funnel& successor);

  // A declared client is stopping: it is given no request from now on, and its parked
  // polls get the empty answer.
  void client_stopping(uint64_t serial);
  // Answers 502 the requests held by declared clients that have gone; the number answered.
  std::size_t release_vanished(remote_clients::clock::time_point now);
  // A graceful stop, first step: callers are refused (503) from now on and the queued
  // ones answered so at once; the number of queued callers answered.
  std::size_t begin_stop();
  // Last step: requests still out are answered 503, parked polls empty, and polls that
  // come later get the empty answer at once; the number of requests answered 503.
  std::size_t finish_stop();
  bool stopping() const { return stop_begun.load(); }
  // A reload: the tunnel settings that can change while the funnel runs (caller_timeout,
  // max_waiting_callers, poll_timeout, client_grace) take effect for what comes next.
  void apply(const tunnel_settings& settings);
  // The check of a caller before its body is read (where the service library asks):
  // 503 while the host stops or when the waiting bound is reached. forward_request
  // decides again, since callers come and go in between.
  admission& callers_admission() { return gate; }

  timed_queue<post_handle>& outstanding() { return outstanding_queue; }
  timed_queue<post_handle>& tunnel() { return tunnel_queue; }
  reverse_forwarder_endpoint& forwarder() { return forwarder_endpoint; }
  reverse_connection_endpoint& connection() { return connection_endpoint; }
  declared_clients& clients() { return declared; }
  flow_generator& flow_table() { return table; }
  const options& settings() const { return config; }

 protected:
  unsigned long run() override;

 private:
  // Under the pairing lock: the oldest parked poll whose client is still there and that
  // may carry `request`, claimed for it; the oldest queued request whose caller still
  // waits and that `poll` may carry. Null if none.
  post_handle take_parked_poll(const post_handle& request) QEL_REQUIRES(pairing);
  post_handle take_queued_request(const post_handle& poll) QEL_REQUIRES(pairing);
  // Pairs a caller request with a parked poll or queues it (no admission check).
  void pair_request(ud_block_ref block, const post_handle& request);
  // Completes a caller request at once with `status` and a one-line text.
  static void refuse(const post_handle& request, uint32_t status, const std::string& text);
  bool release_one_poll(ud_block_ref block, std::time_t now);
  int release_expired_polls(ud_block_ref block, std::time_t now);
  void stop_serving();
  // 0, or the status and one-line text a caller is refused with now.
  uint32_t refusal(std::string& text) const;
  // The thread's pass at `now` and its check for vanished clients in between.
  void pass(ud_block_ref block, std::time_t now);

  [[maybe_unused]] listener& on;  // used while the funnel is being built
  const std::string reverse_connection_resource = "/qel/reverseConnection";
  flow_generator& table;
  const options config;  // as built; what a reload changes lives in `live`
  struct live_limits {
    std::atomic<uint32_t> caller_timeout_s;
    std::atomic<uint32_t> max_waiting_callers;
    std::atomic<uint32_t> sleep_ms;
    std::atomic<std::time_t> timeout_s;
  } live{{config.caller_timeout_s}, {config.max_waiting_callers}, {config.when.sleep_ms},
         {config.when.timeout_s}};
  jsFastSync pairing;  // a take-or-park of either queue is one step under it
  std::atomic<bool> join_mode{false};
  std::atomic<bool> stop_begun{false};
  std::atomic<bool> stop_finished{false};
  declared_clients declared{config.client_grace_s};
  class caller_gate : public admission {
   public:
    explicit caller_gate(const reverse_funnel& funnel) : funnel(funnel) {}
    uint32_t admit(std::string& text) override { return funnel.refusal(text); }

   private:
    const reverse_funnel& funnel;
  } gate{*this};
  reset_monitor resets;
  timed_queue<post_handle> tunnel_queue{0};
  locked_queue<std::shared_ptr<get_transaction>> get_queue{0};
  timed_queue<post_handle> outstanding_queue{0};
  reverse_connection_endpoint connection_endpoint{*this};
  reverse_forwarder_endpoint forwarder_endpoint{*this};
};

// Claims and completes each transaction with `status`; transactions claimed by
// somebody else are skipped. Every one is completed even when one fails, and the first
// failure is rethrown afterwards.
void complete_all(std::deque<reverse_funnel::post_handle> transactions, uint32_t status);

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_REVERSE_FUNNEL_H

// One poller of the tunnel client: long-polls the reverse connection URL, forwards each
// request it receives over its own target connection, and returns the answer in its
// next poll. Every poller of a run is driven by the one event loop thread: a poller is
// a small state machine that moves on when its poll, its target request or its timer
// completes, so no request is handed from one thread to another.
//
// The run's first poll resets the tunnel (see poller_group); every later poll without
// an answer joins it, so several pollers serve callers in parallel. Every poll names the
// run's client (X-QEL-Client) and declares that it takes any request (X-QEL-Accept);
// against a host that knows declared clients, one extra poller keeps a presence poll
// open (so the host can tell when this client has gone), each answer echoes the
// instance marker of the host that handed its request out, and a graceful stop sends
// the last answers in final polls, which take nothing new. An answer whose poll failed
// is sent once more; an answer the host did not take (its caller has gone) is dropped.
// The stop flag ends every poller's open poll at once (the owner calls check_abort()
// when it changes), and a poller that reaches the request limit or the duration sets it.
//
// Owned by the tunnel client; every call on the loop's thread.
#ifndef QELCS_REMOTE_POLL_LOOP_H
#define QELCS_REMOTE_POLL_LOOP_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "backoff.h"
#include "event_loop.h"
#include "forwarder.h"
#include "http_connection.h"
#include "poller_group.h"
#include "tls_options.h"
#include "tunnel_status.h"

namespace qelcs_remote {

struct poll_settings {
  std::string poll_url;
  tls_options tls;
  std::string token;            // bearer token for the polls; empty: none
  unsigned pollers = 4;         // polls open at once
  long poll_timeout_ms = 90000; // longer than the server's poll time-out (28-56 s)
  long initial_backoff_ms = 500;
  long max_backoff_ms = 30000;
  long drain_timeout_ms = 10000;  // a graceful stop finishes what it holds within this
  uint64_t max_requests = 0;    // stop after this many forwarded requests; 0: no limit
  double duration_s = 0;        // stop after this time; 0: no limit
  unsigned max_auth_failures = 5;  // stop after this many 401/403 in a row; 0: never
};

// The poll connection's endpoint and bearer token, renewed when a reload changed them.
class poll_identity {
 public:
  explicit poll_identity(const poll_settings& settings) : settings_(settings) {}
  // Brings the endpoint and token up to date; true when they changed (the connection
  // must then be made anew). False on the first call too, when `endpoint` is filled.
  bool refresh(http_endpoint& endpoint, std::string& error);
  // The identity headers of every poll: the bearer token, the client id, the capability.
  void add_headers(std::string& lines, const poller_group& group) const;

 private:
  const poll_settings& settings_;
  bool made_ = false;
  unsigned generation_ = 0;
  std::string authorization_;  // "Bearer ..." or ""
};

class poll_loop : private http_connection::listener, private forwarder::listener {
 public:
  // `presence`: the extra poller that only keeps a presence poll open (it polls only
  // once the host has shown that it knows declared clients).
  poll_loop(event_loop& loop, unsigned index, const poll_settings& settings,
            const http_endpoint& target, long target_timeout_ms, tunnel_status& status,
            poller_group& group, std::atomic<bool>& stop, bool presence = false);

  // Starts the poller; it runs until the stop flag, the request limit or the duration
  // ends it, a graceful stop finds nothing in hand (or, for a poller other than the
  // first, until the host turns out not to know join polls). A pending answer is still
  // delivered before it is done.
  void start();
  bool done() const { return phase_ == phase::done; }
  // The stop flag or the abandon flag changed: ends the exchanges they end.
  void check_abort();

 private:
  enum class phase { idle, waiting, polling, forwarding, backing_off, draining, done };
  enum class outcome { ok, refused, failed };

  bool finished() const;
  // The head of the poll cycle: ends, waits or sends the next poll.
  void advance();
  void wait_a_moment();
  void send_poll(poll_kind kind);
  void on_exchange_done(http_connection& connection) override;
  outcome poll_result(http_connection& connection);
  void after_poll(outcome result, bool has_request);
  void on_forwarded() override;
  void start_backoff();
  void end();
  void drain_round();
  void drain_done(http_connection& connection);
  void finish_run();
  // The poll time-out, shortened so that no poll outlasts --duration.
  long poll_timeout_ms() const;
  void build_poll(poll_kind kind, bool with_answer, bool final);
  // The host took an answer that reached nobody.
  void note_answer_dropped();
  void note_reached();
  void note_failed();
  // A poll answered 401 or 403; stops the run once the limit is reached in a row.
  void note_refused(long status);

  event_loop& loop_;
  const unsigned index_;
  const poll_settings& settings_;
  tunnel_status& status_;
  poller_group& group_;
  std::atomic<bool>& stop_;
  const bool presence_;
  poll_identity identity_;
  http_connection poll_;
  forwarder target_;
  backoff backoff_;
  event_loop::timer timer_;
  std::chrono::steady_clock::time_point deadline_;
  std::chrono::steady_clock::time_point backoff_until_;
  std::chrono::steady_clock::time_point forward_started_;

  phase phase_ = phase::idle;
  poll_kind kind_ = poll_kind::reset;  // of the poll out
  long timeout_ms_ = 0;                // of the poll out
  bool has_pending_ = false;           // answer_ goes back with the next poll
  bool resend_ = false;                // answer_ went out once already
  bool counted_running_ = false;       // in the pollers gauge
  bool polls_open_counted_ = false;
  bool forwarding_counted_ = false;
  bool backing_off_counted_ = false;
  int drain_round_ = 0;
  tunnel_request request_;
  tunnel_answer answer_;
  std::string poll_lines_;   // the poll's headers
  std::string last_error_;   // cause of the last failed poll, for the retry line
  unsigned failures_in_row_ = 0;
  bool connected_ = false;
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_POLL_LOOP_H

// One poller of the tunnel client: long-polls the reverse connection URL, forwards each
// request it receives over its own target connection, and returns the answer in its
// next poll.
//
// The run's first poll resets the tunnel (see poller_group); every later poll without
// an answer joins it, so several pollers serve callers in parallel. Every poll names the
// run's client (X-QEL-Client); against a host that knows declared clients, one extra
// poller keeps a presence poll open (so the host can tell when this client has gone),
// each answer echoes the instance marker of the host that handed its request out, and a
// graceful stop sends the last answers in final polls, which take nothing new. An answer
// whose poll failed is sent once more; an answer the host did not take (its caller has
// gone) is dropped. Each poller runs on one thread (`run`); the stop flag ends every
// poller's open poll at once, and a poller that reaches the request limit or the
// duration sets it.
#ifndef QELCS_REMOTE_POLL_LOOP_H
#define QELCS_REMOTE_POLL_LOOP_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "backoff.h"
#include "forwarder.h"
#include "http_client.h"
#include "poller_group.h"
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

class poll_loop {
 public:
  // `presence`: the extra poller that only keeps a presence poll open (it polls only
  // once the host has shown that it knows declared clients).
  poll_loop(unsigned index, const poll_settings& settings, forwarder& target,
            tunnel_status& status, poller_group& group, std::atomic<bool>& stop,
            bool presence = false);

  // Runs until the stop flag, the request limit or the duration ends it, a graceful
  // stop finds nothing in hand (or, for a poller other than the first, until the host
  // turns out not to know join polls). A pending answer is still delivered before it
  // returns.
  void run();

  // The poll that starts a graceful stop at the host: the host releases this client's
  // parked polls and hands it nothing from now on. One exchange on a connection of its
  // own; false with `error` when it failed.
  static bool send_release(const poll_settings& settings, const poller_group& group,
                           std::string& error);

 private:
  enum class outcome { ok, refused, failed };

  bool finished() const;
  // The presence poller waits here until the host knows declared clients; false when
  // the run ends first.
  bool wait_until_host_declares();
  // The poll time-out, shortened so that no poll outlasts --duration.
  long poll_timeout_ms() const;
  // One poll of `kind` (carrying `answer` for poll_kind::answer); fills `request` when
  // the response carries one. A failure has been counted and its cause kept.
  outcome exchange(poll_kind kind, const std::optional<tunnel_answer>& answer,
                   std::optional<tunnel_request>& request, bool resend);
  http_request make_poll(poll_kind kind, const std::optional<tunnel_answer>& answer,
                         long timeout_ms) const;
  // The host took an answer that reached nobody.
  void note_answer_dropped(const tunnel_answer& answer);
  tunnel_answer handle(const tunnel_request& request);
  void wait_backoff();
  void drain(tunnel_answer answer, bool resend);
  // The host answered a poll / a poll failed: the connected gauge and reconnect line.
  void note_reached();
  void note_failed();
  // A poll answered 401 or 403; stops the run once the limit is reached in a row.
  void note_refused(long status);

  const unsigned index_;
  const poll_settings& settings_;
  forwarder& target_;
  tunnel_status& status_;
  poller_group& group_;
  std::atomic<bool>& stop_;
  const bool presence_;
  http_client client_;
  backoff backoff_;
  std::chrono::steady_clock::time_point deadline_;
  std::string last_error_;  // cause of the last failed poll, for the retry line
  unsigned failures_in_row_ = 0;
  bool connected_ = false;
};

// The headers every poll of `group` carries besides its own: the bearer token and the
// client id.
void add_poll_identity(http_request& poll, const poll_settings& settings, const poller_group& group);

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_POLL_LOOP_H

// poller_group: what the pollers of one run share. The run's first poll resets the
// tunnel (requests stranded with an earlier client are released); every later poll
// that carries no answer joins it, so pollers never release each other's requests.
// A host that does not know join polls answers the first one with 500: the group then
// warns once and goes on with a single poller that resets, as a plain client does.
// Every poll names the run's client id; a host that answers with its instance marker
// knows declared clients (presence polls, final polls). A graceful stop (begin_stop)
// takes nothing new and lets the pollers finish what they hold. Any thread.
#ifndef QELCS_REMOTE_POLLER_GROUP_H
#define QELCS_REMOTE_POLLER_GROUP_H

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>

namespace qelcs_remote {

enum class poll_kind { reset, join, answer, presence };

class poller_group {
 public:
  explicit poller_group(unsigned pollers);

  unsigned pollers() const { return pollers_; }
  // This run's id (16 hexadecimal digits drawn at random), sent as X-QEL-Client.
  const std::string& client_id() const { return client_id_; }
  // A poll response carried the host's instance marker: the host knows declared clients.
  void host_declared() { host_knows_clients_.store(true); }
  bool host_knows_clients() const { return host_knows_clients_.load(); }
  // A graceful stop: no poll takes a new request from now on.
  void begin_stop() { stopping_.store(true); }
  bool stopping() const { return stopping_.load(); }
  // A stop that cannot wait any longer: requests with the target are given up (503).
  void abandon_targets() { abandon_.store(true); }
  const std::atomic<bool>& targets_abandoned() const { return abandon_; }

  // The poll a poller sends when it has no answer to return. The run's reset goes to
  // poller 0; the others wait (until `stop`) for it to have started: nothing yet.
  std::optional<poll_kind> try_empty_poll(unsigned poller, const std::atomic<bool>& stop);
  // The reset poll reached the host (or may have): later empty polls join.
  void reset_delivered();
  // The reset poll is on its way; joins may follow shortly.
  void reset_started();

  void join_accepted() { joined_.store(true); }
  // A join poll was answered 500. True when that means the host does not know joins
  // (none was accepted before); the group is then a single poller from now on.
  bool join_refused();
  // Join polls are known not to work: only poller 0 goes on.
  bool single_poller() const { return no_join_.load(); }

 private:
  const unsigned pollers_;
  const std::string client_id_;
  std::atomic<bool> host_knows_clients_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> abandon_{false};
  std::mutex mutex_;
  bool reset_started_ = false;
  std::chrono::steady_clock::time_point reset_started_at_;
  std::atomic<bool> reset_done_{false};
  std::atomic<bool> joined_{false};
  std::atomic<bool> no_join_{false};
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_POLLER_GROUP_H

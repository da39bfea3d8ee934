// tunnel_client: the pollers of one run on one event loop thread. It starts every
// poller (and the presence poller), turns changes of the stop and abandon flags into
// the ends of the exchanges they end, and sends the release poll that starts a
// graceful stop when the main thread asks for it.
//
// Made by main; run() on the worker thread, send_release() and wake() from any thread.
#ifndef QELCS_REMOTE_TUNNEL_CLIENT_H
#define QELCS_REMOTE_TUNNEL_CLIENT_H

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "event_loop.h"
#include "http_connection.h"
#include "poll_loop.h"
#include "poller_group.h"
#include "tunnel_status.h"

namespace qelcs_remote {

class tunnel_client : private http_connection::listener {
 public:
  tunnel_client(const poll_settings& settings, const std::string& target_url, long target_timeout_ms,
                tunnel_status& status, poller_group& group, std::atomic<bool>& stop);

  // Runs until every poller is done and the release poll, if any, has been answered.
  void run();
  // The poll that starts a graceful stop at the host: the host releases this client's
  // parked polls and hands it nothing from now on. If it fails, the stop flag is set.
  void send_release();
  void wake() { loop_.wake(); }

 private:
  bool all_done() const;
  void start_release();
  void on_exchange_done(http_connection& connection) override;

  const poll_settings& settings_;
  poller_group& group_;
  std::atomic<bool>& stop_;
  event_loop loop_;
  std::vector<std::unique_ptr<poll_loop>> pollers_;
  poll_identity release_identity_;
  http_connection release_;
  std::string release_lines_;
  std::atomic<bool> release_wanted_{false};
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_TUNNEL_CLIENT_H

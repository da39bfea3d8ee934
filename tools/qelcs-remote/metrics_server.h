// The /metrics page of qelcs-remote (--metrics HOST:PORT): a libmicrohttpd daemon with
// one internal thread that answers GET /metrics with the run's counters in the
// Prometheus text format (metrics_text in tunnel_status.h) followed by the process
// figures and build information (scs/process_metrics.h), GET /healthz with 200 "ok",
// and anything else with 404.
//
// Made and started on the main thread before the pollers; the daemon's thread reads the
// status (atomics only). The destructor stops the daemon.
#ifndef QELCS_REMOTE_METRICS_SERVER_H
#define QELCS_REMOTE_METRICS_SERVER_H

#include <string>

#include "tunnel_status.h"

struct MHD_Daemon;

namespace qelcs_remote {

class metrics_server {
 public:
  explicit metrics_server(const tunnel_status& status) : status_(status) {}
  ~metrics_server();
  metrics_server(const metrics_server&) = delete;
  metrics_server& operator=(const metrics_server&) = delete;

  // Listens on "HOST:PORT" (a numeric address or a host name; "[::1]:9464" for IPv6;
  // port 0 picks one).
  // False with `error` naming the address and the cause.
  bool start(const std::string& address, std::string& error);
  // "http://HOST:PORT/metrics" with the port actually bound.
  const std::string& url() const { return url_; }

 private:
  const tunnel_status& status_;
  MHD_Daemon* daemon_ = nullptr;
  std::string url_;
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_METRICS_SERVER_H

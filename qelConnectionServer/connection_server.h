// connection_server: the top object. Its construction is the whole start-up: load the
// HTTP service library, add four listeners, install reverse registration on listener
// 4, build the reverse funnel (its poll endpoint on listener 3) and install the funnel's
// caller endpoint on listener 2. Listener 1 is added and never started.
//
// Ownership: owns its listeners, the reverse funnel and the reverse registration;
// members are destroyed in reverse order (registration, funnel, listeners 4..1), and a
// destroyed listener is stopped and removed. Threads: construction and
// set_reverse_connection run on the host's thread; requests can arrive on the
// service library's threads as soon as a resource is registered.
#ifndef QEL_FUNNELTUNNEL_CONNECTION_SERVER_H
#define QEL_FUNNELTUNNEL_CONNECTION_SERVER_H

#include <atomic>
#include <memory>
#include <string>

#include "qelConnectionServer.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/pending_answers.h"
#include "qelConnectionServer/reverse_funnel.h"
#include "qelConnectionServer/reverse_registration.h"
#include "qelConnectionServer/scs_server.h"
#include "qelConnectionServer/server_stop.h"
#include "qelConnectionServer/tunnel_settings.h"
#include "qelConnectionServer/waiting_callers.h"

namespace qel {
namespace funneltunnel {

// Reads the tunnel settings of a reserved settings value (a text or a file name); logs
// each line it ignores as a warning and throws CS_TUNNEL_SETTING_INVALID, logged, for a
// bad value.
tunnel_settings read_tunnel_settings(const std::string& reserved_settings);

class connection_server {
 public:
  // Throws funneltunnel_exception (or whatever a part throws) on the first failure;
  // the members built so far are destroyed on the way out. `reserved_settings` (a text
  // or a file name) holds the tunnel settings; lines it does not know are logged as
  // warnings. `load` replaces the service library loader in tests.
  connection_server(const std::string& agent_version, const std::string& listener_settings_1,
                    const std::string& reserved_settings, const std::string& listener_settings_2,
                    const std::string& agent_uuid, const std::string& agent_name,
                    const std::string& agent_namespace, const std::string& dns_name,
                    const std::string& lmi_links, const mslLogSink* log_sink,
                    bool reverse_connection, scs_library_loader load = nullptr);
  ~connection_server();
  connection_server(const connection_server&) = delete;
  connection_server& operator=(const connection_server&) = delete;

  // true: replace the reverse funnel by a new one (callers still queued move to it,
  // parked polls are answered empty; if the new one cannot be installed the old one
  // keeps serving); false: change nothing.
  void set_reverse_connection(bool enable);

  // The graceful stop of the host (server_stop.h): drains for the tunnel settings'
  // drain_timeout, or not at all with `now`.
  void stop(bool now);
  // A reload (CS_Reload, server_reload.cpp): reads the three settings values again and
  // applies what can change while serving: what the service library can reload on the
  // listeners, and the tunnel settings caller_timeout, max_waiting_callers, poll_timeout,
  // drain_timeout and client_grace. Returns 0, or CS_RESTART_NEEDED when some change
  // needs a restart (named in one warning and left as it was). Throws, having changed
  // nothing, when a value has an error; CS_STOPPED after a stop.
  uint32_t reload(const std::string& listener_settings_1, const std::string& reserved_settings,
                  const std::string& listener_settings_2);

  reverse_funnel* funnel() { return reverse_funnel_ptr.get(); }
  listener& get_listener(int number);  // 1..4
  const tunnel_settings& tunnel() const { return tunnel_config; }

 private:
  // Puts the new funnel in place of the current one; on failure the current one is
  // left serving both resources.
  void replace_funnel(std::unique_ptr<reverse_funnel> replacement);
  // The registration mode of callers and polls: answered later when the host asks.
  uint32_t later_mode() const { return tunnel_config.answer_later ? SCS_POST_COMPLETES_LATER : 0; }

  scs_server scs;
  // Lets the requests answered later go once the listeners have stopped (which
  // answered them), and ends the thread that watches them before the library goes.
  struct pending_closer {
    pending_closer() = default;
    pending_closer(const pending_closer&) = delete;
    pending_closer& operator=(const pending_closer&) = delete;
    ~pending_closer() { pending().close(); }
  } closes_pending;
  listener listener_1;
  listener listener_2;
  listener listener_3;
  listener listener_4;
  std::unique_ptr<reverse_funnel> reverse_funnel_ptr;
  const std::string resource_prefix = "/qel";
  std::unique_ptr<reverse_registration> registration;
  tunnel_settings tunnel_config;  // as built; a reload changes drain_timeout below
  std::atomic<uint32_t> drain_timeout_s{10};
  std::shared_ptr<waiting_callers> waiting = std::make_shared<waiting_callers>();
  server_stop stopping;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_CONNECTION_SERVER_H

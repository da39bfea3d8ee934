#include "qelConnectionServer/connection_server.h"

#include <stdexcept>

#include "qelConnectionServer/request_body_policy.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

connection_server::connection_server(
    const std::string& agent_version, const std::string& listener_settings_1,
    const std::string& /*reserved_settings: accepted, not used*/,
    const std::string& listener_settings_2, const std::string& agent_uuid,
    const std::string& agent_name, const std::string& agent_namespace,
    const std::string& dns_name, const std::string& lmi_links, const mslLogSink* log_sink,
    bool reverse_connection, scs_library_loader load)
    : scs(agent_version, agent_uuid, agent_name, log_sink, load),
      listener_1(listener_settings_1, listener_settings_2),
      listener_2(listener_settings_1, listener_settings_2),
      listener_3(listener_settings_1, listener_settings_2),
      listener_4(listener_settings_1, listener_settings_2) {
  UD_ENTER("connection_server::connection_server", "%p", static_cast<void*>(this));
  load_request_body_policy();
  const agent_info config{agent_name, agent_uuid, agent_namespace, agent_version};
  registration = std::make_unique<reverse_registration>(listener_4, config, dns_name, lmi_links);
  registration->install();
  set_reverse_connection(reverse_connection);
  UD_EXIT("%s", "");
}

connection_server::~connection_server() {
  UD_ENTER("connection_server::~connection_server", "%p", static_cast<void*>(this));
  UD_EXIT("%s", "");
}

void connection_server::set_reverse_connection(bool enable) {
  UD_ENTER("connection_server::set_reverse_connection", "enable %d", enable ? 1 : 0);
  if (enable) {
    // The new funnel is complete (its poll endpoint registered) before the old one
    // goes; the caller endpoint is registered only once the old funnel is gone.
    auto replacement = std::make_unique<reverse_funnel>(listener_3);
    reverse_funnel_ptr = std::move(replacement);
    reverse_funnel_ptr->forwarder().install_processors(listener_2, resource_prefix);
  }
  UD_EXIT("%s", "");
}

listener& connection_server::get_listener(int number) {
  switch (number) {
    case 1: return listener_1;
    case 2: return listener_2;
    case 3: return listener_3;
    case 4: return listener_4;
    default: throw std::out_of_range("listener number");
  }
}

}  // namespace funneltunnel
}  // namespace qel

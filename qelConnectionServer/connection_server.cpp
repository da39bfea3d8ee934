#include "qelConnectionServer/connection_server.h"

#include <stdexcept>

#include "mslLoader/mslLoaderLog.h"
#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/filestring.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/request_body_policy.h"
#include "qelConnectionServer/tunnel_metrics.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {
tunnel_settings read_tunnel_settings(const std::string& reserved_settings) {
  UD_ENTER("read_tunnel_settings", "length %zu", reserved_settings.size());
  const filestring text(reserved_settings);
  std::vector<std::string> ignored;
  const std::string source = text.file_name.empty() ? "reserved settings" : text.file_name;
  tunnel_settings settings;
  try {
    settings = read_tunnel_text(
        text.text, text.file_name.empty() ? source : "reserved settings file '" + source + "'",
        ignored);
  } catch (const tunnel_setting_error& e) {
    QEL_LOG_LONG_AS("CS_Init", MSL_LOG_ERROR, "%.900s", e.what());
    UD_EXIT("%s", e.what());
    throw funneltunnel_exception(e.what(), status::CS_TUNNEL_SETTING_INVALID);
  }
  for (const auto& line : ignored) {
    QEL_LOG_LONG_AS("CS_Init", MSL_LOG_WARNING, "%.256s, %.512s: ignored", source.c_str(),
                    line.c_str());
  }
  UD_EXIT("caller_timeout %u max_waiting_callers %u poll_timeout %u drain_timeout %u",
          settings.caller_timeout_s, settings.max_waiting_callers, settings.poll_timeout_s,
          settings.drain_timeout_s);
  return settings;
}

connection_server::connection_server(
    const std::string& agent_version, const std::string& listener_settings_1,
    const std::string& reserved_settings,
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
  tunnel_config = read_tunnel_settings(reserved_settings);
  drain_timeout_s.store(tunnel_config.drain_timeout_s);
  if (tunnel_config.random_flow_ids) flows().start_at_random();
  load_request_body_policy();
  const agent_info config{agent_name, agent_uuid, agent_namespace, agent_version};
  registration = std::make_unique<reverse_registration>(listener_4, config, dns_name, lmi_links);
  registration->install();
  set_reverse_connection(reverse_connection);
  // A library without the extension answers "not supported": the page goes without them.
  g_qelSessionConfigSvcs.SCS_SERVER_AddMetricsSource(&render_tunnel_metrics, this);
  UD_EXIT("%s", "");
}

connection_server::~connection_server() {
  UD_ENTER("connection_server::~connection_server", "%p", static_cast<void*>(this));
  UD_EXIT("%s", "");
}

void connection_server::set_reverse_connection(bool enable) {
  UD_ENTER("connection_server::set_reverse_connection", "enable %d", enable ? 1 : 0);
  if (enable) {
    replace_funnel(std::make_unique<reverse_funnel>(
        listener_3, flows(), reverse_funnel::options::from(tunnel_config, waiting)));
  }
  UD_EXIT("%s", "");
}

void connection_server::replace_funnel(std::unique_ptr<reverse_funnel> replacement) {
  UD_ENTER("connection_server::replace_funnel", "%p", static_cast<void*>(replacement.get()));
  // The replacement already serves the polls. Its caller endpoint goes in before the
  // old funnel goes, so callers are never turned away in between.
  try {
    const uint32_t modes = later_mode() | (tunnel_config.forward_any_request ? SCS_POST_ANY_REQUEST : 0);
    replacement->forwarder().install_processors(listener_2, resource_prefix, modes,
                                                &replacement->callers_admission());
  } catch (...) {
    if (reverse_funnel_ptr) {  // give the polls back to the funnel that still has the callers
      try {
        reverse_funnel_ptr->connection().install_processors(listener_3, "/qel/reverseConnection",
                                                            later_mode());
      } catch (const std::exception& e) {
        UD_TRACE(40000, "restoring the old poll endpoint failed: %s", e.what());
      }
    }
    UD_EXIT("%s", "caller endpoint not installed");
    throw;
  }
  if (reverse_funnel_ptr) reverse_funnel_ptr->hand_over(*replacement);
  reverse_funnel_ptr = std::move(replacement);
  UD_EXIT("%s", "");
}

void connection_server::stop(bool now) {
  UD_ENTER("connection_server::stop", "now %d", now ? 1 : 0);
  stopping.run(*this, std::chrono::seconds(drain_timeout_s.load()), now);
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

// connection_server::reload: a reload without a restart (CS_Reload), an extension a host
// asks for on SIGHUP. The listener settings go to the service library, which applies
// what it can change while serving (scs.md, "Reload"); the tunnel settings that can
// change take effect for what comes next. A value with an error changes nothing: the
// tunnel settings are read first, and the service library applies nothing of a text
// with an error, which every listener shares.
#include <string>
#include <vector>

#include "mslLoader/mslLoaderLog.h"
#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/connection_server.h"
#include "qelConnectionServer/filestring.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {
namespace {

// The tunnel keys that need a restart, when `fresh` sets them otherwise than `running`.
std::vector<std::string> fixed_tunnel_changes(const tunnel_settings& running, const tunnel_settings& fresh) {
  std::vector<std::string> fixed;
  if (running.random_flow_ids != fresh.random_flow_ids) fixed.push_back("flow_ids");
  if (running.forward_any_request != fresh.forward_any_request) fixed.push_back("forward_any_request");
  if (running.answer_later != fresh.answer_later) fixed.push_back("answer_later");
  return fixed;
}

const char* optional(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

uint32_t connection_server::reload(const std::string& listener_settings_1,
                                   const std::string& reserved_settings,
                                   const std::string& listener_settings_2) {
  UD_ENTER("connection_server::reload", "%p", static_cast<void*>(this));
  if (stopping.finished()) {
    UD_EXIT("%s", "stopped");
    throw funneltunnel_exception("the connection server has stopped", status::CS_STOPPED);
  }
  const tunnel_settings fresh = read_tunnel_settings(reserved_settings);  // throws, logged
  std::vector<std::string> fixed = fixed_tunnel_changes(tunnel_config, fresh);
  const filestring first(listener_settings_1), second(listener_settings_2);
  bool library_reloads = true;
  for (int number : {2, 3, 4, 1}) {  // the first failure is the text's: nothing applied
    const uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_ReloadListener(
        get_listener(number).handle(), first.text.c_str(), optional(first.file_name),
        second.text.c_str(), optional(second.file_name));
    if (rc == SCS_STATUS_NOT_SUPPORTED) library_reloads = false;
    if (rc == 0 || rc == SCS_STATUS_RESTART_NEEDED || rc == SCS_STATUS_NOT_SUPPORTED) continue;
    UD_EXIT("listener %d rc %x", number, rc);
    throw funneltunnel_exception("SCS_SERVER_ReloadListener failed", rc);
  }
  if (!library_reloads) fixed.push_back("listener settings (the service library cannot reload them)");
  if (reverse_funnel_ptr) reverse_funnel_ptr->apply(fresh);
  drain_timeout_s.store(fresh.drain_timeout_s);
  std::string names;
  for (const std::string& name : fixed) names += (names.empty() ? "" : ", ") + name;
  if (!fixed.empty()) {
    QEL_LOG_LONG_AS("CS_Reload", MSL_LOG_WARNING,
                    "%.512s: cannot change without a restart; kept as it was", names.c_str());
  }
  QEL_LOG_LONG_AS("CS_Reload", MSL_LOG_INFO,
                  "reloaded: caller_timeout = %u, max_waiting_callers = %u, poll_timeout = %u, "
                  "drain_timeout = %u, client_grace = %u",
                  fresh.caller_timeout_s, fresh.max_waiting_callers, fresh.poll_timeout_s,
                  fresh.drain_timeout_s, fresh.client_grace_s);
  UD_EXIT("%zu fixed", fixed.size());
  return fixed.empty() ? 0 : status::CS_RESTART_NEEDED;
}

}  // namespace funneltunnel
}  // namespace qel

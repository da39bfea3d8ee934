#include "qelConnectionServer/tunnel_metrics.h"

#include <cstring>

#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/connection_server.h"
#include "qelConnectionServer/flow.h"
#include "qelConnectionServer/tunnel_counters.h"

namespace qel {
namespace funneltunnel {
namespace {

void family(std::string& text, const char* name, const char* type, const char* help) {
  text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void sample(std::string& text, const char* name, const std::string& labels, uint64_t value) {
  text += std::string(name) + labels + " " + std::to_string(value) + "\n";
}

}  // namespace

std::string tunnel_metrics_text(connection_server& server) {
  const tunnel_counters& c = counters();
  reverse_funnel* funnel = server.funnel();
  std::string text;
  family(text, "qel_tunnel_waiting_callers", "gauge",
         "Callers waiting for the remote client, queued or out with it.");
  sample(text, "qel_tunnel_waiting_callers", "", funnel ? funnel->settings().waiting->count() : 0);
  family(text, "qel_tunnel_requests_out", "gauge", "Requests handed to the remote client and not answered yet.");
  sample(text, "qel_tunnel_requests_out", "", funnel ? funnel->flow_table().size() : 0);
  family(text, "qel_tunnel_declared_clients", "gauge", "Remote clients that named themselves and have not gone.");
  sample(text, "qel_tunnel_declared_clients", "", funnel ? funnel->clients().size() : 0);
  family(text, "qel_tunnel_answers_dropped_total", "counter",
         "Answers taken that reached no caller, by why.");
  sample(text, "qel_tunnel_answers_dropped_total", "{reason=\"caller_gone\"}", c.answers_for_callers_gone.load());
  sample(text, "qel_tunnel_answers_dropped_total", "{reason=\"other_host\"}", c.answers_stale.load());
  sample(text, "qel_tunnel_answers_dropped_total", "{reason=\"unknown_flow\"}", c.answers_unknown.load());
  family(text, "qel_tunnel_callers_of_vanished_clients_total", "counter",
         "Callers answered 502 because the remote client holding their request went away.");
  sample(text, "qel_tunnel_callers_of_vanished_clients_total", "", c.callers_of_vanished_clients.load());
  family(text, "qel_tunnel_callers_refused_stopping_total", "counter",
         "Callers answered 503 because the host was stopping.");
  sample(text, "qel_tunnel_callers_refused_stopping_total", "", c.callers_refused_stopping.load());
  return text;
}

char* render_tunnel_metrics(void* server) noexcept {
  try {
    const std::string text = tunnel_metrics_text(*static_cast<connection_server*>(server));
    auto* block = static_cast<char*>(g_qelSessionConfigSvcs.SCS_Allocate(static_cast<uint32_t>(text.size() + 1)));
    if (block != nullptr) std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
  } catch (...) {
    return nullptr;  // the page goes out without the tunnel's families
  }
}

}  // namespace funneltunnel
}  // namespace qel

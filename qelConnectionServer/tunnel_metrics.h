// tunnel_metrics: the tunnel's figures on the service library's /metrics page (where the
// library has the metrics-source extension): callers waiting, requests out with the
// remote side, declared clients, and the counters of tunnel_counters.h.
//
// The connection server registers it once, with itself as context; it lives until the
// process ends. render_tunnel_metrics runs on the thread that serves the page.
#ifndef QEL_FUNNELTUNNEL_TUNNEL_METRICS_H
#define QEL_FUNNELTUNNEL_TUNNEL_METRICS_H

#include <string>

namespace qel {
namespace funneltunnel {

class connection_server;

// The families as exposition text (for tests and the renderer).
std::string tunnel_metrics_text(connection_server& server);

// SCS_METRICS_SOURCE: `server` is the connection_server; the text in an SCS_Allocate
// block, or null.
char* render_tunnel_metrics(void* server) noexcept;

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_TUNNEL_METRICS_H

// The process-wide list of running HTTP daemons' metrics, and the /metrics page made
// from it: every endpoint of the library, whichever endpoint the page is asked from.
//
// A daemon adds its EndpointMetrics once it has started and removes them when it stops,
// before they are destroyed. Any thread; one lock, held while a page is made and while
// a daemon is added or removed (never on the request path).
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "scs/endpoint_metrics.h"

namespace qel::scs {

class MetricsRegistry {
 public:
  void add(const EndpointMetrics* metrics);
  void remove(const EndpointMetrics* metrics);
  // The page in the Prometheus text exposition format, version 0.0.4.
  std::string page() const;
  // A source of more families, asked each time a page is made (a caller's, through
  // SCS_SERVER_AddMetricsSource); `render` returns an SCS_Allocate block or null.
  void add_source(char* (*render)(void*), void* context);

 private:
  std::string sources_text() const;

  mutable std::mutex mutex_;
  std::vector<const EndpointMetrics*> endpoints_;
  std::vector<std::pair<char* (*)(void*), void*>> sources_;
};

MetricsRegistry& metrics_registry();

// The exposition text of `endpoints` (families qel_http_*); see docs/scs.md.
std::string render_metrics(const std::vector<EndpointSnapshot>& endpoints);

}  // namespace qel::scs

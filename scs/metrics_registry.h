// The process-wide list of running HTTP daemons' metrics, and the /metrics page made
// from it: every endpoint of the library, whichever endpoint the page is asked from.
//
// A daemon adds its EndpointMetrics once it has started and removes them when it stops,
// before they are destroyed. Any thread; one lock, held while a page is made and while
// a daemon is added or removed (never on the request path).
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "scs/endpoint_metrics.h"

namespace qel::scs {

class MetricsRegistry {
 public:
  void add(const EndpointMetrics* metrics);
  void remove(const EndpointMetrics* metrics);
  // The page in the Prometheus text exposition format, version 0.0.4.
  std::string page() const;

 private:
  mutable std::mutex mutex_;
  std::vector<const EndpointMetrics*> endpoints_;
};

MetricsRegistry& metrics_registry();

// The exposition text of `endpoints` (families qel_http_*); see docs/scs.md.
std::string render_metrics(const std::vector<EndpointSnapshot>& endpoints);

}  // namespace qel::scs

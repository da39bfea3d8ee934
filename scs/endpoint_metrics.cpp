#include "scs/endpoint_metrics.h"

namespace qel::scs {

void EndpointMetrics::set_labels(std::string endpoint, std::string listen) {
  std::lock_guard<std::mutex> lock(mutex_);
  endpoint_ = std::move(endpoint);
  listen_ = std::move(listen);
}

ResourceMetrics* EndpointMetrics::resource(const std::string& resource) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& slot = resources_[resource];
  if (!slot) slot = std::make_unique<ResourceMetrics>();
  return slot.get();
}

EndpointSnapshot EndpointMetrics::snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  EndpointSnapshot s{endpoint_, listen_, {}, refused_.nonzero()};
  for (const auto& [name, metrics] : resources_) s.resources.emplace_back(name, metrics->snapshot());
  return s;
}

}  // namespace qel::scs

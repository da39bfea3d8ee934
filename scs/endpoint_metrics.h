// The metrics of one HTTP daemon (one endpoint configuration): the counters of every
// resource it has served, and the requests the library answered itself before any
// resource was found (400, 401, 403, 404, 501: framing, authentication, unknown path).
//
// Owned by its HttpDaemon. Resources are added when they are published (under the
// daemon's route lock) and kept until the daemon goes, so the pointers handed out stay
// valid for every request of the daemon. The labels are set once, when the daemon has
// started and before it is registered for the /metrics page. Any thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "scs/request_metrics.h"
#include "scs/status_counts.h"

namespace qel::scs {

struct EndpointSnapshot {
  std::string endpoint;  // the endpoint's name ("default" for the default endpoint)
  std::string listen;    // "127.0.0.1:18080", with the bound port
  std::vector<std::pair<std::string, ResourceSnapshot>> resources;
  std::vector<std::pair<unsigned, std::uint64_t>> refused;  // (status, count)
};

class EndpointMetrics {
 public:
  void set_labels(std::string endpoint, std::string listen);
  // The counters of `resource`, made on first use.
  ResourceMetrics* resource(const std::string& resource);
  void refused(unsigned status) { refused_.add(status); }
  EndpointSnapshot snapshot() const;

 private:
  mutable std::mutex mutex_;
  std::string endpoint_, listen_;
  std::map<std::string, std::unique_ptr<ResourceMetrics>> resources_;
  StatusCounts refused_;
};

}  // namespace qel::scs

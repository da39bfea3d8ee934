// One listener: its parsed settings (as a reload left them), the resources registered on
// it, and the HTTP daemons it holds while started (keyed by the share key of the
// endpoint configuration they serve).
//
// Owned by the Server and touched only under the Server's lock. Holding a daemon is
// what keeps it alive: the last listener to let go of a daemon stops it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "scs/http_daemon.h"
#include "scs/listener_settings.h"

namespace qel::scs {

using DaemonMap = std::map<std::string, std::shared_ptr<HttpDaemon>>;  // by share key

class Listener {
 public:
  Listener(std::uint32_t handle, ListenerSettings settings)
      : handle_(handle), settings_(std::move(settings)) {}

  std::uint32_t handle() const { return handle_; }
  const ListenerSettings& settings() const { return settings_; }
  // A reload's settings: the running ones with the keys it changed.
  void replace_settings(ListenerSettings settings) { settings_ = std::move(settings); }

  // Adds or replaces a registration (its admission callback with it); it is served
  // from the next start.
  void register_resource(const std::string& resource, const Route& route) {
    registrations_[resource] = route;
  }
  // Sets the admission callback of a registration; false when there is none.
  bool set_admission(const std::string& resource, SCS_ADMIT_CALLBACK admit) {
    const auto it = registrations_.find(resource);
    if (it == registrations_.end()) return false;
    it->second.admit = admit;
    return true;
  }
  // Quiesced until the listener stops: its starts keep every daemon quiesced for it.
  bool quiesced() const { return quiesced_; }
  void set_quiesced(bool quiesced) { quiesced_ = quiesced; }
  const std::map<std::string, Route>& registrations() const { return registrations_; }

  DaemonMap& daemons() { return daemons_; }

 private:
  const std::uint32_t handle_;
  ListenerSettings settings_;
  std::map<std::string, Route> registrations_;
  DaemonMap daemons_;
  bool quiesced_ = false;
};

}  // namespace qel::scs
